#include "ui/register_window/pmu_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "device/register_map.h"
#include "ui/common/bit_display.h"
#include "ui/common/selector.h"
#include "ui/common/session.h"
#include "ui/common/widgets.h"
#include "ui/register_window/register_fields.h"

namespace kv4410::ui {

namespace {

const FieldDef& pmuField(std::string_view key) {
  return pmuRegister().field(key);
}

// CLEAR (bit 6) set for one write, then cleared again within the 28-bit word.
constexpr std::int32_t kClearBit = 0x40;
constexpr std::int32_t kClearOffMask = 0x0FFFFFBF;

}  // namespace

PmuPage::PmuPage(Session& session, QWidget* parent) : QWidget(parent), session_(session) {
  setObjectName(QStringLiteral("pageWRITEPMU"));
  auto* layout = new QVBoxLayout(this);
  display_ = new BitDisplay(Display::PmuInput, QStringLiteral("txtPMUREG"), this);
  layout->addWidget(display_);

  auto* row = new QHBoxLayout();
  layout->addLayout(row);

  // FORCE AND MEASURE
  auto* forceFrame =
      makeGroup(this, QStringLiteral("fraFORCEMEASURE"), QStringLiteral("FORCE AND MEASURE"));
  auto* forceLayout = new QVBoxLayout(forceFrame);
  {
    const QStringList items = listItems(pmuField("FORCE"));
    auto* combo = makeList(forceFrame, QStringLiteral("cboForce"), items);
    combo->setMinimumWidth(200);
    forceLayout->addWidget(combo);
    force_ = new Selector(
        combo, items.value(0), [this](int index) { onForce(index); }, &session_);
  }
  {
    const QStringList items = listItems(pmuField("RANGE"));
    auto* combo = makeList(forceFrame, QStringLiteral("cboCurrent"), items);
    combo->setMinimumWidth(200);
    forceLayout->addWidget(combo);
    range_ = new Selector(
        combo, items.value(3), [this](int index) { onRange(index); }, &session_);
    session_.hub().registerSelector(WindowId::Register, combo->objectName(), range_);
  }
  {
    const QStringList items = listItems(pmuField("MEASURE"));
    auto* combo = makeList(forceFrame, QStringLiteral("cboMeasure"), items);
    combo->setMinimumWidth(200);
    forceLayout->addWidget(combo);
    measure_ = new Selector(
        combo, items.value(1), [this](int index) { onMeasure(index); }, &session_);
    session_.hub().registerSelector(WindowId::Register, combo->objectName(), measure_);
  }
  {
    const QStringList items = listItems(pmuField("COMPARE"));
    auto* combo = makeList(forceFrame, QStringLiteral("cboCompare"), items);
    combo->setMinimumWidth(200);
    forceLayout->addWidget(combo);
    compare_ = new Selector(
        combo, items.value(0), [this](int index) { onCompare(index); }, &session_);
    session_.hub().registerSelector(WindowId::Register, combo->objectName(), compare_);
  }
  {
    const FieldDef& field = pmuField("FIN");
    auto* box = makeCheck(forceFrame, QStringLiteral("chkFIN"), qtext(field.control));
    forceLayout->addWidget(box);
    finConnected_ = new Selector(
        box, true, [this, &field](int on) { setBit(field.lowBit, on != 0); }, &session_);
  }
  forceLayout->addStretch(1);
  row->addWidget(forceFrame);

  // EXTRA FUNCTIONS
  auto* extraFrame = makeGroup(this, QStringLiteral("fraEXTRA"), QStringLiteral("EXTRA FUNCTIONS"));
  auto* extraLayout = new QVBoxLayout(extraFrame);
  {
    const QStringList items = listItems(pmuField("SYS_FORCE_SENSE"));
    auto* combo = makeList(extraFrame, QStringLiteral("cboSysforce"), items);
    combo->setMinimumWidth(200);
    extraLayout->addWidget(combo);
    systemForceSense_ = new Selector(
        combo, QStringLiteral("SYSTEM FORCE/SENSE Disconnected"),
        [this](int index) { onSystemForceSense(index); }, &session_);
  }
  {
    const FieldDef& field = pmuField("COMP");
    auto* box = makeCheck(extraFrame, QStringLiteral("chkCPOEN"), qtext(field.control));
    extraLayout->addWidget(box);
    comparatorOutput_ = new Selector(
        box, true, [this, &field](int on) { setBit(field.lowBit, on != 0); }, &session_);
  }
  {
    const FieldDef& field = pmuField("CLAMP");
    auto* box = makeCheck(extraFrame, QStringLiteral("chkCLAMPEN"), qtext(field.control));
    extraLayout->addWidget(box);
    clampEnable_ = new Selector(
        box, true, [this, &field](int on) { setBit(field.lowBit, on != 0); }, &session_);
  }
  auto* clear = makeButton(extraFrame, QStringLiteral("cmdCLEARLATCHED"),
                           QStringLiteral("CLEAR LATCHED BITS"));
  connect(clear, &QPushButton::clicked, this, [this] { clearLatchedBits(); });
  extraLayout->addWidget(clear);
  extraLayout->addStretch(1);
  row->addWidget(extraFrame);

  // CHANNEL ENABLE and the write button
  auto* rightColumn = new QVBoxLayout();
  auto* enableFrame =
      makeGroup(this, QStringLiteral("fraCHANNELENABLE"), QStringLiteral("CHANNEL ENABLE"));
  auto* enableLayout = new QVBoxLayout(enableFrame);
  {
    const FieldDef& field = pmuField("ENABLE");
    auto* box = makeCheck(enableFrame, QStringLiteral("chkENABLE"), qtext(field.control));
    enableLayout->addWidget(box);
    channelEnable_ = new Selector(
        box, true, [this, &field](int on) { setBit(field.lowBit, on != 0); }, &session_);
  }
  rightColumn->addWidget(enableFrame);
  auto* write =
      makeButton(this, QStringLiteral("cmdWRITEPMU"), QStringLiteral("WRITE PMU REGISTER"));
  write->setMinimumHeight(36);
  connect(write, &QPushButton::clicked, this, [this] { writeRegister(); });
  rightColumn->addWidget(write);
  rightColumn->addStretch(1);
  row->addLayout(rightColumn);
  row->addStretch(1);
  layout->addStretch(1);
}

void PmuPage::showPmuWord(std::int32_t code) {
  display_->show(code);
}

void PmuPage::refreshChannels() {
  session_.words.refreshPmuChannels();
}

void PmuPage::showWord() {
  session_.showSerialWord(session_.words.pmuWord);
}

void PmuPage::setBit(int bit, bool on) {
  refreshChannels();
  const std::int32_t mask = std::int32_t{1} << bit;
  std::int32_t& word = session_.words.pmuWord;
  word = on ? (word | mask) : (word & ~mask);
  showWord();
}

void PmuPage::onForce(int index) {
  refreshChannels();
  // No item selected leaves the cleared field at 00 (force voltage).
  session_.words.pmuWord =
      withField(session_.words.pmuWord, pmuField("FORCE"), index >= 0 ? index : 0);
  showWord();
}

void PmuPage::onRange(int index) {
  refreshChannels();
  session_.words.pmuWord =
      withField(session_.words.pmuWord, pmuField("RANGE"), index >= 0 ? index : 0);
  showWord();
  // The sweep window has the five real ranges only; the two "INT RANGE" codes stay here.
  if (index >= 0 && index <= 4) {
    session_.hub().mirror(WindowId::Sweep, QStringLiteral("cboSweepI"), index);
  }
}

void PmuPage::onMeasure(int index) {
  refreshChannels();
  session_.words.pmuWord =
      withField(session_.words.pmuWord, pmuField("MEASURE"), index >= 0 ? index : 0);
  showWord();
  // The sweep window lists "voltage" first and "current" second.
  if (index == 0) {
    session_.hub().mirror(WindowId::Sweep, QStringLiteral("cboMeasureVI"), 1);
  } else if (index == 1) {
    session_.hub().mirror(WindowId::Sweep, QStringLiteral("cboMeasureVI"), 0);
  }
  if (index >= 0) {
    session_.hub().mirror(WindowId::PmuControl, QStringLiteral("cboMeasure"), index);
  }
}

void PmuPage::onCompare(int index) {
  refreshChannels();
  if (index >= 0) {
    session_.words.pmuWord = withField(session_.words.pmuWord, pmuField("COMPARE"), index);
  }
  showWord();
  if (index >= 0) {
    session_.hub().mirror(WindowId::PmuControl, QStringLiteral("cboCompare"), index);
  }
}

void PmuPage::onSystemForceSense(int index) {
  refreshChannels();
  if (index >= 0) {
    session_.words.pmuWord = withField(session_.words.pmuWord, pmuField("SYS_FORCE_SENSE"), index);
  }
  showWord();
}

void PmuPage::runStartUpSelections() {
  range_->select(3);    // "±2mA"
  measure_->select(1);  // "Measure Voltage"
  compare_->select(0);  // "Compare Current"
}

void PmuPage::writeRegister() {
  // Every field is rebuilt from the controls (and the other windows brought in step again).
  clampEnable_->runHandler();
  comparatorOutput_->runHandler();
  finConnected_->runHandler();
  force_->runHandler();
  measure_->runHandler();
  range_->runHandler();
  compare_->runHandler();
  systemForceSense_->runHandler();
  channelEnable_->runHandler();
  StoredWords& w = session_.words;
  w.pmuChannelsForWrite();
  showWord();
  // The display shows what the chip holds: a word refused for want of a channel is not shown.
  if (session_.sendPmuWord(w.pmuWord)) {
    showPmuWord(w.pmuWord);
  }
}

void PmuPage::clearLatchedBits() {
  StoredWords& w = session_.words;
  w.pmuWord |= kClearBit;
  session_.sendPmuWord(w.pmuWord);
  w.pmuWord &= kClearOffMask;
  session_.sendPmuWord(w.pmuWord);
}

}  // namespace kv4410::ui
