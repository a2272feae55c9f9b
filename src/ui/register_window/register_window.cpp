#include "ui/register_window/register_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

#include "device/serial_word.h"
#include "device/text_format.h"
#include "ui/common/entry_checks.h"
#include "ui/common/message_sink.h"
#include "ui/common/selector.h"
#include "ui/common/session.h"
#include "ui/common/widgets.h"
#include "ui/common/window_menus.h"
#include "ui/register_window/compensation_page.h"
#include "ui/register_window/dac_page.h"
#include "ui/register_window/lazy_page.h"
#include "ui/register_window/little_routines_page.h"
#include "ui/register_window/pmu_page.h"
#include "ui/register_window/read_pages.h"
#include "ui/register_window/side_tab_widget.h"
#include "ui/register_window/system_page.h"

namespace kv4410::ui {

namespace {

const QString kSerialTooLarge =
    QStringLiteral("Number too large. Please reenter code between 0 and x1FFFFFFF.");

// The chip's start-up state: system control word (all clamps and comparators on, comparator
// bias, clamp alarm, MEASOUT gain 0.2, thermal shutdown at 130 degC) and PMU word (all four
// channels enabled, force voltage, +-2mA, measure voltage, FIN connected, clamp and comparator
// output on).
constexpr std::int32_t kStartUpSysWord = 0x003FE4A0;
// Opening "WRITE SYSTEM CONTROL REG" sets the thermal shutdown enable (bit 5).
constexpr std::int32_t kThermalEnableBit = 0x20;

}  // namespace

RegisterWindow::RegisterWindow(Session& session, QWidget* parent)
    : QMainWindow(parent), session_(session) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QStringLiteral("KV4410 Evaluation Board Software"));
  session_.hub().adopt(WindowId::Register, this);

  auto* central = new QWidget(this);
  central->setObjectName(QStringLiteral("centralMain"));
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(6, 6, 6, 6);

  auto* tabs = new SideTabWidget(central);
  tabs->setObjectName(QStringLiteral("tabMain"));
  pages_ = tabs;
  // The start-up shows the first page and composes the words of the first two; the others are
  // built when first opened.
  systemPage_ = new SystemPage(session_, pages_);
  pmuPage_ = new PmuPage(session_, pages_);
  dacHolder_ = new LazyPage(
      QStringLiteral("holderWRITEDAC"),
      [this](QWidget* holder) {
        dacPage_ = new DacPage(session_, holder);
        if (dacInputShown_) {
          dacPage_->showDacInput(*dacInputShown_);
        }
        return dacPage_;
      },
      pages_);
  auto* compensation = new LazyPage(
      QStringLiteral("holderCOMPENSATION"),
      [this](QWidget* holder) { return new CompensationPage(session_, holder); }, pages_);
  auto* aboutPage = new QWidget(pages_);
  aboutPage->setObjectName(QStringLiteral("pageABOUT"));
  auto readPage = [this](const char* name, QWidget* (ReadPages::*page)() const) {
    return new LazyPage(
        QLatin1String(name), [this, page](QWidget*) { return (readPages()->*page)(); }, pages_);
  };
  auto* routines = new LazyPage(
      QStringLiteral("holderLITTLEROUTINES"),
      [this](QWidget* holder) { return new LittleRoutinesPage(*this, holder); }, pages_);

  pages_->addTab(systemPage_, QStringLiteral("WRITE SYSTEM CONTROL REG"));
  pages_->addTab(pmuPage_, QStringLiteral("WRITE PMU REG"));
  pages_->addTab(dacHolder_, QStringLiteral("WRITE DAC REG"));
  pages_->addTab(compensation, QStringLiteral("COMPENSATION SELECTION"));
  pages_->addTab(aboutPage, QStringLiteral("ABOUT"));
  pages_->addTab(readPage("holderREADSYS", &ReadPages::readSystemPage),
                 QStringLiteral("READ SYSTEM CONTROL REG"));
  pages_->addTab(readPage("holderREADPMU", &ReadPages::readPmuPage),
                 QStringLiteral("READ PMU REG"));
  pages_->addTab(readPage("holderREADDAC", &ReadPages::readDacPage),
                 QStringLiteral("READ DAC REG"));
  pages_->addTab(readPage("holderREADSTATUS", &ReadPages::readStatusPage),
                 QStringLiteral("READ STATUS REG"));
  pages_->addTab(routines, QStringLiteral("LITTLE ROUTINES"));
  layout->addWidget(pages_, 1);
  layout->addWidget(buildCommonControls());
  setCentralWidget(central);
  refreshMenus_ = installWindowMenus(this, WindowId::Register, session_.hub());
  installBoardStatus(this, session_);
  disableWhileTestHoldsBoard(this, session_);

  connect(&session_, &Session::serialWordShown, serialField_, &QLineEdit::setText);
  connect(pages_, &QTabWidget::currentChanged, this, &RegisterWindow::onPageChanged);
  resize(1240, 600);
}

