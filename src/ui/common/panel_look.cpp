#include "ui/common/panel_look.h"

#include <QApplication>
#include <QFrame>
#include <QGroupBox>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOption>
#include <optional>

#include "ui/common/program_style.h"

namespace kv4410::ui {

namespace {

const char* const kRoleProperty = "panelRole";

const QColor kPanelFill(0xf6, 0xf8, 0xfa);
const QColor kPanelBorder(0x9a, 0xa7, 0xb4);
const QColor kTitleColour(0x1d, 0x3f, 0x66);
const QColor kDisplayFill(0xee, 0xf2, 0xf5);
const QColor kDisplayText(0x10, 0x20, 0x30);
const QColor kDisplayBorder(0xb8, 0xc2, 0xcc);
const QColor kWarningText(0x8a, 0x1c, 0x1c);
constexpr int kBandTitlePoints = 16;

// A group's frame starts this far below its top; its title sits on the frame's top edge.
constexpr int kFrameTop = 10;
constexpr int kTitleLeft = 8;
constexpr int kTitlePadding = 4;
constexpr double kRadius = 5.0;
// Between the frame's border and the group's contents: top, sides, bottom.
constexpr int kPaddingTop = 8;
constexpr int kPaddingSide = 6;
constexpr int kPaddingBottom = 6;

std::optional<PanelRole> roleOf(const QWidget* widget) {
  if (widget == nullptr) {
    return std::nullopt;
  }
  const QVariant role = widget->property(kRoleProperty);
  return role.isValid() ? std::optional<PanelRole>(static_cast<PanelRole>(role.toInt()))
                        : std::nullopt;
}

QFont titleFont(const QWidget* widget) {
  QFont font = widget != nullptr ? widget->font() : QApplication::font();
  font.setBold(true);
  return font;
}

QPainterPath roundedPath(const QRect& rect) {
  QPainterPath path;
  path.addRoundedRect(QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5), kRadius, kRadius);
  return path;
}

class PanelStyle final : public QProxyStyle {
 public:
  // Based on the application's own style, of which it changes only the panel widgets.
  PanelStyle() : QProxyStyle(createBaseStyle()) {}

  QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                       const QWidget* widget) const override {
    if (control != CC_GroupBox) {
      return QProxyStyle::subControlRect(control, option, sub, widget);
    }
    const QRect frame = option->rect.adjusted(0, kFrameTop, 0, 0);
    switch (sub) {
      case SC_GroupBoxFrame:
        return frame;
      case SC_GroupBoxLabel: {
        const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
        const QFontMetrics metrics(titleFont(widget));
        const int width = box != nullptr ? metrics.horizontalAdvance(box->text) : 0;
        return {option->rect.left() + kTitleLeft, option->rect.top(), width + 2 * kTitlePadding,
                metrics.height()};
      }
      case SC_GroupBoxContents:
        return frame.adjusted(1 + kPaddingSide, 1 + kPaddingTop, -1 - kPaddingSide,
                              -1 - kPaddingBottom);
      default:
        return QProxyStyle::subControlRect(control, option, sub, widget);
    }
  }

  QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                         const QWidget* widget) const override {
    if (type != CT_GroupBox) {
      return QProxyStyle::sizeFromContents(type, option, size, widget);
    }
    const QRect label =
        subControlRect(CC_GroupBox, qstyleoption_cast<const QStyleOptionComplex*>(option),
                       SC_GroupBoxLabel, widget);
    return {kTitleLeft + label.width() + kTitleLeft, kFrameTop + 2 + kPaddingTop + kPaddingBottom};
  }

  void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                          QPainter* painter, const QWidget* widget) const override {
    const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
    if (control != CC_GroupBox || box == nullptr) {
      QProxyStyle::drawComplexControl(control, option, painter, widget);
      return;
    }
    const QRect label = subControlRect(control, option, SC_GroupBoxLabel, widget);
    const QPainterPath frame =
        roundedPath(subControlRect(control, option, SC_GroupBoxFrame, widget));
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->fillPath(frame, kPanelFill);
    // The border breaks where the title crosses it.
    painter->setClipRegion(QRegion(option->rect).subtracted(QRegion(label)));
    painter->setPen(QPen(kPanelBorder, 1.0));
    painter->drawPath(frame);
    painter->setClipping(false);
    painter->setFont(titleFont(widget));
    painter->setPen(kTitleColour);
    painter->drawText(label, Qt::AlignCenter | Qt::TextShowMnemonic, box->text);
    painter->restore();
  }

  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget) const override {
    const std::optional<PanelRole> role = roleOf(widget);
    if (element != CE_ShapedFrame || !role || *role == PanelRole::Display) {
      QProxyStyle::drawControl(element, option, painter, widget);
      return;
    }
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    switch (*role) {
      case PanelRole::Band:
        painter->fillPath(roundedPath(option->rect), kTitleColour);
        break;
      case PanelRole::Box:
        painter->fillPath(roundedPath(option->rect), kPanelFill);
        painter->setPen(QPen(kPanelBorder, 1.0));
        painter->drawPath(roundedPath(option->rect));
        break;
      case PanelRole::Plain:
      case PanelRole::Display:
        painter->setRenderHint(QPainter::Antialiasing, false);
        painter->setPen(kPanelBorder);
        painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
        break;
    }
    painter->restore();
  }

  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
    if (element == PE_PanelLineEdit && roleOf(widget) == PanelRole::Display) {
      painter->fillRect(option->rect, kDisplayFill);
      painter->setPen(kDisplayBorder);
      painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
      return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
  }

  int pixelMetric(PixelMetric metric, const QStyleOption* option,
                  const QWidget* widget) const override {
    if (metric == PM_DefaultFrameWidth) {
      if (const std::optional<PanelRole> role = roleOf(widget)) {
        return *role == PanelRole::Band ? 0 : 1;
      }
    }
    return QProxyStyle::pixelMetric(metric, option, widget);
  }
};

// One style for every panel widget of the program, made when first needed and kept by the
// application.
QStyle* panelStyle() {
  static QPointer<PanelStyle> style;
  if (style.isNull()) {
    style = new PanelStyle();
    style->setParent(qApp);
  }
  return style.data();
}

}  // namespace

void setPanelRole(QWidget* widget, PanelRole role) {
  widget->setProperty(kRoleProperty, static_cast<int>(role));
  if (role == PanelRole::Display) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, kDisplayFill);
    palette.setColor(QPalette::Text, kDisplayText);
    widget->setPalette(palette);
  } else if (auto* frame = qobject_cast<QFrame*>(widget); frame != nullptr) {
    // A frame is painted whatever its shape; the shape gives a box its one-pixel inset.
    frame->setFrameShape(role == PanelRole::Band ? QFrame::NoFrame : QFrame::StyledPanel);
  }
}

void givePanelLook(QWidget* window) {
  QStyle* style = panelStyle();
  for (QWidget* widget : window->findChildren<QWidget*>()) {
    if (qobject_cast<QGroupBox*>(widget) != nullptr || roleOf(widget)) {
      widget->setStyle(style);
    }
  }
}

void setBandTitleLook(QWidget* label) {
  setTextLook(label, Qt::white, kBandTitlePoints, true);
}

void setWarningLook(QWidget* button) {
  setTextLook(button, kWarningText, 0, true);
}

void setTextLook(QWidget* widget, const QColor& colour, int pointSize, bool bold) {
  QPalette palette = widget->palette();
  palette.setColor(widget->foregroundRole(), colour);
  widget->setPalette(palette);
  if (pointSize > 0 || bold) {
    QFont font = widget->font();
    if (pointSize > 0) {
      font.setPointSize(pointSize);
    }
    font.setBold(bold);
    widget->setFont(font);
  }
}

}  // namespace kv4410::ui
