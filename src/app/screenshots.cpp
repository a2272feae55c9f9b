#include "screenshots.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <memory>

#include "board/simulated_board.h"
#include "ui/common/measout_warning.h"
#include "ui/common/session.h"
#include "ui/common/window_hub.h"
#include "ui/sweeps/run_history.h"
#include "ui/sweeps/sweep_window.h"
#include "ui/test_procedure/test_procedure_window.h"
#include "ui/traffic/traffic_window.h"

namespace kv4410::app {

namespace {

QString fileSafe(const QString& text) {
  QString safe = text;
  safe.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]+")), QStringLiteral("_"));
  return safe.remove(QRegularExpression(QStringLiteral("^_+|_+$")));
}

class Shooter {
 public:
  Shooter(const QDir& dir, QString& error) : dir_(dir), error_(error) {}

  void shoot(QWidget* window, const QString& name) {
    QApplication::processEvents();
    const QString path = dir_.filePath(name + QStringLiteral(".png"));
    if (!window->grab().save(path)) {
      error_ = QStringLiteral("cannot write ") + path;
      return;
    }
    written_ << path;
  }

  // Every page of `tabs`; a page holding page controls of its own is shot once per inner page.
  void shootPages(QWidget* window, QTabWidget* tabs, const QString& prefix) {
    const int previous = tabs->currentIndex();
    for (int i = 0; i < tabs->count(); ++i) {
      tabs->setCurrentIndex(i);
      const QString name = QStringLiteral("%1_%2_%3")
                               .arg(prefix)
                               .arg(i, 2, 10, QLatin1Char('0'))
                               .arg(fileSafe(tabs->tabText(i)));
      const QList<QTabWidget*> inner = directInnerTabs(tabs->widget(i));
      if (inner.isEmpty()) {
        shoot(window, name);
      }
      for (QTabWidget* nested : inner) {
        shootPages(window, nested, name);
      }
    }
    tabs->setCurrentIndex(previous);
  }

  void shootWindow(QWidget* window) {
    const bool wasVisible = window->isVisible();
    window->show();
    const QString name = fileSafe(window->objectName());
    const QList<QTabWidget*> tabs = directInnerTabs(window);
    if (tabs.isEmpty()) {
      shoot(window, name);
    }
    for (QTabWidget* t : tabs) {
      shootPages(window, t, name);
    }
    if (!wasVisible) {
      window->hide();
    }
  }

  const QStringList& written() const { return written_; }

 private:
  // Page controls inside `root` that are not inside another page control below `root`.
  static QList<QTabWidget*> directInnerTabs(QWidget* root) {
    QList<QTabWidget*> result;
    for (QTabWidget* t : root->findChildren<QTabWidget*>()) {
      bool nested = false;
      for (QWidget* p = t->parentWidget(); p != nullptr && p != root; p = p->parentWidget()) {
        if (qobject_cast<QTabWidget*>(p) != nullptr) {
          nested = true;
          break;
        }
      }
      if (!nested) {
        result << t;
      }
    }
    return result;
  }

  QDir dir_;
  QString& error_;
  QStringList written_;
};

// The sweep window after a run: PLOT is clicked, and when the run has ended its page is shot.
// The runs go on from the event loop, so the shots are taken one after the other from there.
void shootAfterRun(ui::SweepWindow* window, std::shared_ptr<Shooter> shooter, int page,
                   const char* plotButton, const QString& name, std::function<void()> next) {
  auto* tabs = window->findChild<QTabWidget*>(QStringLiteral("SSTab1"));
  auto* plot = window->findChild<QPushButton*>(QString::fromLatin1(plotButton));
  if (tabs == nullptr || plot == nullptr) {
    next();
    return;
  }
  tabs->setCurrentIndex(page);
  auto connection = std::make_shared<QMetaObject::Connection>();
  *connection = QObject::connect(window, &ui::SweepWindow::runEnded, window, [=] {
    QObject::disconnect(*connection);
    window->show();
    shooter->shoot(window, name);
    window->hide();
    next();
  });
  plot->click();
}

// The test window after a run: Start Test is clicked, and when the test has ended the window
// is shot. `next` goes on
// after the shot.
void shootTestRun(ui::TestProcedureWindow* window, std::shared_ptr<Shooter> shooter,
                  const QString& name, std::function<void()> next) {
  const bool wasVisible = window->isVisible();
  window->show();
  auto connection = std::make_shared<QMetaObject::Connection>();
  *connection = QObject::connect(window, &ui::TestProcedureWindow::testFinished, window, [=] {
    QObject::disconnect(*connection);
    shooter->shoot(window, name);
    window->setVisible(wasVisible);
    next();
  });
  window->cmdWRITEPMU_Click();
}

}  // namespace