RegisterWindow::~RegisterWindow() = default;

QWidget* RegisterWindow::buildCommonControls() {
  auto* strip = new QWidget(this);
  strip->setObjectName(QStringLiteral("commonControls"));
  auto* row = new QHBoxLayout(strip);
  row->setContentsMargins(0, 0, 0, 0);

  auto keepSpace = [](QWidget* w) {
    QSizePolicy policy = w->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    w->setSizePolicy(policy);
  };

  auto* reset = makeButton(strip, QStringLiteral("cmdRESET"), QStringLiteral("RESET KV4410"));
  reset->setMinimumHeight(48);
  connect(reset, &QPushButton::clicked, this, &RegisterWindow::onReset);
  row->addWidget(reset);

  // /LOAD SIGNAL
  loadFrame_ = makeGroup(strip, QStringLiteral("fraLOAD"), QStringLiteral("/LOAD SIGNAL"));
  keepSpace(loadFrame_);
  auto* loadLayout = new QGridLayout(loadFrame_);
  auto* pulse = makeButton(loadFrame_, QStringLiteral("cmdPULSELOAD"),
                           QStringLiteral("PULSE /LOAD TO UPDATE ALL CHS SYNC"));
  connect(pulse, &QPushButton::clicked, this, &RegisterWindow::onPulseLoad);
  loadBox_ = makeCheck(loadFrame_, QStringLiteral("chkLOAD"), QStringLiteral("/LOAD is low"));
  loadSelector_ = new Selector(
      loadBox_, false, [this](int on) { onLoadLine(on != 0); }, &session_);
  auto* loadText = makeLabel(
      loadFrame_, QStringLiteral("lblLOAD"),
      QStringLiteral("All channels update automatically when /LOAD is LOW. ALL UPDATES may be "
                     "gated by setting /LOAD high and later bringing low."));
  loadText->setWordWrap(true);
  loadText->setMinimumWidth(230);
  loadLayout->addWidget(pulse, 0, 0);
  loadLayout->addWidget(loadBox_, 1, 0);
  loadLayout->addWidget(loadText, 0, 1, 2, 1);
  row->addWidget(loadFrame_, 1);

  // WRITE and READ
  auto* writeFrame = makeGroup(strip, QStringLiteral("fraWRITE"), QStringLiteral("WRITE"));
  auto* writeLayout = new QVBoxLayout(writeFrame);
  serialField_ = new QLineEdit(writeFrame);
  serialField_->setObjectName(QStringLiteral("txtWRITESPI"));
  serialField_->setFixedWidth(110);
  serialField_->setAlignment(Qt::AlignCenter);
  serialField_->setToolTip(
      QStringLiteral("serial word in hexadecimal, 0 to 1FFFFFFF; Enter sends"));
  serialField_->installEventFilter(this);
  connect(serialField_, &QLineEdit::returnPressed, this, &RegisterWindow::onSerialWordEnter);
  writeLayout->addWidget(serialField_);
  row->addWidget(writeFrame);

  auto* readFrame = makeGroup(strip, QStringLiteral("fraREAD"), QStringLiteral("READ"));
  auto* readLayout = new QVBoxLayout(readFrame);
  readField_ = makeLabel(readFrame, QStringLiteral("lblREADSPI"), QString());
  readField_->setFixedWidth(110);
  readField_->setFixedHeight(serialField_->sizeHint().height());
  readField_->setAlignment(Qt::AlignCenter);
  readField_->setFrameShape(QFrame::StyledPanel);
  readField_->setFrameShadow(QFrame::Sunken);
  readField_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  readField_->setAutoFillBackground(true);
  readField_->setBackgroundRole(QPalette::Base);
  readLayout->addWidget(readField_);
  row->addWidget(readFrame);

  readAdc_ = makeButton(strip, QStringLiteral("cmdREADADC"), QStringLiteral("READ ADC"));
  readAdc_->setMinimumHeight(48);
  keepSpace(readAdc_);
  readAdc_->setVisible(false);  // made visible once the start-up has written the chip
  connect(readAdc_, &QPushButton::clicked, this, &RegisterWindow::onReadAdc);
  row->addWidget(readAdc_);

  // PMU CH SELECT
  channelFrame_ =
      makeGroup(strip, QStringLiteral("fraPMUCHSELECT"), QStringLiteral("PMU CH SELECT"));
  keepSpace(channelFrame_);
  auto* channelLayout = new QGridLayout(channelFrame_);
  for (int i = 0; i < 4; ++i) {
    auto* box = makeCheck(channelFrame_, QStringLiteral("chkPMU_%1").arg(i),
                          QStringLiteral("PMU %1").arg(i));
    keepSpace(box);
    channelLayout->addWidget(box, i / 2, i % 2);
    channels_[static_cast<std::size_t>(i)] = new Selector(
        box, true, [this, i](int on) { onChannel(i, on != 0); }, &session_);
  }
  row->addWidget(channelFrame_);

  auto* exit = makeButton(strip, QStringLiteral("cmdEXIT"), QStringLiteral("EXIT"));
  exit->setMinimumHeight(48);
  connect(exit, &QPushButton::clicked, this, [] { QCoreApplication::quit(); });
  row->addWidget(exit);
  return strip;
}

