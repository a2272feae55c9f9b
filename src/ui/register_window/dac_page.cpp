#include "ui/register_window/dac_page.h"

#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QVBoxLayout>

#include "ui/common/bit_display.h"
#include "ui/common/entry_checks.h"
#include "ui/common/register_fields.h"
#include "ui/common/session.h"
#include "ui/common/widgets.h"

namespace kv4410::ui {

namespace {

constexpr std::array<DacRegister, 3> kColumns = {DacRegister::M, DacRegister::C, DacRegister::X1};

QString registerSuffix(DacRegister reg) {
  switch (reg) {
    case DacRegister::M:
      return QStringLiteral("M");
    case DacRegister::C:
      return QStringLiteral("C");
    case DacRegister::X1:
      break;
  }
  return QStringLiteral("x1");
}

QString columnCaption(DacRegister reg) {
  switch (reg) {
    case DacRegister::M:
      return QStringLiteral("m reg");
    case DacRegister::C:
      return QStringLiteral("c reg");
    case DacRegister::X1:
      break;
  }
  return QStringLiteral("x1 reg");
}

}  // namespace

DacPage::DacPage(Session& session, QWidget* parent) : QWidget(parent), session_(session) {
  setObjectName(QStringLiteral("pageWRITEDAC"));
  auto* layout = new QVBoxLayout(this);
  display_ = new BitDisplay(Display::DacInput, QStringLiteral("txtDAC"), this);
  layout->addWidget(display_);

  auto* row = new QHBoxLayout();
  layout->addLayout(row, 1);

  // Left: the offset DAC and the instructions.
  auto* left = new QVBoxLayout();
  auto* offsetFrame =
      makeGroup(this, QStringLiteral("fraOFFSET"), QStringLiteral("OFFSET DAC CODE"));
  auto* offsetLayout = new QVBoxLayout(offsetFrame);
  offsetLayout->addWidget(codeField(DacGroup::Offset, DacRegister::X1, 0, offsetFrame));
  auto* enter = makeLabel(offsetFrame, QStringLiteral("lblENTER"),
                          QStringLiteral("Press ENTER to load value"));
  enter->setWordWrap(true);
  offsetLayout->addWidget(enter);
  left->addWidget(offsetFrame);
  auto* instructions = makeLabel(this, QStringLiteral("lblINSTRUCTIONS"),
                                 QStringLiteral("Select the Appropriate PMU Channel, Load the new "
                                                "DAC code in HEX, and press Enter/Return to "
                                                "Update the DAC. "));
  instructions->setWordWrap(true);
  left->addWidget(instructions);
  auto* note = makeLabel(this, QStringLiteral("lblNOTE"),
                         QStringLiteral("NOTE: m and c registers will not be updated on the "
                                        "relevant DAC output until the X1 register is reloaded. "));
  note->setWordWrap(true);
  QFont bold = note->font();
  bold.setBold(true);
  note->setFont(bold);
  left->addWidget(note);
  left->addStretch(1);
  auto* leftHolder = new QWidget(this);
  leftHolder->setObjectName(QStringLiteral("dacOffsetColumn"));
  leftHolder->setLayout(left);
  leftHolder->setFixedWidth(240);
  row->addWidget(leftHolder);

  // Right: the three sub-pages of DAC frames.
  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("tabDACS"));
  auto addPage = [this](const QString& caption, const QString& name,
                        std::initializer_list<DacGroup> groups) {
    auto* page = new QWidget(tabs_);
    page->setObjectName(name);
    auto* pageLayout = new QHBoxLayout(page);
    for (DacGroup group : groups) {
      pageLayout->addWidget(groupFrame(group), 0, Qt::AlignTop);
    }
    pageLayout->addStretch(1);
    tabs_->addTab(page, caption);
  };
  addPage(QStringLiteral("FIN DAC"), QStringLiteral("pageFINDAC"), {DacGroup::Fin});
  addPage(QStringLiteral("CLL + CLH DACs"), QStringLiteral("pageCLDACS"),
          {DacGroup::Cll, DacGroup::Clh});
  addPage(QStringLiteral("CPL + CPH DACs"), QStringLiteral("pageCPDACS"),
          {DacGroup::Cpl, DacGroup::Cph});
  row->addWidget(tabs_, 1);
}

QWidget* DacPage::groupFrame(DacGroup group) {
  const QString name = qtext(groupName(group));
  auto* frame = makeGroup(this, QStringLiteral("fra") + name + QStringLiteral("DAC"),
                          name + QStringLiteral(" DAC"));
  auto* grid = new QGridLayout(frame);
  grid->setHorizontalSpacing(6);
  for (std::size_t c = 0; c < kColumns.size(); ++c) {
    auto* heading =
        makeLabel(frame, QStringLiteral("lbl%1%2HEAD").arg(name, registerSuffix(kColumns[c])),
                  columnCaption(kColumns[c]));
    heading->setAlignment(Qt::AlignCenter);
    grid->addWidget(heading, 0, static_cast<int>(c) + 1);
  }
  int row = 1;
  for (int level = 0; level <= kVoltageRangeLevel; ++level) {
    if (!groupHasLevel(group, level)) {
      continue;
    }
    auto* caption = makeLabel(frame, QStringLiteral("lbl%1LEVEL_%2").arg(name).arg(level),
                              qtext(levelCaption(group, level)));
    grid->addWidget(caption, row, 0);
    for (std::size_t c = 0; c < kColumns.size(); ++c) {
      grid->addWidget(codeField(group, kColumns[c], level, frame), row, static_cast<int>(c) + 1);
    }
    ++row;
  }
  return frame;
}

QLineEdit* DacPage::codeField(DacGroup group, DacRegister reg, int level, QWidget* parent) {
  const QString name = group == DacGroup::Offset
                           ? QStringLiteral("OFFSETx1_%1").arg(level)
                           : QStringLiteral("txt%1%2_%3")
                                 .arg(qtext(groupName(group)), registerSuffix(reg))
                                 .arg(level);
  auto* field = makeEntry(parent, name, qtext(defaultCodeText(group, reg)));
  field->setFixedWidth(72);
  field->setAlignment(Qt::AlignCenter);
  const std::int32_t mode = modeOf(reg);
  const std::int32_t dacadd = groupBase(group);
  const auto index = static_cast<std::int16_t>(level);
  connect(field, &QLineEdit::returnPressed, this, [this, field, index, mode, dacadd] {
    if (const auto code = acceptDacCode(field, session_.messages())) {
      DACLOAD(index, *code, mode, dacadd);
    }
  });
  return field;
}

void DacPage::showDacInput(std::int32_t code) {
  display_->showWord(code);
}

void DacPage::DACLOAD(std::int16_t index, std::int32_t lx, std::int32_t mode, std::int32_t dacadd) {
  const std::int32_t word = composeDacWord(index, lx, mode, dacadd, session_.words().chanBits);
  session_.bench().composeWords([word](StoredWords& w) { w.dacWord = word; });
  session_.showSerialWord(word);
  // DAC words go out as composed, even with no channel bit: the chip then ignores them.
  session_.SPIout(word);
  showDacInput(word);
}

}  // namespace kv4410::ui
