// The program style draws what the style beneath it draws, without reading an image file on
// the way: no image-format plugin is loaded to build and draw a window with a menu bar and
// group boxes, and the group frames have Fusion's pixels exactly.
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QStyle>
#include <QStyleFactory>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>
#include <memory>

#include "ui/common/program_style.h"

namespace {

bool imagePluginLoaded() {
  QFile maps(QStringLiteral("/proc/self/maps"));
  if (!maps.open(QIODevice::ReadOnly)) {
    return false;
  }
  return maps.readAll().contains("/imageformats/");
}

// A window with the group kinds that Fusion frames differently: titled, untitled, checkable.
std::unique_ptr<QWidget> groups() {
  auto window = std::make_unique<QWidget>();
  auto* layout = new QVBoxLayout(window.get());
  auto* titled = new QGroupBox(QStringLiteral("RANGE"));
  titled->setLayout(new QVBoxLayout);
  titled->layout()->addWidget(new QLabel(QStringLiteral("200 uA")));
  auto* untitled = new QGroupBox;
  untitled->setLayout(new QVBoxLayout);
  untitled->layout()->addWidget(new QLabel(QStringLiteral("FV")));
  auto* checkable = new QGroupBox(QStringLiteral("LOAD"));
  checkable->setCheckable(true);
  checkable->setFixedHeight(60);
  layout->addWidget(titled);
  layout->addWidget(untitled);
  layout->addWidget(checkable);
  window->resize(180, 220);
  return window;
}

QImage drawnWith(QWidget* window, QStyle* style) {
  window->setStyle(style);
  for (QWidget* child : window->findChildren<QWidget*>()) {
    child->setStyle(style);
  }
  return window->grab().toImage();
}

}  // namespace

class TestProgramStyle : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QApplication::setStyle(QStringLiteral("fusion"));
    kv4410::ui::installProgramStyle();
  }

  // Runs first: Fusion's own group frame reads its image file.
  void aWindowWithMenusAndGroupsReadsNoImage() {
    QVERIFY(!imagePluginLoaded());
    QMainWindow window;
    window.menuBar()->addMenu(QStringLiteral("File"));
    window.setCentralWidget(groups().release());
    window.grab();
    QVERIFY(!imagePluginLoaded());
    // The menu bar's extension arrow is still there when it is drawn.
    auto* extension = window.menuBar()->findChild<QToolButton*>();
    QVERIFY(extension != nullptr);
    QVERIFY(!extension->icon().pixmap(QSize(16, 16)).isNull());
    QVERIFY(imagePluginLoaded());
  }

  void groupFramesHaveFusionsPixels() {
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("fusion")));
    const std::unique_ptr<QWidget> window = groups();
    const QImage program = drawnWith(window.get(), QApplication::style());
    const QImage plain = drawnWith(window.get(), fusion.get());
    QCOMPARE(program.size(), plain.size());
    int differing = 0;
    for (int y = 0; y < plain.height(); ++y) {
      for (int x = 0; x < plain.width(); ++x) {
        differing += program.pixel(x, y) != plain.pixel(x, y) ? 1 : 0;
      }
    }
    QCOMPARE(differing, 0);
  }
};

QTEST_MAIN(TestProgramStyle)
#include "test_program_style.moc"