void RegisterWindow::startUp() {
  // No message box for a refused PMU word while the start-up runs.
  Session::QuietScope quiet(session_);

  // Both page controls on their first page (no page-change rules run).
  {
    const QSignalBlocker block(pages_);
    pages_->setCurrentIndex(kPageWriteSystem);
    if (dacPage_ != nullptr) {  // a DAC page built later starts on its first sub-page
      dacPage_->dacTabs()->setCurrentIndex(0);
    }
  }

  // The bench's start-up: the board connection and firmware, the system control register
  // twice, the first selections of every list (the PMU control window's words among them),
  // every channel's PMU register and the compensation switches.
  bench::Bench& bench = session_.bench();
  session_.report(bench.startUp(session_.firmware.path));
  session_.boardStarted();

  // What the start-up did, as this window shows it: the system control word as first written,
  // the lists' first selections, all four channels (fixed), the last PMU word written.
  const StoredWords& w = session_.words();
  systemPage_->showSystemWord(kStartUpSysWord);
  pmuPage_->showStartUpSelections();
  systemPage_->showStartUpSelections();
  for (Selector* box : channels_) {
    box->button()->setEnabled(false);
  }
  WindowHub& hub = session_.hub();
  if (hub.available(WindowId::PmuControl)) {
    if (auto* pmuControl = dynamic_cast<PmuControlApi*>(hub.window(WindowId::PmuControl))) {
      pmuControl->showLastPmuWrite(w.pmuWord);
    }
  }
  session_.showSerialWord(w.pmuWord);
  pmuPage_->showPmuWord(w.pmuWord);
  systemPage_->enableComparatorBoxes();
  readAdc_->setVisible(true);

  refreshMenus_();
  show();
  if (hub.available(WindowId::PmuControl)) {
    hub.show(WindowId::PmuControl);
  }
}

void RegisterWindow::showReadField(const QString& text) {
  readField_->setText(text);
}

void RegisterWindow::showDacPage(int dacSubPage) {
  show();
  raise();
  activateWindow();
  pages_->setCurrentIndex(kPageWriteDac);
  dacPage()->dacTabs()->setCurrentIndex(dacSubPage);
}

void RegisterWindow::onPageChanged(int page) {
  bench::Bench& bench = session_.bench();
  const StoredWords& w = session_.words();
  session_.showSerialWord(w.sysWord);
  auto channelBoxes = [this](bool visible) {
    for (Selector* box : channels_) {
      box->button()->setVisible(visible);
      if (visible) {
        box->button()->setEnabled(true);
      }
    }
  };
  switch (page) {
    case kPageWriteSystem:
      loadFrame_->setVisible(true);
      channelFrame_->setVisible(true);
      channelBoxes(false);  // the system control register has no channel bits
      bench.composeWords([](StoredWords& words) { words.sysWord |= kThermalEnableBit; });
      session_.showSerialWord(w.sysWord);
      break;
    case kPageWritePmu:
      loadFrame_->setVisible(true);
      channelFrame_->setVisible(true);
      channelBoxes(true);
      bench.composeWords([](StoredWords& words) { words.pmuWord |= words.chanBits; });
      session_.showSerialWord(w.pmuWord);
      break;
    case kPageWriteDac:
      loadFrame_->setVisible(true);
      channelFrame_->setVisible(true);
      channelBoxes(true);
      bench.composeWords([](StoredWords& words) { words.dacWord |= words.chanBits; });
      session_.showSerialWord(w.dacWord);
      break;
    case kPageReadPmu:
      loadFrame_->setVisible(false);
      channelFrame_->setVisible(false);
      readPages()->enterReadPmuPage();
      break;
    case kPageReadDac:
      loadFrame_->setVisible(false);
      channelFrame_->setVisible(false);
      readPages()->enterReadDacPage();
      break;
    case kPageLittleRoutines:
      loadFrame_->setVisible(false);
      channelFrame_->setVisible(true);
      channelBoxes(true);
      break;
    default:  // COMPENSATION SELECTION, ABOUT, READ SYSTEM CONTROL REG, READ STATUS REG
      loadFrame_->setVisible(false);
      channelFrame_->setVisible(false);
      break;
  }
}

