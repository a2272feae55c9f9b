#include "ui/sweeps/sweep_window.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "device/text_format.h"
#include "measure/sweep_engine.h"
#include "ui/common/entry_checks.h"
#include "ui/common/message_sink.h"
#include "ui/common/run_driver.h"
#include "ui/common/selector.h"
#include "ui/common/session.h"
#include "ui/common/setting_lists.h"
#include "ui/common/setup_actions.h"
#include "ui/common/widgets.h"
#include "ui/common/window_menus.h"
#include "ui/sweeps/run_history.h"
#include "ui/sweeps/run_tab.h"
#include "ui/sweeps/strip_chart.h"

namespace kv4410::ui {

namespace {

QLineEdit* entry(QWidget* parent, const char* name, const char* text) {
  auto* field = makeEntry(parent, QString::fromLatin1(name), QString::fromLatin1(text));
  field->setFixedWidth(80);
  field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return field;
}

}  // namespace

SweepWindow::SweepWindow(Session& session, QWidget* parent)
    : QMainWindow(parent), session_(session) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral("Voltage/Current/Time Sweeps"));

  auto* central = new QWidget(this);
  central->setObjectName(QStringLiteral("centralSweep"));
  setCentralWidget(central);

  SSTab1_ = new QTabWidget(central);
  SSTab1_->setObjectName(QStringLiteral("SSTab1"));
  sweepTab_ = buildSweepTab();
  timeTab_ = buildTimeTab();
  SSTab1_->addTab(sweepTab_, QStringLiteral("SWEEP V, MI/MV"));
  SSTab1_->addTab(timeTab_, QStringLiteral("MEASURE VOLTAGE/CURRENT VERSUS TIME"));

  auto* layout = new QHBoxLayout(central);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->addWidget(SSTab1_, 1);
  runHistory_ = new RunHistory(central);
  runHistory_->setMessageSink(&session_.messages());
  layout->addWidget(runHistory_);
  layout->addWidget(buildSideControls());

  installWindowMenus(this, WindowId::Sweep, session_.hub());
  installBoardStatus(this, session_);
  disableWhileTestHoldsBoard(this, session_);
  driver_ = std::make_unique<RunDriver>(session_.clock(), this);
  connect(driver_.get(), &RunDriver::stepped, this, [this] { showProgress(); });
  connect(driver_.get(), &RunDriver::finished, this, [this] { showRunEnd(); });
  connect(cmdSTOP_, &QPushButton::clicked, this, [this] {
    if (active_ != nullptr) {
      session_.bench().stopRun();
    }
  });
  connect(runHistory_, &RunHistory::overlaysChanged, this, [this] {
    sweepTab_->chart()->setOverlays(runHistory_->overlays(kSweepKind));
    timeTab_->chart()->setOverlays(runHistory_->overlays(kTimeRunKind));
  });
  connect(runHistory_, &RunHistory::runPicked, this, [this](int row) {
    SSTab1_->setCurrentWidget(runHistory_->run(row).kind == kSweepKind ? sweepTab_ : timeTab_);
  });
  // "Restore Setup" opens the run's setup as a setup file would be, after showing its words.
  connect(runHistory_, &RunHistory::restoreSetupRequested, this, [this](const QString& json) {
    session_.setupActions().openSetupText(json.toStdString(), true, this);
  });
  // The entry fields belong to a setup: saved with it, and set when one is opened.
  session_.setupActions().setSweepFieldsAccess(
      {[this] { return sweepFields(); }, [this](const SweepFields& f) { showSweepFields(f); }});
  resize(1500, 760);
}

SweepWindow::~SweepWindow() {
  session_.setupActions().setSweepFieldsAccess({});
  // A run that was under way when the window went (the program ends) stops at its next row.
  if (active_ != nullptr) {
    session_.bench().stopRun();
  }
  for (const auto& unsubscribe : unsubscribe_) {
    unsubscribe();
  }
}

