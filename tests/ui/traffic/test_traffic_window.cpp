// The board traffic view: requests listed while it is shown, decoded serial words, pause, clear,
// copy, nothing watched once it is closed; and the board status in the status bars.
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QtTest>

#include "ui/traffic/traffic_window.h"
#include "ui/windows.h"
#include "ui_test_support.h"

using namespace kv4410;
using namespace kv4410::uitest;

class TestTrafficWindow : public QObject {
  Q_OBJECT
 private slots:
  void listsRequestsWhileShown();
  void statusBarsNameTheBoard();
};

void TestTrafficWindow::listsRequestsWhileShown() {
  UiFixture f;
  ui::registerWindows(f.session());
  f.startWindow(ui::WindowId::Register);
  auto* view = dynamic_cast<ui::TrafficWindow*>(f.session().hub().window(ui::WindowId::Traffic));
  QVERIFY(view != nullptr);
  view->show();
  f.session().SPIout(0x0F21B300);
  view->flush();
  ui::TrafficModel& m = view->model();
  QCOMPARE(m.rowCount(), 1);
  QCOMPARE(m.text(0, ui::TrafficModel::Request), QStringLiteral("221"));
  QCOMPARE(m.text(0, ui::TrafficModel::Value), QStringLiteral("B300"));
  QCOMPARE(m.text(0, ui::TrafficModel::Index), QStringLiteral("0F21"));
  QCOMPARE(m.text(0, ui::TrafficModel::Direction), QStringLiteral("out"));
  QCOMPARE(m.text(0, ui::TrafficModel::Word), QStringLiteral("0F21B300"));
  QVERIFY(m.text(0, ui::TrafficModel::Register).contains(QStringLiteral("PMU")));
  QVERIFY(f.session().bench().readAdc().has_value());
  view->flush();
  QCOMPARE(m.rowCount(), 3);
  QCOMPARE(m.text(2, ui::TrafficModel::Request), QStringLiteral("233"));
  QCOMPARE(m.text(2, ui::TrafficModel::Data).split(QLatin1Char(' ')).size(), 3);
  QVERIFY(clickButton(view, "cmdCopy"));
  QCOMPARE(QApplication::clipboard()->text().count(QStringLiteral("\r\n")), 4);
  QVERIFY(clickButton(view, "cmdPause"));
  f.session().SPIout(0x003FE4A0);
  view->flush();
  QCOMPARE(m.rowCount(), 3);  // paused
  QVERIFY(clickButton(view, "cmdClear"));
  QCOMPARE(m.rowCount(), 0);
  view->hide();
  f.session().SPIout(0x003FE4A0);
  view->flush();
  QCOMPARE(m.rowCount(), 0);  // closed: nothing watched
}

void TestTrafficWindow::statusBarsNameTheBoard() {
  for (const char* options : {"", "noboard"}) {
    UiFixture f(options);
    ui::registerWindows(f.session());
    QWidget* reg = f.startWindow(ui::WindowId::Register);
    const QString text = find<QLabel>(reg, "lblBoardStatus")->text();
    if (std::string(options).empty()) {
      QVERIFY(text.contains(QStringLiteral("(simulated board)")));
      QWidget* pmu = f.session().hub().window(ui::WindowId::PmuControl)->widget();
      QVERIFY(find<QLabel>(pmu, "lblBoardStatus")
                  ->text()
                  .contains(QStringLiteral("(simulated board)")));
    } else {
      QVERIFY2(text.contains(QStringLiteral("--simulate")), qPrintable(text));
    }
  }
}

QTEST_MAIN(TestTrafficWindow)
#include "test_traffic_window.moc"
