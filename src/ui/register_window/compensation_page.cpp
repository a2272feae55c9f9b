#include "ui/register_window/compensation_page.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/common/selector.h"
#include "ui/common/session.h"
#include "ui/common/widgets.h"

namespace kv4410::ui {

CompensationPage::CompensationPage(Session& session, QWidget* parent)
    : QWidget(parent), session_(session) {
  setObjectName(QStringLiteral("pageCOMPENSATION"));
  auto* layout = new QVBoxLayout(this);
  auto* text = makeLabel(
      this, QStringLiteral("lblCOMPENSATION"),
      QStringLiteral(
          "Compensation and Feedforward capacitors are used to optomize settling and stability "
          "performance into a wide range of capacitive loads. CH1 and CH3 have external switches "
          "connected to the CCOMP and CFF pins allowing for selection of different compensation "
          "and feedforward capacitances depending on the DUT load capacitance. Use the Radio "
          "buttons below to select different values."));
  text->setWordWrap(true);
  text->setMaximumWidth(720);
  layout->addWidget(text);

  auto* row = new QHBoxLayout();
  layout->addLayout(row);

  // Option button i sends its request with value i (1 = the start-up choice).
  auto addGroup = [this, row](const QString& caption, const QString& frameName,
                              const QString& buttonName, const QStringList& captions,
                              bench::Refusal (bench::Bench::*command)(int)) {
    auto* frame = makeGroup(this, frameName, caption);
    auto* frameLayout = new QVBoxLayout(frame);
    auto* group = new QButtonGroup(frame);
    for (int i = 1; i <= captions.size(); ++i) {
      auto* option = new QRadioButton(captions.at(i - 1), frame);
      option->setObjectName(QStringLiteral("%1_%2").arg(buttonName).arg(i));
      group->addButton(option, i);
      frameLayout->addWidget(option);
      new Selector(
          option, i == 1,
          [this, command, i](int on) {
            if (on != 0) {
              session_.report((session_.bench().*command)(i));
            }
          },
          &session_);
    }
    frameLayout->addStretch(1);
    row->addWidget(frame);
  };
  addGroup(QStringLiteral("CCOMP"), QStringLiteral("fraCComp"), QStringLiteral("optCComp"),
           {QStringLiteral("100pF"), QStringLiteral("1nF")}, &bench::Bench::setCComp);
  addGroup(QStringLiteral("CFF"), QStringLiteral("fraCFeedforward"),
           QStringLiteral("optCFeedforward"),
           {QStringLiteral("220pF"), QStringLiteral("1nF"), QStringLiteral("10nF")},
           &bench::Bench::setCFeedforward);
  row->addStretch(1);
  layout->addStretch(1);
}

}  // namespace kv4410::ui
