#include "ui/register_window/little_routines_page.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <array>
#include <optional>

#include "device/dac_words.h"
#include "device/text_format.h"
#include "ui/common/entry_checks.h"
#include "ui/common/selector.h"
#include "ui/common/session.h"
#include "ui/common/widgets.h"
#include "ui/register_window/register_window_context.h"

namespace kv4410::ui {

namespace {

// Level index of each cboFINREG item, in list order. The list shows "Voltage Range" until an
// item is chosen, so no choice means the voltage range too.
constexpr std::array<int, 6> kFinRegLevels = {kVoltageRangeLevel, 0, 1, 2, 3, 4};

int finRegLevel(int listIndex) {
  if (listIndex < 0 || listIndex >= static_cast<int>(kFinRegLevels.size())) {
    return kVoltageRangeLevel;
  }
  return kFinRegLevels[static_cast<std::size_t>(listIndex)];
}

// Current-range bits 17..15 of a PMU word for the cboCurrent1/cboCurrent2 items "±5uA" (000)
// to "±ext current range" (100); no choice shows "±5uA".
std::int32_t rangeBits(int listIndex) {
  if (listIndex < 0 || listIndex > 4) {
    return 0;
  }
  return listIndex * 0x8000;
}

// Clears the range bits 18..15, the mode bits 23..22 and the R/W bit 28 of a PMU word.
constexpr std::int32_t kKeepOutsideRange = 0x0F387FFF;

QLineEdit* codeField(const QString& name, const QString& text) {
  auto* field = makeEntry(nullptr, name, text);
  field->setMaximumWidth(110);
  return field;
}

QLineEdit* displayField(const QString& name) {
  auto* field = makeDisplay(nullptr, name);
  field->setMaximumWidth(110);
  return field;
}

QComboBox* list(const QString& name, const QStringList& items) {
  auto* box = makeList(nullptr, name, items);
  // These lists keep Qt's default sizing (measured once, when first shown).
  box->setSizeAdjustPolicy(QComboBox::AdjustToContentsOnFirstShow);
  box->setMinimumWidth(150);
  return box;
}

QLabel* note(const QString& name, const QString& text) {
  auto* label = makeLabel(nullptr, name, text);
  label->setWordWrap(true);
  label->setMaximumWidth(620);
  return label;
}

}  // namespace

LittleRoutinesPage::LittleRoutinesPage(RegisterWindowContext& context, QWidget* parent)
    : QWidget(parent), context_(context) {
  setObjectName(QStringLiteral("pageLITTLEROUTINES"));
  auto* outer = new QVBoxLayout(this);
  auto* tabs = new QTabWidget;
  tabs->setObjectName(QStringLiteral("tabROUTINES"));
  tabs->addTab(buildSettlingPage(), QStringLiteral("SETTLING TIME TRANSITIONS"));
  tabs->addTab(buildRangeChangePage(), QStringLiteral("RANGE CHANGE TRANSITIONS"));
  outer->addWidget(tabs);
}

QWidget* LittleRoutinesPage::buildSettlingPage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("pageSETTLING"));
  auto* outer = new QVBoxLayout(page);
  outer->addWidget(note(
      QStringLiteral("lblSETTLINGTEXT"),
      QStringLiteral("This routine enables transitions of the Force DAC. Current or Voltage "
                     "transitions are possible by selecting the appropriate Register Set. Please "
                     "first ensure that the PMU is enabled, and that the appropriate register "
                     "range is selected in the PMU Register.")));

  auto* row = new QHBoxLayout;
  outer->addLayout(row);

  auto* finFrame = makeGroup(nullptr, QStringLiteral("fraFINDACX1"), QStringLiteral("FIN DAC X1"));
  auto* finGrid = new QGridLayout(finFrame);
  txtFINSET1_ = codeField(QStringLiteral("txtFINSET1"), QStringLiteral("0000"));
  txtFINSET2_ = codeField(QStringLiteral("txtFINSET2"), QStringLiteral("8000"));
  // "±200mA" is the list's own text for the ±200uA level (index 2).
  cboFINREG_ =
      list(QStringLiteral("cboFINREG"),
           {QStringLiteral("Voltage Range"), QStringLiteral("±5uA"), QStringLiteral("±20uA"),
            QStringLiteral("±200mA"), QStringLiteral("±2mA"), QStringLiteral("±Ext Rsense")});
  Session* session = &context_.session();
  new Selector(
      cboFINREG_, QStringLiteral("Voltage Range"), [this](int) { composeSettlingWords(); },
      session);
  finGrid->addWidget(makeLabel(nullptr, QStringLiteral("lblFINSET1"), QStringLiteral("first code")),
                     0, 0);
  finGrid->addWidget(txtFINSET1_, 1, 0);
  finGrid->addWidget(
      makeLabel(nullptr, QStringLiteral("lblFINSET2"), QStringLiteral("second code")), 0, 1);
  finGrid->addWidget(txtFINSET2_, 1, 1);
  finGrid->addWidget(
      makeLabel(nullptr, QStringLiteral("lblFINREG"), QStringLiteral("Register Set")), 0, 2);
  finGrid->addWidget(cboFINREG_, 1, 2);
  row->addWidget(finFrame);

  auto* write =
      makeButton(nullptr, QStringLiteral("cmdWRITESET"), QStringLiteral("WRITE DAC CODES"));
  connect(write, &QPushButton::clicked, this, &LittleRoutinesPage::writeSettlingCodes);
  row->addWidget(write, 0, Qt::AlignBottom);

  auto* shown = new QGridLayout;
  text2_ = displayField(QStringLiteral("Text2"));
  text3_ = displayField(QStringLiteral("Text3"));
  shown->addWidget(makeLabel(nullptr, QStringLiteral("lblText2"), QStringLiteral("first code")), 0,
                   0);
  shown->addWidget(text2_, 1, 0);
  shown->addWidget(makeLabel(nullptr, QStringLiteral("lblText3"), QStringLiteral("second code")), 0,
                   1);
  shown->addWidget(text3_, 1, 1);
  row->addLayout(shown);
  row->setAlignment(shown, Qt::AlignBottom);
  row->addStretch();
  outer->addStretch(1);

  for (QLineEdit* field : {txtFINSET1_, txtFINSET2_}) {
    connect(field, &QLineEdit::returnPressed, this,
            [this, field] { acceptDacCode(field, context_.session().messages()); });
  }
  return page;
}