const measure::SweepRun* SweepWindow::lastSweep() const {
  return session_.bench().sweepRun();
}

const measure::TimeRun* SweepWindow::lastTimeRun() const {
  return session_.bench().timeRun();
}

QWidget* SweepWindow::buildSideControls() {
  auto* side = new QWidget(this);
  side->setObjectName(QStringLiteral("sideControls"));
  side->setMaximumWidth(260);
  auto* layout = new QVBoxLayout(side);
  layout->setContentsMargins(0, 0, 0, 0);
  Session* s = &session_;

  auto* measureFrame =
      makeGroup(side, QStringLiteral("fraMeasureVI"), QStringLiteral("MEASURE VOLTAGE/CURRENT"));
  selMeasureVI_ =
      makeSettingList(measureFrame, session_, bench::View::SweepWindow, bench::Setting::Measure,
                      QStringLiteral("Measure Voltage"), {{}, [this] { showMeasure(); }});
  (new QVBoxLayout(measureFrame))->addWidget(selMeasureVI_->list());
  layout->addWidget(measureFrame);

  auto* rangeFrame =
      makeGroup(side, QStringLiteral("fraCurrentRange"), QStringLiteral("CURRENT RANGE"));
  selSweepI_ =
      makeSettingList(rangeFrame, session_, bench::View::SweepWindow, bench::Setting::CurrentRange,
                      QStringLiteral("5uA"), {{}, [this] { showSweepWord(); }});
  (new QVBoxLayout(rangeFrame))->addWidget(selSweepI_->list());
  layout->addWidget(rangeFrame);

  auto* channelFrame =
      makeGroup(side, QStringLiteral("fraPMUCHSEL"), QStringLiteral("PMU CH SELECT"));
  auto* channelLayout = new QGridLayout(channelFrame);
  for (int i = 0; i < 4; ++i) {
    PMUCHSEL_[i] = makeCheck(channelFrame, QStringLiteral("PMUCHSEL_%1").arg(i),
                             QStringLiteral("PMU %1").arg(i));
    channelBoxes_[static_cast<std::size_t>(i)] = new Selector(
        PMUCHSEL_[i], true, [this, i](int on) { onChannel(i, on != 0); }, s);
    channelLayout->addWidget(PMUCHSEL_[i], i / 2, i % 2);
  }
  layout->addWidget(channelFrame);

  auto* vrefFrame = makeGroup(side, QStringLiteral("fraVREF"), QStringLiteral("VREF"));
  auto* vrefLayout = new QHBoxLayout(vrefFrame);
  auto* options = new QButtonGroup(vrefFrame);
  for (int i : {1, 0}) {
    optRef_[i] =
        new QRadioButton(i == 0 ? QStringLiteral("5V") : QStringLiteral("2.5V"), vrefFrame);
    optRef_[i]->setObjectName(QStringLiteral("optRef_%1").arg(i));
    options->addButton(optRef_[i], i);
    new Selector(
        optRef_[i], i == 0, [this, i](int on) { onReference(i, on != 0); }, s);
    vrefLayout->addWidget(optRef_[i]);
  }
  layout->addWidget(vrefFrame);

  auto* cycleFrame =
      makeGroup(side, QStringLiteral("fraDela"), QStringLiteral("Force/Measure Cycle Delay"));
  QComboBox* dela =
      makeList(cycleFrame, QStringLiteral("cboDela"),
               {QStringLiteral("No Delay"), QStringLiteral("100ms"), QStringLiteral("200ms"),
                QStringLiteral("300ms"), QStringLiteral("400ms"), QStringLiteral("500ms")});
  selDela_ = new Selector(
      dela, QStringLiteral("No Delay"), [this](int) { onDelay(false); }, s);
  (new QVBoxLayout(cycleFrame))->addWidget(dela);
  layout->addWidget(cycleFrame);

  auto* sampleFrame = makeGroup(side, QStringLiteral("fraMDelay"), QStringLiteral("SAMPLE DELAY"));
  QStringList sampleItems{QStringLiteral("No Delay")};
  for (int k = 1; k <= 9; ++k) {
    sampleItems << QStringLiteral("%1 X").arg(k);
  }
  QComboBox* mdelay = makeList(sampleFrame, QStringLiteral("cboMDelay"), sampleItems);
  selMDelay_ = new Selector(
      mdelay, QStringLiteral("No Delay"), [this](int) { onDelay(true); }, s);
  (new QVBoxLayout(sampleFrame))->addWidget(mdelay);
  layout->addWidget(sampleFrame);

  Check1_ = makeCheck(side, QStringLiteral("Check1"), QStringLiteral("No Handles"));
  new Selector(
      Check1_, true, [this](int on) { onHandles(on != 0); }, s);
  layout->addWidget(Check1_);

  auto* fields = new QGridLayout();
  lblREADSPI_ = runDisplay(side, QStringLiteral("lblREADSPI"), 110);
  Text1_ = runDisplay(side, QStringLiteral("Text1"), 110);
  fields->addWidget(makeLabel(side, QStringLiteral("lblREAD"), QStringLiteral("READ")), 0, 0);
  fields->addWidget(lblREADSPI_, 0, 1);
  fields->addWidget(makeLabel(side, QStringLiteral("lblWRITE"), QStringLiteral("WRITE")), 1, 0);
  fields->addWidget(Text1_, 1, 1);
  layout->addLayout(fields);

  prgRun_ = new QProgressBar(side);
  prgRun_->setObjectName(QStringLiteral("prgRun"));
  prgRun_->setRange(0, 1);
  prgRun_->setValue(0);
  prgRun_->setFormat(QStringLiteral("%v of %m steps"));
  layout->addWidget(prgRun_);
  cmdSTOP_ = makeButton(side, QStringLiteral("cmdSTOP"), QStringLiteral("STOP"));
  cmdSTOP_->setEnabled(false);
  cmdSTOP_->setMinimumHeight(34);
  layout->addWidget(cmdSTOP_);
  layout->addStretch(1);
  auto* exit = makeButton(side, QStringLiteral("cmdEXIT"), QStringLiteral("EXIT"));
  exit->setMinimumHeight(34);
  connect(exit, &QPushButton::clicked, this, [] { QCoreApplication::quit(); });
  layout->addWidget(exit);
  return side;
}

