#include "ui/common/program_style.h"

#include <qdrawutil.h>

#include <QApplication>
#include <QGroupBox>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>
#include <array>
#include <cstdint>

namespace kv4410::ui {

namespace {

// An icon that asks the style for its pixmaps only when it is first drawn or sized.
class DeferredStandardIcon final : public QIconEngine {
 public:
  DeferredStandardIcon(QStyle* style, QStyle::StandardPixmap which)
      : style_(style), which_(which) {}

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    icon().paint(painter, rect, Qt::AlignCenter, mode, state);
  }
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return icon().pixmap(size, mode, state);
  }
  QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return icon().actualSize(size, mode, state);
  }
  QIconEngine* clone() const override { return new DeferredStandardIcon(*this); }

 private:
  const QIcon& icon() {
    if (!loaded_ && style_ != nullptr) {
      icon_ = style_->standardIcon(which_);
      loaded_ = true;
    }
    return icon_;
  }

  QPointer<QStyle> style_;
  QStyle::StandardPixmap which_;
  QIcon icon_;
  bool loaded_ = false;
};

// The Fusion group frame: a 98 x 38 texture drawn with 6-pixel borders, as that style draws
// it, with the same pixels as its image file. The frame is lit from the top left: a grey line
// at 20 % opacity, a faint inner shadow and a 1 % darker inside. The texture leaves its top
// row and left column clear, and is the same when turned half a turn about its frame.
constexpr int kTextureWidth = 98;
constexpr int kTextureHeight = 38;
constexpr int kBorder = 6;
constexpr int kGroupBoxTopMargin = 3;

constexpr QRgb kLine = 0x32757575;    // ARGB
constexpr QRgb kShadow = 0x07000000;  // just inside the line
constexpr QRgb kInside = 0x03000000;

// Rows 1..5 of the top-left corner (columns 1..5) and of the top-right corner (columns 93..97).
constexpr std::array<std::array<QRgb, 5>, 5> kTopLeft{{
    {0x0d272727, 0x345d5d5d, 0x346c6c6c, kLine, kLine},
    {0x39626262, 0x1f5a5a5a, 0x0a000000, 0x08000000, kShadow},
    {0x346c6c6c, 0x09000000, kInside, kInside, kInside},
    {kLine, 0x08000000, kInside, kInside, kInside},
    {kLine, kShadow, kInside, kInside, kInside},
}};
constexpr std::array<std::array<QRgb, 5>, 5> kTopRight{{
    {kLine, kLine, 0x346c6c6c, 0x37666666, 0x0c151515},
    {kShadow, 0x08000000, 0x0a000000, 0x1e5e5e5e, 0x355b5b5b},
    {kInside, kInside, kInside, 0x09000000, 0x346c6c6c},
    {kInside, kInside, kInside, 0x08000000, kLine},
    {kInside, kInside, kInside, kShadow, kLine},
}};

QRgb frameTexel(int x, int y) {
  if (x == 0 || y == 0) {
    return 0;
  }
  // The lower half is the upper half turned about the frame's centre (49, 19).
  if (2 * y > kTextureHeight || (2 * y == kTextureHeight && 2 * x > kTextureWidth)) {
    return frameTexel(kTextureWidth - x, kTextureHeight - y);
  }
  const int right = kTextureWidth - 1 - x;  // 0 in the last column
  if (y <= 5 && x <= 5) {
    return kTopLeft.at(y - 1).at(x - 1);
  }
  if (y <= 5 && right <= 4) {
    return kTopRight.at(y - 1).at(4 - right);
  }
  if (y == 1 || x == 1 || right == 0) {
    return kLine;
  }
  if (y == 2 || x == 2 || right == 1) {
    return kShadow;
  }
  return kInside;
}

const QPixmap& groupFrameTexture() {
  static const QPixmap texture = [] {
    QImage image(kTextureWidth, kTextureHeight, QImage::Format_ARGB32);
    for (int y = 0; y < kTextureHeight; ++y) {
      for (int x = 0; x < kTextureWidth; ++x) {
        image.setPixel(x, y, frameTexel(x, y));
      }
    }
    return QPixmap::fromImage(image);
  }();
  return texture;
}

bool isFusion(const QStyle* style) {
  return style->name().compare(QLatin1String("fusion"), Qt::CaseInsensitive) == 0;
}

class ProgramStyle final : public QProxyStyle {
 public:
  explicit ProgramStyle(QStyle* base) : QProxyStyle(base), fusion_(isFusion(baseStyle())) {}

  QIcon standardIcon(StandardPixmap which, const QStyleOption* option,
                     const QWidget* widget) const override {
    // Every menu bar asks for its extension arrow when it is built, and shows it only when
    // its menus do not fit.
    if (option == nullptr && (which == SP_ToolBarHorizontalExtensionButton ||
                              which == SP_ToolBarVerticalExtensionButton)) {
      return QIcon(new DeferredStandardIcon(baseStyle(), which));
    }
    return QProxyStyle::standardIcon(which, option, widget);
  }

  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
    if (element != PE_FrameGroupBox || !fusion_) {
      QProxyStyle::drawPrimitive(element, option, painter, widget);
      return;
    }
    // The frame starts below the title, as Fusion places it.
    int topMargin = kGroupBoxTopMargin;
    const auto* group = qobject_cast<const QGroupBox*>(widget);
    if (group == nullptr || group->isCheckable() || !group->title().isEmpty()) {
      topMargin +=
          qMax(baseStyle()->pixelMetric(PM_ExclusiveIndicatorHeight), option->fontMetrics.height());
    }
    qDrawBorderPixmap(painter, option->rect.adjusted(0, topMargin, 0, 0),
                      QMargins(kBorder, kBorder, kBorder, kBorder), groupFrameTexture());
  }

 private:
  bool fusion_;
};

}  // namespace

QStyle* createBaseStyle() {
  const QStyle* style = QApplication::style();
  if (const auto* program = dynamic_cast<const ProgramStyle*>(style); program != nullptr) {
    style = program->baseStyle();
  }
  return QStyleFactory::create(style->name());
}

void installProgramStyle() {
  if (dynamic_cast<const ProgramStyle*>(QApplication::style()) == nullptr) {
    QApplication::setStyle(new ProgramStyle(createBaseStyle()));
  }
}

}  // namespace kv4410::ui