QWidget* LittleRoutinesPage::buildRangeChangePage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("pageRANGECHANGE"));
  auto* outer = new QVBoxLayout(page);
  outer->addWidget(note(
      QStringLiteral("lblRANGECHANGETEXT"),
      QStringLiteral("This routine allows current range change transients to be monitored. The "
                     "device is in FV mode, and the current ranges may be switched. ")));

  auto* row = new QHBoxLayout;
  outer->addLayout(row);

  auto* rangeFrame = makeGroup(nullptr, QStringLiteral("fraCURRENTRANGECHANGE"),
                               QStringLiteral("Current Range Change"));
  auto* grid = new QGridLayout(rangeFrame);
  txtdin_ = codeField(QStringLiteral("txtdin"), QStringLiteral("0000"));
  const QStringList ranges = {QStringLiteral("±5uA"), QStringLiteral("±20uA"),
                              QStringLiteral("±200uA"), QStringLiteral("±2mA"),
                              QStringLiteral("±ext current range")};
  cboCurrent1_ = list(QStringLiteral("cboCurrent1"), ranges);
  cboCurrent2_ = list(QStringLiteral("cboCurrent2"), ranges);
  // The lists only hold a choice; "UPDATE" reads them.
  Session* session = &context_.session();
  new Selector(cboCurrent1_, QStringLiteral("±5uA"), nullptr, session);
  new Selector(cboCurrent2_, QStringLiteral("±5uA"), nullptr, session);
  grid->addWidget(
      makeLabel(nullptr, QStringLiteral("lblDIN"), QStringLiteral("FORCE VOLTAGE DAC CODE")), 0, 0);
  grid->addWidget(txtdin_, 1, 0);
  grid->addWidget(makeLabel(nullptr, QStringLiteral("lblCurrent1"), QStringLiteral("1st Range")), 0,
                  1);
  grid->addWidget(cboCurrent1_, 1, 1);
  grid->addWidget(makeLabel(nullptr, QStringLiteral("lblCurrent2"), QStringLiteral("2nd Range")), 0,
                  2);
  grid->addWidget(cboCurrent2_, 1, 2);
  row->addWidget(rangeFrame);

  auto* update = makeButton(nullptr, QStringLiteral("cmdRangeChange"), QStringLiteral("UPDATE"));
  connect(update, &QPushButton::clicked, this, &LittleRoutinesPage::changeRange);
  row->addWidget(update, 0, Qt::AlignBottom);
  row->addStretch();

  auto* shown = new QHBoxLayout;
  outer->addLayout(shown);
  auto* shownGrid = new QGridLayout;
  txtrange1_ = displayField(QStringLiteral("txtrange1"));
  txtfincode_ = displayField(QStringLiteral("txtfincode"));
  txtrange2_ = displayField(QStringLiteral("txtrange2"));
  shownGrid->addWidget(
      makeLabel(nullptr, QStringLiteral("lblrange1"), QStringLiteral("1st PMU WRITE")), 0, 0);
  shownGrid->addWidget(txtrange1_, 1, 0);
  shownGrid->addWidget(
      makeLabel(nullptr, QStringLiteral("lblfincode"), QStringLiteral("FIN DAC CODE")), 0, 1);
  shownGrid->addWidget(txtfincode_, 1, 1);
  shownGrid->addWidget(
      makeLabel(nullptr, QStringLiteral("lblrange2"), QStringLiteral("2nd PMU WRITE")), 0, 2);
  shownGrid->addWidget(txtrange2_, 1, 2);
  shown->addLayout(shownGrid);
  shown->addStretch();
  outer->addStretch(1);

  connect(txtdin_, &QLineEdit::returnPressed, this,
          [this] { acceptDacCode(txtdin_, context_.session().messages()); });
  return page;
}

