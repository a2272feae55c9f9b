#include "ui/register_window/read_system_page.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstdint>

#include "device/readback.h"
#include "ui/common/bit_display.h"
#include "ui/common/widgets.h"
#include "ui/register_window/read_page_parts.h"
#include "ui/register_window/register_window_context.h"

namespace kv4410::ui {

ReadSystemPage::ReadSystemPage(RegisterWindowContext& context, QWidget* parent)
    : QWidget(parent), context_(context) {
  setObjectName(QStringLiteral("pageREADSYS"));
  auto* outer = new QVBoxLayout(this);

  rsys_ = new BitDisplay(Display::ReadSystem, QStringLiteral("txtRSYS"));
  outer->addWidget(rsys_);

  auto* row = new QHBoxLayout;
  outer->addLayout(row);

  // Clamp enables, bits 21..18, listed from channel 0 as the page lists them.
  auto* clampFrame =
      makeGroup(nullptr, QStringLiteral("fraCLAMPENABLE"), QStringLiteral("CLAMP ENABLE"));
  auto* clampBox = new QVBoxLayout(clampFrame);
  for (int ch = 0; ch < 4; ++ch) {
    clampLabels_[static_cast<std::size_t>(ch)] =
        decodeLabel(QStringLiteral("lblCLAMPEN_%1").arg(ch), QStringLiteral("CH%1").arg(ch));
    clampLabels_[static_cast<std::size_t>(ch)]->setMinimumWidth(110);
    clampBox->addWidget(clampLabels_[static_cast<std::size_t>(ch)]);
  }
  clampBox->addStretch();
  row->addWidget(clampFrame);

  // Comparator enables, bits 17..13.
  auto* compFrame =
      makeGroup(nullptr, QStringLiteral("fraCOMPARATOREN"), QStringLiteral("COMPARATOR EN"));
  auto* compBox = new QVBoxLayout(compFrame);
  cpBias_ = decodeLabel(QStringLiteral("lblCPBIASEN"), QStringLiteral("COMP EN"));
  compBox->addWidget(cpBias_);
  for (int ch = 0; ch < 4; ++ch) {
    auto*& label = cpolh_[static_cast<std::size_t>(ch)];
    label = decodeLabel(QStringLiteral("lblCPOLH_%1").arg(ch), QStringLiteral("CPOLH%1").arg(ch));
    compBox->addWidget(label);
  }
  compBox->addStretch();
  row->addWidget(compFrame);

  // The single-bit fields 12..8, in bit order.
  auto* singles = new QVBoxLayout;
  dutGnd_ = decodeLabel(QStringLiteral("lblDUTgnd"), QStringLiteral("DUTGND per CH"));
  guardAlarm_ = decodeLabel(QStringLiteral("lblGUARDalm"), QStringLiteral("GUARD ALM"));
  clampAlarm_ = decodeLabel(QStringLiteral("lblCLAMPalm"), QStringLiteral("CLAMP ALM"));
  forceSense_ = decodeLabel(QStringLiteral("lblFORCEsense"), QStringLiteral("FORCE/SENSE 10k"));
  guardEnable_ = decodeLabel(QStringLiteral("lblGUARDen"), QStringLiteral("GUARD EN"));
  singles->addSpacing(14);
  for (QLabel* l : {dutGnd_, guardAlarm_, clampAlarm_, forceSense_, guardEnable_}) {
    singles->addWidget(l);
  }
  singles->addStretch();
  row->addLayout(singles);

  auto* right = new QVBoxLayout;
  row->addLayout(right);

  auto* gainFrame =
      makeGroup(nullptr, QStringLiteral("fraGAINSETTING"), QStringLiteral("GAIN SETTING"));
  auto* gainBox = new QVBoxLayout(gainFrame);
  gain_[1] = decodeLabel(QStringLiteral("lblGAIN_1"), QStringLiteral("GAIN1 = 0"));
  gain_[0] = decodeLabel(QStringLiteral("lblGAIN_0"), QStringLiteral("GAIN0 = 0"));
  gain_[1]->setMinimumWidth(100);
  gain_[0]->setMinimumWidth(100);
  gainBox->addWidget(gain_[1]);
  gainBox->addWidget(gain_[0]);
  right->addWidget(gainFrame);

  auto* alarmFrame =
      makeGroup(nullptr, QStringLiteral("fraOPENDRAINALARMS"), QStringLiteral("OPEN DRAIN ALARMS"));
  auto* alarmBox = new QVBoxLayout(alarmFrame);
  sysData_[0] = decodeLabel(QStringLiteral("READSYSDATA_0"), QStringLiteral("UNLATCHED"));
  sysData_[0]->setMinimumWidth(100);
  alarmBox->addWidget(sysData_[0]);
  right->addWidget(alarmFrame);
  right->addStretch();

  auto* thermalFrame = makeGroup(nullptr, QStringLiteral("fraDIETHERMALSHUTDOWN"),
                                 QStringLiteral("DIE THERMAL SHUTDOWN"));
  auto* thermalBox = new QVBoxLayout(thermalFrame);
  thermalBox->addWidget(
      makeLabel(nullptr, QStringLiteral("lblTHERMALSHUTDOWN"), QStringLiteral("THERMAL SHUTDOWN")));
  sysData_[2] = decodeLabel(QStringLiteral("READSYSDATA_2"), QStringLiteral("ENABLED"));
  sysData_[2]->setMinimumWidth(100);
  thermalBox->addWidget(sysData_[2]);
  shutdownCaption_ = makeLabel(nullptr, QStringLiteral("lblTEMPERATUREOFSHUTDOWN"),
                               QStringLiteral("TEMPERATURE OF SHUTDOWN"));
  thermalBox->addWidget(shutdownCaption_);
  sysData_[1] = decodeLabel(QStringLiteral("READSYSDATA_1"), QStringLiteral("130degC"));
  sysData_[1]->setMinimumWidth(100);
  thermalBox->addWidget(sysData_[1]);
  thermalBox->addStretch();
  row->addWidget(thermalFrame);
  row->addStretch();

  auto* read = makeButton(nullptr, QStringLiteral("READSYS"),
                          QStringLiteral("READ SYSTEM CONTROL REGISTER"));
  connect(read, &QPushButton::clicked, this, [this] { readSystem(); });
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(read);
  buttons->addStretch();
  outer->addLayout(buttons);
  outer->addStretch(1);
}

void ReadSystemPage::readSystem() {
  const std::uint32_t answer = readBack(context_.session(), kReadSystemRequest);
  showAnswer(context_, answer);

  const SystemReadback r = decodeSystemReadback(answer);
  for (std::size_t ch = 0; ch < 4; ++ch) {
    clampLabels_[ch]->setText(QString::fromStdString(r.clampLabels[ch]));
  }
  // The CPOLH captions are updated first and then shown only while the comparator bias is on.
  for (std::size_t ch = 0; ch < 4; ++ch) {
    cpolh_[ch]->setText(QString::fromStdString(r.cpolhLabels[ch]));
  }
  cpBias_->setText(QString::fromStdString(r.cpBias));
  for (QLabel* label : cpolh_) {
    label->setVisible(r.cpolhVisible);
  }
  dutGnd_->setText(QString::fromStdString(r.dutGnd));
  guardAlarm_->setText(QString::fromStdString(r.guardAlarm));
  clampAlarm_->setText(QString::fromStdString(r.clampAlarm));
  forceSense_->setText(QString::fromStdString(r.forceSense));
  guardEnable_->setText(QString::fromStdString(r.guardEnable));
  gain_[1]->setText(QString::fromStdString(r.gain[1]));
  gain_[0]->setText(QString::fromStdString(r.gain[0]));
  shutdownCaption_->setVisible(r.shutdownTemperatureVisible);
  sysData_[2]->setText(QString::fromStdString(r.thermal));
  sysData_[1]->setText(QString::fromStdString(r.shutdownTemperature));
  sysData_[0]->setText(QString::fromStdString(r.latched));

  rsys_->showWord(answerWord(answer));
}

}  // namespace kv4410::ui