RunTab* SweepWindow::buildSweepTab() {
  const RunTabNames names{QStringLiteral("tabSweepV"),     QStringLiteral("Strip1"),
                          QStringLiteral("cmdPlot"),       QStringLiteral("fraForceSweep"),
                          QStringLiteral("List1"),         QStringLiteral("lblStatus1"),
                          QStringLiteral("cmdCOPYTOCLIP"), QStringLiteral("cmdSaveCsv1"),
                          QStringLiteral("fraXY1"),        QStringLiteral("PLOTXY Coordinates"),
                          QStringLiteral("Text5"),         QStringLiteral("Text4"),
                          QStringLiteral("fraMinMax1"),    QStringLiteral("txtmin"),
                          QStringLiteral("txtMax")};
  auto* tab = new RunTab(
      names, 1.0, true,
      [this](QGroupBox* force) {
        txtstartV_ = entry(force, "txtstartV", "0");
        txtendV_ = entry(force, "txtendV", "1");
        txtstep_ = entry(force, "txtstep", "100");
        txtstart_ = runDisplay(force, QStringLiteral("txtstart"), 70);
        txtend_ = runDisplay(force, QStringLiteral("txtend"), 70);
        txtstepcode_ = runDisplay(force, QStringLiteral("txtstepcode"), 70);
        auto* forceLayout = new QGridLayout(force);
        const std::array<std::pair<const char*, QLineEdit*>, 3> rows = {
            {{"Start Voltage (V)", txtstartV_},
             {"End Voltage (V)", txtendV_},
             {"Voltage Step (mV)", txtstep_}}};
        const std::array<QLineEdit*, 3> codes = {txtstart_, txtend_, txtstepcode_};
        for (int r = 0; r < 3; ++r) {
          forceLayout->addWidget(makeLabel(force, QString(), QString::fromLatin1(rows[r].first)), r,
                                 0);
          forceLayout->addWidget(rows[r].second, r, 1);
          forceLayout->addWidget(codes[r], r, 2);
        }
      },
      this);
  connect(txtstartV_, &QLineEdit::returnPressed, this,
          [this] { onEntered(txtstartV_, measure::EntryField::Start); });
  connect(txtendV_, &QLineEdit::returnPressed, this,
          [this] { onEntered(txtendV_, measure::EntryField::End); });
  connect(txtstep_, &QLineEdit::returnPressed, this,
          [this] { onEntered(txtstep_, measure::EntryField::Step); });
  connectTab(tab, true);
  return tab;
}

