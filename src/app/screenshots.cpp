#include "screenshots.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QPixmap>
#include <QRegularExpression>
#include <QTabWidget>

#include "board/simulated_board.h"
#include "ui/common/measout_warning.h"
#include "ui/common/session.h"
#include "ui/common/window_hub.h"
#include "ui/test_procedure/test_procedure_window.h"

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

// Runs the channel test in the window to its end, then shoots the window.
void shootTestRun(Shooter& shooter, ui::TestProcedureWindow& window, const QString& name) {
  const bool wasVisible = window.isVisible();
  window.show();
  QEventLoop loop;
  QObject::connect(&window, &ui::TestProcedureWindow::testFinished, &loop, &QEventLoop::quit);
  window.cmdWRITEPMU_Click();
  loop.exec();
  shooter.shoot(&window, name);
  window.setVisible(wasVisible);
}

}  // namespace

QStringList writeScreenshots(ui::Session& session, const QString& directory, QString& error) {
  QDir dir(directory);
  if (!dir.mkpath(QStringLiteral("."))) {
    error = QStringLiteral("cannot create ") + directory;
    return {};
  }
  Shooter shooter(dir, error);
  ui::WindowHub& hub = session.hub();
  for (ui::WindowId id : {ui::WindowId::Register, ui::WindowId::PmuControl, ui::WindowId::Sweep,
                          ui::WindowId::TestProcedure, ui::WindowId::About}) {
    // Windows the start-up did not create (About, the test procedure) are created for this.
    if (ui::ManagedWindow* window = hub.window(id)) {
      shooter.shootWindow(window->widget());
    }
  }
  // The test window after a passing run and after one where PMU1's 9 kohm load draws too little
  // current.
  auto* test = dynamic_cast<ui::TestProcedureWindow*>(hub.window(ui::WindowId::TestProcedure));
  if (board::SimulatedBoard* simulated = session.simulated(); simulated && test) {
    const double load = simulated->chip().load(1);
    shootTestRun(shooter, *test, QStringLiteral("Form6_PASS"));
    simulated->chip().setLoad(1, 9000.0);
    shootTestRun(shooter, *test, QStringLiteral("Form6_FAILURE"));
    simulated->chip().setLoad(1, load);
  }
  // The MEASOUT gain warning box, as a user who chooses gain 1 sees it.
  const bool hadWarning = !session.measoutWarningBox.isNull();
  ui::showMeasoutWarning(session);
  if (QWidget* box = session.measoutWarningBox.data()) {
    const bool visible = hadWarning && box->isVisible();
    shooter.shootWindow(box);
    if (!visible) {
      box->hide();
    }
  }
  return shooter.written();
}

}  // namespace kv4410::app
