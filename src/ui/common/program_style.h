#pragma once
// The program's application style: the platform's own style, with two of its drawings made
// without reading an image file. At start-up the only image files the windows read were the
// menu bar's extension arrow (never on screen at our window widths) and the frame of the
// register window's group boxes; the first image read loads Qt's image-format plugins, which
// cost as much as building a window.
class QString;
class QStyle;

namespace kv4410::ui {

// Makes the program style the application's style, on top of the style it has now.
void installProgramStyle();

// A new instance of the style the application is based on, under the program style.
QStyle* createBaseStyle();

}  // namespace kv4410::ui
