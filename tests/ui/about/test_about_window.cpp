// The About window: its texts, the system information button on a platform without the tool,
// and the "About" entries of the other windows, which open it without blocking.
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "ui/windows.h"
#include "ui_test_support.h"

using namespace kv4410;
using namespace kv4410::uitest;
using ui::WindowId;

class TestAboutWindow : public QObject {
  Q_OBJECT

 private slots:
  void showsTitleAndVersionAndOpensFromEveryMenu() {
    UiFixture f;
    ui::registerWindows(f.session());
    QWidget* main = f.startWindow(WindowId::Register);
    QVERIFY(main != nullptr && !f.session().hub().exists(WindowId::About));
    auto* entry = main->findChild<QAction*>(QStringLiteral("mnuAbout"));
    QVERIFY(entry != nullptr && entry->isEnabled());
    entry->trigger();
    QWidget* about = f.session().hub().window(WindowId::About)->widget();
    QVERIFY(about->isVisible() && !about->isModal());
    QCOMPARE(about->windowTitle(), QStringLiteral("About KV4410"));
    QCOMPARE(textsOf(about, {"lblTitle", "lblVersion", "lblDisclaimer", "cmdSysInfo"}),
             (QStringList{"KV4410", "Version 1.6.1", "", "&System Info..."}));

    // No system information tool here: one plain message, nothing sent to the board.
    const std::size_t mark = f.mark();
    QVERIFY(clickButton(about, "cmdSysInfo"));
    QCOMPARE(f.messages().count(), 1);
    QCOMPARE((QStringList{f.messages().last().title, f.messages().last().text}),
             (QStringList{"KV4410", "System Information Is Unavailable At This Time"}));
    QVERIFY(f.messages().last().icon == ui::MessageIcon::None);
    QVERIFY(f.transcript(mark).empty());

    QVERIFY(clickButton(about, "cmdOK"));
    QVERIFY(!about->isVisible());
    // The PMU control window's entry shows the same window again.
    QWidget* pmu = f.session().hub().window(WindowId::PmuControl)->widget();
    auto* pmuEntry = pmu->findChild<QAction*>(QStringLiteral("mnuAbout"));
    QVERIFY(pmuEntry != nullptr && pmuEntry->isEnabled());
    pmuEntry->trigger();
    QVERIFY(about->isVisible());
  }
};

QTEST_MAIN(TestAboutWindow)
#include "test_about_window.moc"
