#include "ui/test_procedure/test_procedure_window.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <string>
#include <vector>

#include "device/text_format.h"
#include "ui/common/panel_look.h"
#include "ui/common/run_driver.h"
#include "ui/common/session.h"
#include "ui/common/widgets.h"
#include "ui/common/window_menus.h"

namespace kv4410::ui {

namespace {

// The verdict colours, 0x00C000 and 0x0000C0 in blue-green-red order: green and red.
const QColor kPassColour(0x00, 0xC0, 0x00);
const QColor kFailureColour(0xC0, 0x00, 0x00);

// How a list line is shown: PASS lines green, the failure banner and failed transfers red,
// channel headers bold. The text itself is the test's line, unchanged.
void styleLine(QListWidgetItem* item, const std::string& line) {
  static const QColor passText(0x00, 0x80, 0x00);
  static const QColor failureText(0xB0, 0x00, 0x00);
  QFont font = item->font();
  if (line.rfind("----------PASS", 0) == 0) {
    item->setForeground(passText);
  } else if (line.find("FAILURE") != std::string::npos ||
             line.find("board transfer failed") != std::string::npos) {
    item->setForeground(failureText);
    font.setBold(true);
  } else if (line.rfind("-----", 0) == 0) {
    item->setForeground(QColor(0x1d, 0x3f, 0x66));
    font.setBold(true);
  }
  item->setFont(font);
}

}  // namespace

TestProcedureWindow::TestProcedureWindow(Session& session, QWidget* parent)
    : QMainWindow(parent), session_(session) {
  setObjectName(QStringLiteral("Form6"));
  setWindowTitle(QStringLiteral("KV4410 Test Procedure"));

  driver_ = new RunDriver(session_.clock(), this);
  connect(driver_, &RunDriver::stepped, this, &TestProcedureWindow::showProgress);
  connect(driver_, &RunDriver::finished, this, &TestProcedureWindow::showVerdict);

  lstTest_ = new QListWidget(this);
  lstTest_->setObjectName(QStringLiteral("lstTest"));
  setPanelRole(lstTest_, PanelRole::Plain);
  lstTest_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  lstTest_->setSelectionMode(QAbstractItemView::SingleSelection);
  lstTest_->setMinimumSize(900, 520);
  // Lists take no typing: the keyboard only moves the selection.
  lstTest_->setEditTriggers(QAbstractItemView::NoEditTriggers);

  auto* central = new QWidget(this);
  central->setObjectName(QStringLiteral("centralTest"));
  setCentralWidget(central);
  auto* body = new QHBoxLayout();
  body->addWidget(buildControls());
  body->addWidget(lstTest_, 1);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(10, 8, 10, 10);
  layout->addWidget(buildHeader());
  layout->addLayout(body, 1);

  installWindowMenus(this, WindowId::TestProcedure, session_.hub());
  installBoardStatus(this, session_);
  givePanelLook(this);
}

TestProcedureWindow::~TestProcedureWindow() = default;

const measure::ChannelTest& TestProcedureWindow::test() const {
  return session_.bench().channelTest();
}

QWidget* TestProcedureWindow::buildHeader() {
  auto* header = new QFrame(this);
  header->setObjectName(QStringLiteral("fraHeader"));
  setPanelRole(header, PanelRole::Band);
  auto* title =
      makeLabel(header, QStringLiteral("Label1"), QStringLiteral("KV4410 Quad PMU test Procedure"));
  auto* subtitle = makeLabel(
      header, QStringLiteral("lblSubtitle"),
      QStringLiteral("PMU0 to PMU3 in turn, force voltage in the \u00B12mA range: MV at FIN full "
                     "and mid scale, MI at FIN full and zero scale"));
  setBandTitleLook(title);
  setTextLook(subtitle, QColor(0xcf, 0xe0, 0xf2));
  auto* layout = new QVBoxLayout(header);
  layout->setContentsMargins(12, 8, 12, 8);
  layout->addWidget(title);
  layout->addWidget(subtitle);
  return header;
}

QWidget* TestProcedureWindow::buildControls() {
  auto* panel = new QWidget(this);
  panel->setFixedWidth(400);

  auto* testGroup = makeGroup(panel, QStringLiteral("fraTest"), QStringLiteral("TEST"));
  cmdWRITEPMU_ = makeButton(testGroup, QStringLiteral("cmdWRITEPMU"), QStringLiteral("Start Test"));
  setTextLook(cmdWRITEPMU_, cmdWRITEPMU_->palette().color(QPalette::ButtonText), 13, true);
  cmdWRITEPMU_->setMinimumHeight(46);
  connect(cmdWRITEPMU_, &QPushButton::clicked, this, &TestProcedureWindow::cmdWRITEPMU_Click);
  cmdResult_ = makeButton(testGroup, QStringLiteral("cmdResult"), QString());
  cmdResult_->setFocusPolicy(Qt::NoFocus);
  cmdResult_->setMinimumHeight(90);
  // The indicator keeps its place while it is hidden, so nothing moves when it appears.
  QSizePolicy keep = cmdResult_->sizePolicy();
  keep.setRetainSizeWhenHidden(true);
  cmdResult_->setSizePolicy(keep);
  cmdResult_->hide();
  lblStatus_ = makeLabel(testGroup, QStringLiteral("lblStatus"),
                         QStringLiteral("Press Start Test to test the four channels."));
  lblStatus_->setWordWrap(true);
  auto* testLayout = new QVBoxLayout(testGroup);
  testLayout->addWidget(cmdWRITEPMU_);
  testLayout->addSpacing(6);
  testLayout->addWidget(cmdResult_);
  testLayout->addWidget(lblStatus_);

  auto* resultsGroup = makeGroup(panel, QStringLiteral("fraResults"), QStringLiteral("RESULTS"));
  auto* copy = makeButton(resultsGroup, QStringLiteral("cmdcopy2clip"),
                          QStringLiteral("Copy Test Results to Clipboard. Then Paste into Excel."));
  connect(copy, &QPushButton::clicked, this, &TestProcedureWindow::cmdcopy2clip_Click);
  auto* resultsLayout = new QVBoxLayout(resultsGroup);
  resultsLayout->addWidget(copy);

  cmdRESET_ = makeButton(panel, QStringLiteral("cmdRESET"), QStringLiteral("RESET KV4410"));
  setWarningLook(cmdRESET_);
  connect(cmdRESET_, &QPushButton::clicked, this, &TestProcedureWindow::cmdRESET_Click);
  auto* exit = makeButton(panel, QStringLiteral("cmdEXIT"), QStringLiteral("EXIT"));
  connect(exit, &QPushButton::clicked, this, [] { QCoreApplication::quit(); });

  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(0, 0, 6, 0);
  layout->addWidget(testGroup);
  layout->addWidget(resultsGroup);
  layout->addStretch(1);
  layout->addWidget(cmdRESET_);
  layout->addWidget(exit);
  return panel;
}

void TestProcedureWindow::startUp() {
  session_.report(session_.bench().loadChannelTest());
}

bool TestProcedureWindow::testRunning() const {
  return driver_->running();
}

void TestProcedureWindow::cmdWRITEPMU_Click() {
  if (driver_->running() || !session_.boardFreeFor(Session::RunKind::ChannelTest)) {
    return;
  }
  lstTest_->clear();
  listed_ = 0;
  cmdResult_->hide();
  // A chip reset in the middle would spoil the readings that follow it.
  cmdWRITEPMU_->setEnabled(false);
  cmdRESET_->setEnabled(false);
  if (!session_.report(session_.bench().startChannelTest())) {
    cmdWRITEPMU_->setEnabled(true);
    cmdRESET_->setEnabled(true);
    return;
  }
  lblStatus_->setText(QStringLiteral("Testing PMU0..."));
  driver_->start([this] { return session_.bench().advanceRun(); });
}

void TestProcedureWindow::showProgress() {
  const std::vector<std::string>& lines = test().lines();
  for (; listed_ < lines.size(); ++listed_) {
    auto* item = new QListWidgetItem(QString::fromStdString(lines[listed_]), lstTest_);
    styleLine(item, lines[listed_]);
  }
  lstTest_->scrollToBottom();
  const auto done = static_cast<int>(test().readings().size());
  if (test().running()) {
    lblStatus_->setText(
        QStringLiteral("Testing PMU%1: check %2 of 4...").arg(done / 4).arg(done % 4 + 1));
  }
}

void TestProcedureWindow::showVerdict() {
  showProgress();
  const bool pass = test().verdict() == measure::ChannelTestVerdict::Pass;
  const QColor colour = pass ? kPassColour : kFailureColour;
  cmdResult_->setText(pass ? QStringLiteral("PASS") : QStringLiteral("FAILURE"));
  // The style sheet paints the colour under every widget style; the palette carries the same
  // colour for whoever asks the button for it.
  cmdResult_->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; color: white; "
                                           "font-size: 24pt; font-weight: bold; "
                                           "border: 2px solid #303030; border-radius: 6px; }")
                                .arg(colour.name()));
  QPalette palette = cmdResult_->palette();
  palette.setColor(QPalette::Button, colour);
  cmdResult_->setPalette(palette);
  cmdResult_->show();
  const int failures = test().failureCount();
  lblStatus_->setText(pass ? QStringLiteral("All 16 checks passed.")
                           : QStringLiteral("%1 of 16 checks failed.").arg(failures));
  cmdWRITEPMU_->setEnabled(true);
  cmdRESET_->setEnabled(true);
  emit testFinished();
}

void TestProcedureWindow::cmdcopy2clip_Click() {
  std::vector<std::string> lines;
  lines.reserve(static_cast<std::size_t>(lstTest_->count()));
  for (int i = 0; i < lstTest_->count(); ++i) {
    lines.push_back(lstTest_->item(i)->text().toStdString());
  }
  QClipboard* clipboard = QApplication::clipboard();
  clipboard->clear();
  clipboard->setText(QString::fromStdString(ListTextBlock(lines)));
}

// Only the chip reset request: the serial-word field keeps the last word that was sent.
void TestProcedureWindow::cmdRESET_Click() {
  session_.report(session_.bench().resetChip());
}

}  // namespace kv4410::ui
