#pragma once
// The program's application style: the platform's own style, with two of its drawings made
// without reading an image file. A menu bar asks for its extension arrow when it is built (the
// arrow shows only when the menus do not fit), and Fusion draws each group box frame from an
// image file; the first image read loads Qt's image-format plugins, which at start-up costs
// about as much as building a window.
class QStyle;

namespace kv4410::ui {

// Makes the program style the application's style, on top of the style it has now.
void installProgramStyle();

// A new instance of the style the application is based on, under the program style.
QStyle* createBaseStyle();

}  // namespace kv4410::ui