void RegisterWindow::onChannel(int channel, bool ticked) {
  const auto bit = static_cast<std::int32_t>(channelBit(channel));
  session_.bench().composeWords([bit, ticked](StoredWords& w) {
    w.chanBits = ticked ? (w.chanBits | bit) : (w.chanBits & ~bit);
    w.refreshPmuChannels();
    w.dacRequestWord |= w.chanBits;
  });
  const StoredWords& w = session_.words();
  session_.showSerialWord(w.pmuWord);
  // The DAC page's input display follows the channels; a page not built yet shows them when
  // it is.
  dacInputShown_ = w.chanBits;
  if (dacPage_ != nullptr) {
    dacPage_->showDacInput(w.chanBits);
  }
}

DacPage* RegisterWindow::dacPage() const {
  dacHolder_->content();
  return dacPage_;
}

ReadPages* RegisterWindow::readPages() {
  if (readPages_ == nullptr) {
    readPages_ = new ReadPages(*this, this);
  }
  return readPages_;
}

void RegisterWindow::rejectSerialWord(const QString& text) {
  serialMessageOpen_ = true;
  rejectEntry(serialField_, session_.messages(), text);
  serialMessageOpen_ = false;
}

void RegisterWindow::onSerialWordEnter() {
  if (serialMessageOpen_) {
    return;
  }
  const std::optional<std::uint32_t> value = parseHexUnsigned(serialField_->text().toStdString());
  if (!value) {
    rejectSerialWord(kNotANumber);
    return;
  }
  if (*value > kWordMask) {
    rejectSerialWord(kSerialTooLarge);
    return;
  }
  // A raw word: sent as typed; no stored word and no bit display changes.
  session_.SPIout(static_cast<std::int32_t>(*value));
}

void RegisterWindow::onSerialWordFocusLost() {
  if (serialMessageOpen_) {
    return;
  }
  const QString text = serialField_->text();
  // An empty field is left alone: a user who was once told to reenter a number must be able
  // to leave the field.
  if (text.isEmpty()) {
    return;
  }
  if (!parseHexUnsigned(text.toStdString())) {
    rejectSerialWord(kNotANumber);
    return;
  }
  serialField_->setText(text.toUpper());
}

bool RegisterWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == serialField_ && event->type() == QEvent::FocusOut && !serialMessageOpen_) {
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    // Only a move of the focus inside this window counts; switching windows, menus and popups
    // (a message box among them) leave the field's text alone.
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
        reason != Qt::MenuBarFocusReason) {
      // Checked once the focus change has finished, so that a message box does not open in
      // the middle of it.
      QTimer::singleShot(0, this, &RegisterWindow::onSerialWordFocusLost);
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void RegisterWindow::closeEvent(QCloseEvent* event) {
  // Closing the main window ends the program, as EXIT does.
  event->accept();
  QCoreApplication::quit();
}

void RegisterWindow::onReset() {
  if (session_.report(session_.bench().resetChip())) {
    session_.showSerialWord(0);
  }
}

void RegisterWindow::onPulseLoad() {
  // The pulse leaves /LOAD high, driving it high when it was low.
  if (session_.report(session_.bench().pulseLoad())) {
    loadSelector_->show(1);
    loadBox_->setText(QStringLiteral("/LOAD is high"));
  }
}

void RegisterWindow::onLoadLine(bool high) {
  if (!session_.report(session_.bench().setLoadHigh(high))) {
    return;
  }
  loadBox_->setText(high ? QStringLiteral("/LOAD is high") : QStringLiteral("/LOAD is low"));
}

void RegisterWindow::onReadAdc() {
  if (const std::optional<std::uint16_t> reading = session_.bench().readAdc()) {
    showReadField(hexText(*reading, 6));
  }
}

}  // namespace kv4410::ui
