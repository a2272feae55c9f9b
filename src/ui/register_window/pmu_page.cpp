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
#include "ui/common/register_fields.h"
#include "ui/common/selector.h"
#include "ui/common/session.h"
#include "ui/common/setting_lists.h"
#include "ui/common/widgets.h"

namespace kv4410::ui {

namespace {

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
    const QStringList items = listItems(field(PmuField::Force));
    auto* combo = makeList(forceFrame, QStringLiteral("cboForce"), items);
    combo->setMinimumWidth(200);
    forceLayout->addWidget(combo);
    force_ = new Selector(
        combo, items.value(0), [this](int index) { onForce(index); }, &session_);
  }
  using bench::Setting;
  const bench::View view = bench::View::RegisterWindow;
  range_ = makeSettingList(forceFrame, session_, view, Setting::CurrentRange,
                           QStringLiteral("±2mA"), {[this](int index) { onRange(index); }, {}});
  measure_ = makeSettingList(forceFrame, session_, view, Setting::Measure,
                             QStringLiteral("Measure Voltage"),
                             {[this](int index) { onMeasure(index); }, {}});
  compare_ = makeSettingList(forceFrame, session_, view, Setting::Compare,
                             QStringLiteral("Compare Current"),
                             {[this](int index) { onCompare(index); }, {}});
  for (Selector* list : {range_, measure_, compare_}) {
    list->list()->setMinimumWidth(200);
    forceLayout->addWidget(list->list());
  }
  {
    const FieldDef& fin = field(PmuField::Fin);
    auto* box = makeCheck(forceFrame, QStringLiteral("chkFIN"), qtext(fin.control));
    forceLayout->addWidget(box);
    finConnected_ = new Selector(
        box, true, [this, &fin](int on) { setBit(fin.lowBit, on != 0); }, &session_);
  }
  forceLayout->addStretch(1);
  row->addWidget(forceFrame);

  // EXTRA FUNCTIONS
  auto* extraFrame = makeGroup(this, QStringLiteral("fraEXTRA"), QStringLiteral("EXTRA FUNCTIONS"));
  auto* extraLayout = new QVBoxLayout(extraFrame);
  {
    const QStringList items = listItems(field(PmuField::SysForceSense));
    auto* combo = makeList(extraFrame, QStringLiteral("cboSysforce"), items);
    combo->setMinimumWidth(200);
    extraLayout->addWidget(combo);
    systemForceSense_ = new Selector(
        combo, QStringLiteral("SYSTEM FORCE/SENSE Disconnected"),
        [this](int index) { onSystemForceSense(index); }, &session_);
  }
  {
    const FieldDef& comp = field(PmuField::Comp);
    auto* box = makeCheck(extraFrame, QStringLiteral("chkCPOEN"), qtext(comp.control));
    extraLayout->addWidget(box);
    comparatorOutput_ = new Selector(
        box, true, [this, &comp](int on) { setBit(comp.lowBit, on != 0); }, &session_);
  }
  {
    const FieldDef& clamp = field(PmuField::Clamp);
    auto* box = makeCheck(extraFrame, QStringLiteral("chkCLAMPEN"), qtext(clamp.control));
    extraLayout->addWidget(box);
    clampEnable_ = new Selector(
        box, true, [this, &clamp](int on) { setBit(clamp.lowBit, on != 0); }, &session_);
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
    const FieldDef& enable = field(PmuField::Enable);
    auto* box = makeCheck(enableFrame, QStringLiteral("chkENABLE"), qtext(enable.control));
    enableLayout->addWidget(box);
    channelEnable_ = new Selector(
        box, true, [this, &enable](int on) { setBit(enable.lowBit, on != 0); }, &session_);
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
  display_->showWord(code);
}

void PmuPage::compose(const std::function<void(StoredWords&)>& edit) {
  // The word carries the present channel selection and nothing above bit 27.
  session_.bench().composeWords([&edit](StoredWords& w) {
    w.refreshPmuChannels();
    edit(w);
  });
  session_.showSerialWord(session_.words().pmuWord);
}

void PmuPage::setBit(int bit, bool on) {
  const std::int32_t mask = std::int32_t{1} << bit;
  compose(
      [mask, on](StoredWords& w) { w.pmuWord = on ? (w.pmuWord | mask) : (w.pmuWord & ~mask); });
}

void PmuPage::setField(PmuField which, int index) {
  compose(
      [which, index](StoredWords& w) { w.pmuWord = withField(w.pmuWord, field(which), index); });
}

void PmuPage::onForce(int index) {
  // No item selected leaves the cleared field at 00 (force voltage).
  setField(PmuField::Force, index >= 0 ? index : 0);
}

// The shared lists compose their field here; a value of the setting then goes to the bench,
// which brings every window in step and sends the PMU control window's word.
void PmuPage::onRange(int index) {
  setField(PmuField::Range, index >= 0 ? index : 0);
}

void PmuPage::onMeasure(int index) {
  setField(PmuField::Measure, index >= 0 ? index : 0);
}

void PmuPage::onCompare(int index) {
  if (index >= 0) {
    setField(PmuField::Compare, index);
  } else {
    compose([](StoredWords&) {});
  }
}

void PmuPage::onSystemForceSense(int index) {
  if (index >= 0) {
    setField(PmuField::SysForceSense, index);
  } else {
    compose([](StoredWords&) {});
  }
}

void PmuPage::showStartUpSelections() {
  showSetting(range_, session_, bench::View::RegisterWindow, bench::Setting::CurrentRange);
  showSetting(measure_, session_, bench::View::RegisterWindow, bench::Setting::Measure);
  showSetting(compare_, session_, bench::View::RegisterWindow, bench::Setting::Compare);
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
  session_.bench().composeWords([](StoredWords& w) { w.pmuChannelsForWrite(); });
  const std::int32_t word = session_.words().pmuWord;
  session_.showSerialWord(word);
  // The display shows what the chip holds: a word refused for want of a channel is not shown.
  if (session_.sendPmuWord(word)) {
    showPmuWord(word);
  }
}

void PmuPage::clearLatchedBits() {
  session_.bench().composeWords([](StoredWords& w) { w.pmuWord |= kClearBit; });
  session_.sendPmuWord(session_.words().pmuWord);
  session_.bench().composeWords([](StoredWords& w) { w.pmuWord &= kClearOffMask; });
  session_.sendPmuWord(session_.words().pmuWord);
}

}  // namespace kv4410::ui