RunTab* SweepWindow::buildTimeTab() {
  const RunTabNames names{QStringLiteral("tabTime"),    QStringLiteral("Strip2"),
                          QStringLiteral("cmdPlotit"),  QStringLiteral("fraForceTime"),
                          QStringLiteral("List2"),      QStringLiteral("lblStatus2"),
                          QStringLiteral("cmdcopy"),    QStringLiteral("cmdSaveCsv2"),
                          QStringLiteral("fraXY2"),     QStringLiteral("PLO XY Coordinates"),
                          QStringLiteral("txtX"),       QStringLiteral("txtY"),
                          QStringLiteral("fraMinMax2"), QStringLiteral("txtmin1"),
                          QStringLiteral("txtmax1")};
  auto* tab = new RunTab(
      names, 0.0, false,
      [this](QGroupBox* force) {
        txtForceV_ = entry(force, "txtForceV", "1");
        txtForceC_ = runDisplay(force, QStringLiteral("txtForceC"), 70);
        auto* forceLayout = new QHBoxLayout(force);
        forceLayout->addWidget(txtForceV_);
        forceLayout->addWidget(makeLabel(force, QString(), QStringLiteral("V")));
        forceLayout->addWidget(txtForceC_);
      },
      this);
  connectTab(tab, false);
  return tab;
}

// What both tabs' buttons and charts do; `sweep` tells which run they belong to.
void SweepWindow::connectTab(RunTab* tab, bool sweep) {
  connect(tab->plotButton(), &QPushButton::clicked, this,
          [this, sweep] { sweep ? plotSweep() : plotTimeRun(); });
  connect(tab->copyButton(), &QPushButton::clicked, this, [this, tab] { copyList(tab->list()); });
  connect(tab->saveButton(), &QPushButton::clicked, this, [this, sweep] { saveList(sweep); });
  connect(tab->chart(), &StripChart::pointPicked, this,
          [this, sweep](double x) { onPicked(sweep, x); });
  connect(tab->chart(), &StripChart::pointClicked, this,
          [this, sweep](double x, double y) { onChartClicked(sweep, x, y); });
}

// ---- start-up and handlers ------------------------------------------------------------------

void SweepWindow::startUp() {
  // The charts start without point handles; the lists and boxes show the bench's settings,
  // and follow them from now on.
  sweepTab_->chart()->setHandles(false);
  timeTab_->chart()->setHandles(false);
  const bench::Bench& bench = session_.bench();
  showSetting(selSweepI_, session_, bench::View::SweepWindow, bench::Setting::CurrentRange);
  showMeasure();
  showSweepWord();
  showChannels();
  showDelays();
  const auto channels = bench.sweepChannels().subscribe([this](std::uint8_t) { showChannels(); });
  const auto cycle = bench.cycleDelay().subscribe([this](int) { showDelays(); });
  const auto sample = bench.sampleDelay().subscribe([this](int) { showDelays(); });
  unsubscribe_.push_back([&bench, channels, cycle, sample] {
    bench.sweepChannels().unsubscribe(channels);
    bench.cycleDelay().unsubscribe(cycle);
    bench.sampleDelay().unsubscribe(sample);
  });
}

