#include "ui/sweeps/run_tab.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/common/widgets.h"
#include "ui/sweeps/strip_chart.h"

namespace kv4410::ui {

namespace {

constexpr std::int32_t kTraceBlue = 0xFF0000;  // blue-green-red order
constexpr int kTraceWidth = 4;

// Min and Max as single-precision values.
QString singleText(float value) {
  return QString::number(static_cast<double>(value), 'g', 7);
}

// Two read-only fields captioned `a` and `b`, one above the other, in their frame.
QGroupBox* fieldPair(QWidget* parent, const QString& frameName, const QString& caption,
                     const char* a, QLineEdit*& first, const QString& firstName, const char* b,
                     QLineEdit*& second, const QString& secondName, int secondWidth) {
  auto* frame = makeGroup(parent, frameName, caption);
  first = runDisplay(frame, firstName, 110);
  second = runDisplay(frame, secondName, secondWidth);
  auto* layout = new QGridLayout(frame);
  layout->addWidget(makeLabel(frame, QString(), QString::fromLatin1(a)), 0, 0);
  layout->addWidget(first, 0, 1);
  layout->addWidget(makeLabel(frame, QString(), QString::fromLatin1(b)), 1, 0);
  layout->addWidget(second, 1, 1);
  return frame;
}

}  // namespace

QLineEdit* runDisplay(QWidget* parent, const QString& name, int width) {
  auto* field = makeDisplay(parent, name);
  field->setFixedWidth(width);
  field->setFocusPolicy(Qt::NoFocus);
  field->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  return field;
}

RunTab::RunTab(const RunTabNames& names, double xStart, bool blueTrace,
               const std::function<void(QGroupBox*)>& fillForce, QWidget* parent)
    : QWidget(parent), xStart_(xStart), blueTrace_(blueTrace) {
  setObjectName(names.tab);
  chart_ = new StripChart(names.chart, this);
  plot_ = makeButton(this, names.plot, QStringLiteral("PLOT"));
  plot_->setMinimumHeight(34);
  auto* force = makeGroup(this, names.force, QStringLiteral("FORCE VOLTAGE"));
  fillForce(force);

  list_ = new QListWidget(this);
  list_->setObjectName(names.list);
  list_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  list_->setUniformItemSizes(true);
  list_->setMinimumHeight(120);
  status_ = makeLabel(this, names.status, QString());
  copy_ = makeButton(this, names.copy, QStringLiteral("COPY DATA TO CLIPBOARD"));
  save_ = makeButton(this, names.save, QStringLiteral("SAVE CSV..."));

  auto* right = new QVBoxLayout();
  right->addWidget(
      fieldPair(this, names.xyFrame, names.xyCaption, "X", x_, names.x, "Y", y_, names.y, 130));
  right->addWidget(fieldPair(this, names.minMaxFrame, QStringLiteral("Min/Max"), "Min", min_,
                             names.min, "Max", max_, names.max, 110));
  right->addWidget(copy_);
  right->addWidget(save_);
  right->addStretch(1);

  auto* top = new QHBoxLayout();
  top->addWidget(force);
  top->addStretch(1);
  top->addWidget(plot_, 0, Qt::AlignBottom);
  auto* bottom = new QHBoxLayout();
  auto* listColumn = new QVBoxLayout();
  listColumn->addWidget(list_, 1);
  listColumn->addWidget(status_);
  bottom->addLayout(listColumn, 1);
  bottom->addLayout(right);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(chart_, 3);
  layout->addLayout(top);
  layout->addLayout(bottom, 2);
}

void RunTab::clearResults() {
  list_->clear();
  for (QLineEdit* f : {x_, y_, min_, max_}) {
    f->clear();
  }
}

void RunTab::prepareChart(int points) {
  chart_->clear();
  chart_->setPointCount(points);
  chart_->setXStart(xStart_);
  chart_->setXEnd(points);
  if (blueTrace_) {
    chart_->setTraceColour(kTraceBlue);
    chart_->setTraceWidth(kTraceWidth);
  }
}

void RunTab::limitsTo(const YLimits& limits) {
  chart_->setUpperLimit(limits.upper);
  chart_->setLowerLimit(limits.lower);
}

void RunTab::plotFinal(const std::vector<double>& series, float low, float high,
                       const YLimits& limits, int points) {
  min_->setText(singleText(low));
  max_->setText(singleText(high));
  prepareChart(points);
  limitsTo(limits);
  chart_->plot(series);
  chart_->setPointCount(points);
  chart_->setXStart(xStart_);
  chart_->setXEnd(points);
}

}  // namespace kv4410::ui
