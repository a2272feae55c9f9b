#include "ui/register_window/read_pmu_page.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstdint>

#include "device/readback.h"
#include "ui/common/bit_display.h"
#include "ui/common/selector.h"
#include "ui/common/session.h"
#include "ui/common/widgets.h"
#include "ui/register_window/read_page_parts.h"
#include "ui/register_window/register_window_context.h"

namespace kv4410::ui {

ReadPmuPage::ReadPmuPage(RegisterWindowContext& context, QWidget* parent)
    : QWidget(parent), context_(context) {
  setObjectName(QStringLiteral("pageREADPMU"));
  auto* outer = new QVBoxLayout(this);

  rpmu_ = new BitDisplay(Display::ReadPmu, QStringLiteral("txtRPMU"));
  outer->addWidget(rpmu_);

  // The temperature alarm lamps of bits 6 (LATCHED) and 5 (UNLATCHed), right under their bits.
  auto* lampFrame =
      makeGroup(nullptr, QStringLiteral("fraTEMPALARMPMU"), QStringLiteral("TEMP ALARM"));
  auto* lampBox = new QGridLayout(lampFrame);
  latchedTemp_ = makeLamp(QStringLiteral("cmdTEMP_3"));
  unlatchedTemp_ = makeLamp(QStringLiteral("cmdTEMP_2"));
  lampBox->addWidget(
      makeLabel(nullptr, QStringLiteral("lblTEMPLATCHED"), QStringLiteral("LATCHED")), 0, 0,
      Qt::AlignHCenter);
  lampBox->addWidget(
      makeLabel(nullptr, QStringLiteral("lblTEMPUNLATCHED"), QStringLiteral("UNLATCHed")), 0, 1,
      Qt::AlignHCenter);
  lampBox->addWidget(latchedTemp_, 1, 0);
  lampBox->addWidget(unlatchedTemp_, 1, 1);
  showLamp(latchedTemp_, lampFor(true));
  showLamp(unlatchedTemp_, lampFor(true));

  auto* row = new QHBoxLayout;
  outer->addLayout(row);

  // PMU 3 is selected at start without running the handler: the page entry's OR gives its word.
  auto* chFrame = channelOptions(QStringLiteral("fraOptPMUCH"), QStringLiteral("OptPMUCH"),
                                 context_.session(), [this](int ch) { selectChannel(ch); });
  auto* left = new QVBoxLayout;
  left->addWidget(chFrame);
  auto* read = makeButton(nullptr, QStringLiteral("READPMU"), QStringLiteral("READ PMU REGISTER"));
  connect(read, &QPushButton::clicked, this, [this] { readPmu(); });
  left->addWidget(read);
  left->addStretch();
  row->addLayout(left);

  // RPMU(0..8) in the order of their bits, left column first.
  auto* grid = new QGridLayout;
  const std::array<const char*, 9> initial = {
      "CHANNEL DISABLED", "FORCE MODE",          "CURENT RANGE",
      "MEASURE MODE",     "FIN TIED TO GND",     "SYSTEM SENSE/FORCE DISCONNECTED",
      "CLAMP DISABLED",   "COMPARATOR DISABLED", "COMPARE ?"};
  for (std::size_t i = 0; i < initial.size(); ++i) {
    auto* label = decodeLabel(QStringLiteral("RPMU_%1").arg(i), QString::fromLatin1(initial[i]));
    label->setMinimumWidth(230);
    rpmuLabels_[i] = label;
    grid->addWidget(label, static_cast<int>(i % 5), static_cast<int>(i / 5));
  }
  grid->setRowStretch(5, 1);
  row->addLayout(grid);
  auto* lampColumn = new QVBoxLayout;
  lampColumn->addWidget(lampFrame);
  lampColumn->addStretch();
  row->addLayout(lampColumn);
  row->addStretch();

  outer->addWidget(activeLowNote(QStringLiteral("lblACTIVELOWPMU")));
  outer->addStretch(1);
}

void ReadPmuPage::enterPage() {
  // PMU 3's bit; after another channel was chosen the word carries both (the chip's matter).
  Session& session = context_.session();
  session.bench().composeWords([](StoredWords& w) { w.pmuRequestWord |= 0x18000000; });
  session.showSerialWord(session.words().pmuRequestWord);
}

void ReadPmuPage::selectChannel(int channel) {
  const std::int32_t word = pmuReadRequest(channel);
  context_.session().bench().composeWords([word](StoredWords& w) { w.pmuRequestWord = word; });
}

void ReadPmuPage::readPmu() {
  Session& session = context_.session();
  const std::int32_t word = session.words().pmuRequestWord;
  const std::uint32_t answer = readBack(session, word);
  showAnswer(context_, answer);
  session.showSerialWord(word);

  const PmuReadback r = decodePmuReadback(answer);
  showLamp(unlatchedTemp_, r.unlatchedTemp);
  showLamp(latchedTemp_, r.latchedTemp);
  for (std::size_t i = 0; i < rpmuLabels_.size(); ++i) {
    rpmuLabels_[i]->setText(QString::fromStdString(r.labels[i]));
  }
  rpmu_->showWord(answerWord(answer));
}

}  // namespace kv4410::ui