void writeScreenshots(ui::Session& session, const QString& directory, ScreenshotsDone done) {
  QDir dir(directory);
  auto error = std::make_shared<QString>();
  if (!dir.mkpath(QStringLiteral("."))) {
    done({}, QStringLiteral("cannot create ") + directory);
    return;
  }
  auto shooter = std::make_shared<Shooter>(dir, *error);
  ui::WindowHub& hub = session.hub();
  for (ui::WindowId id : {ui::WindowId::Register, ui::WindowId::PmuControl, ui::WindowId::Sweep,
                          ui::WindowId::TestProcedure, ui::WindowId::About}) {
    // Windows the start-up did not create (About, the test procedure) are created for this.
    if (ui::ManagedWindow* window = hub.window(id)) {
      shooter->shootWindow(window->widget());
    }
  }
  // The MEASOUT gain warning box, as a user who chooses gain 1 sees it.
  const bool hadWarning = !session.measoutWarningBox.isNull();
  ui::showMeasoutWarning(session);
  if (QWidget* box = session.measoutWarningBox.data()) {
    const bool visible = hadWarning && box->isVisible();
    shooter->shootWindow(box);
    if (!visible) {
      box->hide();
    }
  }
  // The traffic view watches the runs below and is shot, once, with what it listed: after the
  // passing test run (its writes and readings), or at the end when there is none.
  ui::ManagedWindow* traffic = hub.window(ui::WindowId::Traffic);
  if (traffic != nullptr) {
    traffic->widget()->show();
  }
  const auto shootTraffic = [shooter, traffic, shot = std::make_shared<bool>(false)] {
    if (traffic != nullptr && !*shot) {
      *shot = true;
      if (auto* view = dynamic_cast<ui::TrafficWindow*>(traffic)) {
        view->flush();
      }
      shooter->shootWindow(traffic->widget());
      traffic->widget()->hide();
    }
  };
  const auto finish = [shooter, error, done, shootTraffic] {
    shootTraffic();
    done(shooter->written(), *error);
  };
  const auto sweeps = [&session, shooter, finish] {
    auto* sweep = dynamic_cast<ui::SweepWindow*>(session.hub().window(ui::WindowId::Sweep));
    if (sweep == nullptr) {
      finish();
      return;
    }
    // A sweep of the default load from -5 V to 5 V in measure-current mode, then a time run.
    for (const auto& [name, text] :
         {std::pair{"txtstartV", "-5"}, std::pair{"txtendV", "5"}, std::pair{"txtstep", "250"}}) {
      if (auto* field = sweep->findChild<QLineEdit*>(QString::fromLatin1(name))) {
        field->setText(QString::fromLatin1(text));
      }
    }
    // Then two more sweeps over other spans; the run history keeps all three, and the two
    // earlier sweeps are ticked and drawn over the last one's chart (the list is newest first).
    const auto plotSweep = [sweep](const char* start, const char* end, const char* step,
                                   std::function<void()> ended) {
      for (const auto& [name, text] :
           {std::pair{"txtstartV", start}, std::pair{"txtendV", end}, std::pair{"txtstep", step}}) {
        if (auto* field = sweep->findChild<QLineEdit*>(QString::fromLatin1(name))) {
          field->setText(QString::fromLatin1(text));
        }
      }
      auto* tabs = sweep->findChild<QTabWidget*>(QStringLiteral("SSTab1"));
      auto* plot = sweep->findChild<QPushButton*>(QStringLiteral("cmdPlot"));
      if (tabs == nullptr || plot == nullptr) {
        ended();
        return;
      }
      tabs->setCurrentIndex(0);
      auto connection = std::make_shared<QMetaObject::Connection>();
      *connection = QObject::connect(sweep, &ui::SweepWindow::runEnded, sweep, [=] {
        QObject::disconnect(*connection);
        ended();
      });
      plot->click();
    };
    const auto history = [sweep, shooter, finish, plotSweep] {
      plotSweep("-2", "5", "500", [=] {
        plotSweep("-4", "3", "250", [=] {
          ui::RunHistory* runs = sweep->runHistory();
          for (int row = 1; row < runs->count(); ++row) {  // row 0 is the last run
            runs->setTicked(row, runs->run(row).kind == ui::kSweepKind);
          }
          sweep->show();
          shooter->shoot(sweep, QStringLiteral("Form2_run_history"));
          sweep->hide();
          finish();
        });
      });
    };
    shootAfterRun(sweep, shooter, 0, "cmdPlot", QStringLiteral("Form2_after_sweep"), [=] {
      shootAfterRun(sweep, shooter, 1, "cmdPlotit", QStringLiteral("Form2_after_time_run"),
                    history);
    });
  };
  // The test window after a passing run and after one where PMU1's 9 kohm load draws too little
  // current.
  auto* test = dynamic_cast<ui::TestProcedureWindow*>(hub.window(ui::WindowId::TestProcedure));
  board::SimulatedBoard* simulated = session.simulated();
  if (simulated == nullptr || test == nullptr) {
    sweeps();
    return;
  }
  const double load = simulated->chip().load(1);
  shootTestRun(test, shooter, QStringLiteral("Form6_PASS"), [=] {
    shootTraffic();
    simulated->chip().setLoad(1, 9000.0);
    shootTestRun(test, shooter, QStringLiteral("Form6_FAILURE"), [=] {
      simulated->chip().setLoad(1, load);
      sweeps();
    });
  });
}

}  // namespace kv4410::app