void SweepWindow::showSweepWord() {
  Text1_->setText(hexText(session_.bench().sweepState().sweepPmuWord, 8));
}

void SweepWindow::showMeasure() {
  // The die temperature and Hi-Z choices of the other windows are no sweep measure: the list
  // shows what the sweep measures, which they leave as it was.
  const bool voltage = session_.bench().sweepState().measureMode == measure::MeasureMode::Voltage;
  selMeasureVI_->show(session_.bench()
                          .indexIn(bench::View::SweepWindow, bench::Setting::Measure)
                          .value_or(voltage ? 0 : 1));
  showSweepWord();
}

void SweepWindow::showChannels() {
  const std::uint8_t channels = session_.bench().sweepChannels().value();
  for (int i = 0; i < 4; ++i) {
    channelBoxes_[static_cast<std::size_t>(i)]->show((channels >> i) & 1U);
  }
}

void SweepWindow::showDelays() {
  const bench::Bench& bench = session_.bench();
  selDela_->show(bench.cycleDelay().value());
  selMDelay_->show(bench.sampleDelay().value());
}

void SweepWindow::onChannel(int index, bool ticked) {
  const auto bit = static_cast<std::uint8_t>(1U << index);
  const std::uint8_t now = session_.bench().sweepChannels().value();
  // Only this window's selection: the register window's chanBits stay as they are.
  session_.report(session_.bench().setSweepChannels(
      static_cast<std::uint8_t>(ticked ? (now | bit) : (now & ~bit))));
  Text1_->setText(hexText(session_.words().pmuWord, 8));
}

void SweepWindow::onReference(int index, bool selected) {
  if (selected) {
    session_.bench().setVref(index == 0 ? 5.0F : 2.5F);
  }
}

void SweepWindow::onHandles(bool ticked) {
  sweepTab_->chart()->setHandles(!ticked);
}

void SweepWindow::onDelay(bool sampleChosen) {
  if (sampleChosen) {
    session_.report(session_.bench().setSampleDelay(selMDelay_->index()));
  } else {
    session_.report(session_.bench().setCycleDelay(selDela_->index()));
  }
}

void SweepWindow::onEntered(QLineEdit* field, measure::EntryField which) {
  const std::optional<double> value = parseDecimal(field->text().toStdString());
  if (!value) {
    rejectEntry(field, session_.messages(), kNotANumber);
    return;
  }
  // The same limits as PLOT applies, for this one field.
  measure::SweepRequest one;
  if (which == measure::EntryField::Start) {
    one.startVolts = *value;
  } else if (which == measure::EntryField::End) {
    one.endVolts = *value;
  } else {
    one.stepMillivolts = *value;
  }
  if (const auto refusal = measure::checkSweepFields(one)) {
    rejectEntry(field, session_.messages(), qtext(refusal->message));
  }
}

void SweepWindow::copyList(const QListWidget* list) {
  std::vector<std::string> lines;
  lines.reserve(static_cast<std::size_t>(list->count()));
  for (int i = 0; i < list->count(); ++i) {
    lines.push_back(list->item(i)->text().toStdString());
  }
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->clear();
  clipboard->setText(QString::fromStdString(ListTextBlock(lines)));
}

void SweepWindow::setRunning(bool running) {
  sweepTab_->plotButton()->setEnabled(!running);
  timeTab_->plotButton()->setEnabled(!running);
  cmdSTOP_->setEnabled(running);
}

void SweepWindow::closeEvent(QCloseEvent* event) {
  // A run stops at its next row when its window closes; the window itself is only hidden.
  if (active_ != nullptr) {
    session_.bench().stopRun();
  }
  QMainWindow::closeEvent(event);
}

}  // namespace kv4410::ui
