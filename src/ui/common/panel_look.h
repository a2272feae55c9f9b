#pragma once
// The look of the panel windows (PMU control, test procedure): group boxes as light rounded
// panels with a bold blue title on their top edge, a dark title band, framed boxes and flat
// read-only fields. It is drawn by one proxy style that each such widget is given, and by
// palettes and fonts: a style sheet on the window would restyle every widget in it, and did so
// at a cost that made the PMU control window the slowest part of the program's start.
#include <QColor>

class QWidget;

namespace kv4410::ui {

// What a widget of a panel window is drawn as, besides group boxes.
enum class PanelRole {
  Band,     // a frame: the dark title band at the top of the window
  Box,      // a frame: a light rounded box with a border, like a group without a title
  Plain,    // a frame or a list: a plain one-pixel border
  Display,  // a line edit: a flat read-only field
};

// Draws `widget` as `role` once givePanelLook() has run over its window.
void setPanelRole(QWidget* widget, PanelRole role);

// Gives the panel look to every group box of `window` and to the widgets given a role.
void givePanelLook(QWidget* window);

// The title on a band: large, bold and white.
void setBandTitleLook(QWidget* label);
// A button that resets the chip: its text bold, in warning red.
void setWarningLook(QWidget* button);

// Text in its own colour, and optionally another point size and bold.
void setTextLook(QWidget* widget, const QColor& colour, int pointSize = 0, bool bold = false);

}  // namespace kv4410::ui
