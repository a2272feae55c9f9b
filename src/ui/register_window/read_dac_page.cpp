#include "ui/register_window/read_dac_page.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <array>

#include "device/dac_words.h"
#include "device/readback.h"
#include "ui/common/bit_display.h"
#include "ui/common/selector.h"
#include "ui/common/session.h"
#include "ui/common/widgets.h"
#include "ui/register_window/read_page_parts.h"
#include "ui/register_window/register_window_context.h"

namespace kv4410::ui {

ReadDacPage::ReadDacPage(RegisterWindowContext& context, QWidget* parent)
    : QWidget(parent), context_(context) {
  setObjectName(QStringLiteral("pageREADDAC"));
  Session* session = &context_.session();
  auto* outer = new QVBoxLayout(this);

  auto* row = new QHBoxLayout;
  outer->addLayout(row);

  auto* chFrame = channelOptions(QStringLiteral("fraOptDACREAD"), QStringLiteral("OptDACREAD"),
                                 context_.session(), [this](int ch) { selectChannel(ch); });
  row->addWidget(chFrame);

  auto* lists = new QGridLayout;
  cboDAC_ = new QComboBox;
  cboDAC_->setObjectName(QStringLiteral("cboDAC"));
  for (DacGroup g : {DacGroup::Fin, DacGroup::Cll, DacGroup::Clh, DacGroup::Cpl, DacGroup::Cph}) {
    cboDAC_->addItem(qtext(groupName(g)) + QStringLiteral(" DAC"));
  }
  new Selector(
      cboDAC_, QStringLiteral("FIN DAC"), [this](int i) { selectGroup(i); }, session);

  cboCurrentregset_ = new QComboBox;
  cboCurrentregset_->setObjectName(QStringLiteral("cboCurrentregset"));
  for (int level = 0; level <= kVoltageRangeLevel; ++level) {
    cboCurrentregset_->addItem(qtext(levelCaption(DacGroup::Fin, level)));
  }
  new Selector(
      cboCurrentregset_, qtext(levelCaption(DacGroup::Fin, 0)),
      [this](int i) { selectCurrentLevel(i); }, session);

  cboCLLregset_ = new QComboBox;
  cboCLLregset_->setObjectName(QStringLiteral("cboCLLregset"));
  cboCLLregset_->addItem(qtext(levelCaption(DacGroup::Fin, kCurrentRangesLevel)));
  cboCLLregset_->addItem(qtext(levelCaption(DacGroup::Fin, kVoltageRangeLevel)));
  new Selector(
      cboCLLregset_, QStringLiteral("±Ext Current Range"), [this](int i) { selectCllLevel(i); },
      session);
  cboCLLregset_->setVisible(false);

  cboRegset_ = new QComboBox;
  cboRegset_->setObjectName(QStringLiteral("cboRegset"));
  cboRegset_->addItems(
      {QStringLiteral("x1 reg"), QStringLiteral("m reg"), QStringLiteral("c reg")});
  new Selector(
      cboRegset_, QStringLiteral("x1 reg"), [this](int i) { selectRegisterKind(i); }, session);

  for (QComboBox* list : {cboDAC_, cboCurrentregset_, cboCLLregset_, cboRegset_}) {
    list->setMinimumWidth(170);
  }

  lists->addWidget(makeLabel(nullptr, QStringLiteral("lblDAC"), QStringLiteral("DAC")), 0, 0);
  lists->addWidget(cboDAC_, 1, 0);
  lists->addWidget(
      makeLabel(nullptr, QStringLiteral("lblREGISTERSET"), QStringLiteral("Register Set")), 0, 1);
  // The two level lists share one place: CLL and CLH have only the two upper levels.
  lists->addWidget(cboCurrentregset_, 1, 1);
  lists->addWidget(cboCLLregset_, 1, 1);
  lists->addWidget(makeLabel(nullptr, QStringLiteral("lblREGSET"),
                             QStringLiteral("Gain, Offset or DAC input Register Set")),
                   0, 2);
  lists->addWidget(cboRegset_, 1, 2);
  auto* read =
      makeButton(nullptr, QStringLiteral("cmdREADDAC"), QStringLiteral("READ DAC REGISTER"));
  connect(read, &QPushButton::clicked, this, [this] { readDac(); });
  lists->addWidget(read, 3, 0, 1, 2, Qt::AlignLeft);
  lists->setRowMinimumHeight(2, 12);
  lists->setRowStretch(4, 1);
  row->addLayout(lists);

  auto* readback =
      makeGroup(nullptr, QStringLiteral("fraREADBACKDATA"), QStringLiteral("READBACK DATA"));
  auto* readbackBox = new QGridLayout(readback);
  txtOFFSET_ = makeDisplay(nullptr, QStringLiteral("txtOFFSET"));
  txtDaccode_ = makeDisplay(nullptr, QStringLiteral("txtDaccode"));
  for (QLineEdit* field : {txtOFFSET_, txtDaccode_}) {
    field->setMinimumWidth(100);
  }
  readbackBox->addWidget(
      makeLabel(nullptr, QStringLiteral("lblOFFSETDACCODE"), QStringLiteral("OFFSET DAC CODE")), 0,
      0);
  readbackBox->addWidget(txtOFFSET_, 1, 0);
  readbackBox->addWidget(
      makeLabel(nullptr, QStringLiteral("lblDACCODE"), QStringLiteral("DAC CODE")), 2, 0);
  readbackBox->addWidget(txtDaccode_, 3, 0);
  row->addWidget(readback, 0, Qt::AlignTop);
  row->addStretch();

  rdac_ = new BitDisplay(Display::ReadDac, QStringLiteral("txtRDAC"));
  outer->addWidget(rdac_);
  outer->addStretch(1);
}

void ReadDacPage::enterPage() {
  // R/W bit, PMU 3, x1 register of FIN level 0: the page's start-up selections.
  context_.session().bench().composeWords([](StoredWords& w) { w.dacRequestWord |= 0x18C80000; });
  showRequest();
}

void ReadDacPage::showRequest() {
  context_.session().showSerialWord(context_.session().words().dacRequestWord);
}

void ReadDacPage::selectChannel(int channel) {
  std::int32_t word = context_.session().words().dacRequestWord;
  // A read request always carries the R/W bit and exactly one channel bit.
  word |= 0x10000000;
  word &= ~0x0F000000;
  for (int bit = 24; bit <= 27; ++bit) {
    rdac_->setBit(bit, false);
  }
  word |= 1 << (24 + channel);
  rdac_->setBit(24 + channel, true);
  context_.session().bench().composeWords([word](StoredWords& w) { w.dacRequestWord = word; });
  showRequest();
}

void ReadDacPage::selectGroup(int index) {
  static constexpr std::array<DacGroup, 5> kGroups = {DacGroup::Fin, DacGroup::Cll, DacGroup::Clh,
                                                      DacGroup::Cpl, DacGroup::Cph};
  if (index < 0 || index >= static_cast<int>(kGroups.size())) {
    return;
  }
  const DacGroup group = kGroups[static_cast<std::size_t>(index)];
  std::int32_t word = context_.session().words().dacRequestWord;
  // Bits 21..19 carry the group; the level index in bits 18..16 stays as it was.
  word &= 0x1FC70000;
  word |= groupBase(group);
  const bool twoLevels = group == DacGroup::Cll || group == DacGroup::Clh;
  cboCurrentregset_->setVisible(!twoLevels);
  cboCLLregset_->setVisible(twoLevels);
  cboRegset_->setEnabled(true);
  cboCurrentregset_->setEnabled(true);
  context_.session().bench().composeWords([word](StoredWords& w) { w.dacRequestWord = word; });
  showRequest();
}

void ReadDacPage::selectRegisterKind(int index) {
  static constexpr std::array<std::int32_t, 3> kModes = {kModeX1, kModeM, kModeC};
  if (index < 0 || index >= static_cast<int>(kModes.size())) {
    return;
  }
  std::int32_t word = context_.session().words().dacRequestWord;
  word &= 0x1F3F0000;
  word |= kModes[static_cast<std::size_t>(index)];
  context_.session().bench().composeWords([word](StoredWords& w) { w.dacRequestWord = word; });
  showRequest();
}

void ReadDacPage::selectCurrentLevel(int index) {
  if (index < 0 || index > kVoltageRangeLevel) {
    return;
  }
  std::int32_t word = context_.session().words().dacRequestWord;
  word &= 0x1FF80000;
  word |= index * 0x10000;
  context_.session().bench().composeWords([word](StoredWords& w) { w.dacRequestWord = word; });
  showRequest();
}

void ReadDacPage::selectCllLevel(int index) {
  if (index < 0 || index > 1) {
    return;
  }
  std::int32_t word = context_.session().words().dacRequestWord;
  word &= 0x1FF80000;
  word |= (index == 0 ? kCurrentRangesLevel : kVoltageRangeLevel) * 0x10000;
  context_.session().bench().composeWords([word](StoredWords& w) { w.dacRequestWord = word; });
  showRequest();
}

void ReadDacPage::readDac() {
  Session& session = context_.session();
  const std::uint32_t offsetAnswer = readBack(session, kReadOffsetDacRequest);
  txtOFFSET_->setText(hexText(offsetDacFromReadback(offsetAnswer), 8));

  const std::int32_t word = session.words().dacRequestWord;
  const std::uint32_t answer = readBack(session, word);
  session.showSerialWord(word);
  showAnswer(context_, answer);
  lastDacReadback_ = answerWord(answer);
  txtDaccode_->setText(hexText(dacCodeFromReadback(answer), 8));
  rdac_->showWord(answerWord(answer));
}

}  // namespace kv4410::ui
