#include "ui/register_window/read_status_page.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstdint>

#include "device/readback.h"
#include "ui/common/bit_display.h"
#include "ui/common/session.h"
#include "ui/common/widgets.h"
#include "ui/register_window/read_page_parts.h"
#include "ui/register_window/register_window_context.h"

namespace kv4410::ui {

ReadStatusPage::ReadStatusPage(RegisterWindowContext& context, QWidget* parent)
    : QWidget(parent), context_(context) {
  setObjectName(QStringLiteral("pageREADSTATUS"));
  auto* outer = new QVBoxLayout(this);

  comp_ = new BitDisplay(Display::ComparatorStatus, QStringLiteral("txtCOMP"));
  outer->addWidget(comp_);
  auto* readComp = makeButton(nullptr, QStringLiteral("READCOMP"),
                              QStringLiteral("READ COMPARATOR STATUS REGISTER"));
  connect(readComp, &QPushButton::clicked, this, [this] { readComparator(); });
  auto* compRow = new QHBoxLayout;
  compRow->addWidget(readComp);
  compRow->addStretch();
  outer->addLayout(compRow);
  outer->addSpacing(8);

  alm_ = new BitDisplay(Display::AlarmStatus, QStringLiteral("txtALM"));
  outer->addWidget(alm_);

  auto* almRow = new QHBoxLayout;
  outer->addLayout(almRow);
  auto* buttons = new QVBoxLayout;
  auto* readAlarmButton = makeButton(nullptr, QStringLiteral("READALARM"),
                                     QStringLiteral("READ ALARM STATUS REGISTER"));
  connect(readAlarmButton, &QPushButton::clicked, this, [this] { readAlarm(); });
  auto* clear =
      makeButton(nullptr, QStringLiteral("Command4"), QStringLiteral("CLEAR LATCHED BITS"));
  connect(clear, &QPushButton::clicked, this, [this] { clearLatchedBits(); });
  buttons->addWidget(readAlarmButton);
  buttons->addWidget(clear);
  buttons->addStretch();
  almRow->addLayout(buttons);

  // The temperature alarm lamps of bits 21 (LTMPALM) and 20 (TMPALM).
  auto* lampFrame =
      makeGroup(nullptr, QStringLiteral("fraTEMPALARMSTATUS"), QStringLiteral("TEMP ALARM"));
  auto* lampBox = new QGridLayout(lampFrame);
  latchedTemp_ = makeLamp(QStringLiteral("cmdTEMP_0"));
  temp_ = makeLamp(QStringLiteral("cmdTEMP_1"));
  lampBox->addWidget(makeLabel(nullptr, QStringLiteral("lblLTMPALM"), QStringLiteral("LTMPALM")), 0,
                     0, Qt::AlignHCenter);
  lampBox->addWidget(makeLabel(nullptr, QStringLiteral("lblTMPALM"), QStringLiteral("TMPALM")), 0,
                     1, Qt::AlignHCenter);
  lampBox->addWidget(latchedTemp_, 1, 0);
  lampBox->addWidget(temp_, 1, 1);
  showLamp(latchedTemp_, lampFor(true));
  showLamp(temp_, lampFor(true));
  almRow->addWidget(lampFrame, 0, Qt::AlignTop);
  almRow->addStretch();

  outer->addWidget(activeLowNote(QStringLiteral("lblACTIVELOWSTATUS")));
  outer->addStretch(1);
}

void ReadStatusPage::readComparator() {
  const std::uint32_t answer = readBack(context_.session(), kReadComparatorRequest);
  showAnswer(context_, answer);
  comp_->showWord(answerWord(answer));
}

void ReadStatusPage::readAlarm() {
  const std::uint32_t answer = readBack(context_.session(), kReadAlarmRequest);
  showAnswer(context_, answer);
  const AlarmReadback r = decodeAlarmReadback(answer);
  showLamp(latchedTemp_, r.latchedTemp);
  showLamp(temp_, r.temp);
  alm_->showWord(answerWord(answer));
}

void ReadStatusPage::clearLatchedBits() {
  // Bit 6 of a PMU write clears the latched alarms; it stays set in pmuWord, so every later PMU
  // write clears them again until the PMU page's own button takes the bit out.
  Session& session = context_.session();
  session.bench().composeWords([](StoredWords& w) { w.pmuWord |= 0x40; });
  session.sendPmuWord(session.words().pmuWord);
}

}  // namespace kv4410::ui