void LittleRoutinesPage::composeSettlingWords() {
  const std::int32_t chanBits = context_.session().words().chanBits;
  const std::int32_t level = finRegLevel(cboFINREG_->currentIndex());
  // FIN x1 write (mode 11, group base 8) for the selected channels; R/W bit and level cleared.
  const std::int32_t base = ((chanBits | kModeX1 | kFinDacBase) & 0x0FF80000) | (level * 0x10000);
  settling1_ = base;
  settling2_ = base;
}

void LittleRoutinesPage::writeSettlingCodes() {
  MessageSink& messages = context_.session().messages();
  // The codes are read at the press, so they are checked as Enter would check them; a press with
  // a field that is not a code of 0..0xFFFF sends nothing.
  const std::optional<std::int32_t> first = checkDacCode(txtFINSET1_, messages);
  if (!first) {
    return;
  }
  const std::optional<std::int32_t> second = checkDacCode(txtFINSET2_, messages);
  if (!second) {
    return;
  }

  composeSettlingWords();
  settling1_ = (settling1_ & 0x0FFF0000) | *first;
  settling2_ = (settling2_ & 0x0FFF0000) | *second;
  text2_->setText(hexText(settling1_, 8));
  text3_->setText(hexText(settling2_, 8));

  // Both are x1 writes of the same FIN register: the force level steps from one code to the
  // other with nothing in between.
  Session& session = context_.session();
  session.SPIout(settling1_);
  session.SPIout(settling2_);
}

void LittleRoutinesPage::changeRange() {
  Session& session = context_.session();
  const std::optional<std::int32_t> code = checkDacCode(txtdin_, session.messages());
  if (!code) {
    return;
  }

  const std::int32_t kept = session.words().pmuWord;
  const std::int32_t firstRange =
      (kept & kKeepOutsideRange) | rangeBits(cboCurrent1_->currentIndex());
  const std::int32_t secondRange =
      (kept & kKeepOutsideRange) | rangeBits(cboCurrent2_->currentIndex());

  // Both PMU writes carry the channel bits of pmuWord; without one the chip would take them as
  // system control writes, so the whole transition is refused before anything goes out.
  if (!session.sendPmuWord(firstRange)) {
    return;
  }
  finWord_ = session.words().chanBits | kFinVoltageX1 | *code;
  session.SPIout(finWord_);
  txtfincode_->setText(hexText(finWord_, 8));
  txtrange1_->setText(hexText(firstRange, 8));

  txtrange2_->setText(hexText(secondRange, 8));
  session.sendPmuWord(secondRange);

  // The chip stays in the second range; the stored word stays the one the PMU page composed.
}

}  // namespace kv4410::ui
