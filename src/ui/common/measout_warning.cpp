#include "ui/common/measout_warning.h"

#include <QApplication>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "device/register_map.h"
#include "ui/common/session.h"
#include "ui/common/widgets.h"

namespace kv4410::ui {

namespace {

// Entries of the MEASOUT gain list: "MEASOUT GAIN =0.2" and "MEASOUT GAIN = 1".
constexpr int kMeasoutGainPointTwo = 0;
constexpr int kMeasoutGainOne = 1;

QDialog* buildBox(Session& session) {
  auto* box = new QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  box->setObjectName(QStringLiteral("frmMeasoutWarning"));
  box->setWindowTitle(QStringLiteral("ABOUT"));
  box->setModal(false);

  auto* picture = makeLabel(box, QStringLiteral("picIcon"), QString());
  QIcon icon = QApplication::windowIcon();
  if (icon.isNull()) {
    icon = box->style()->standardIcon(QStyle::SP_MessageBoxWarning);
  }
  picture->setPixmap(icon.pixmap(48, 48));
  picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

  auto* title =
      makeLabel(box, QStringLiteral("lblTitle"),
                QStringLiteral("YOU HAVE SELECTED TO CHANGE THE MEASOUT GAIN FROM 0.2 TO 1,"));
  QFont bold = title->font();
  bold.setBold(true);
  title->setFont(bold);
  auto* links = makeLabel(
      box, QStringLiteral("lblVersion_0"),
      QStringLiteral(" PLEASE NOW ENSURE THAT LINKS LK10,11,12,13 ARE REMOVED FROM THE BOARD."));
  auto* reason = makeLabel(box, QStringLiteral("lblVersion_1"),
                           QStringLiteral("THIS IS TO PROTECT THE ADC WHICH IS A 5V DEVICE."));
  auto* web = makeLabel(
      box, QStringLiteral("lblDescription"),
      QStringLiteral(
          "Software updates for this board are published on the board maker's web site."));
  web->setWordWrap(true);

  auto* ok = new QPushButton(QStringLiteral("OK"), box);
  ok->setObjectName(QStringLiteral("cmdOK"));
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), box);
  cancel->setObjectName(QStringLiteral("cmdSysInfo"));

  auto* texts = new QVBoxLayout();
  texts->addWidget(title);
  texts->addWidget(links);
  texts->addWidget(reason);
  texts->addSpacing(8);
  texts->addWidget(web);

  auto* buttons = new QVBoxLayout();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  buttons->addStretch(1);

  auto* layout = new QHBoxLayout(box);
  layout->addWidget(picture);
  layout->addLayout(texts, 1);
  layout->addLayout(buttons);

  // Neither button sends: the word reaches the chip with the next system control write.
  QObject::connect(ok, &QPushButton::clicked, box, [&session, box] {
    session.bench().composeWords([](StoredWords& w) {
      w.sysWord = static_cast<std::int32_t>(
          composeMeasoutGainList(static_cast<std::uint32_t>(w.sysWord), kMeasoutGainOne));
    });
    session.showSerialWord(session.words().sysWord);
    box->close();
  });
  QObject::connect(cancel, &QPushButton::clicked, box, [&session, box] {
    session.bench().composeWords([](StoredWords& w) {
      w.sysWord = static_cast<std::int32_t>(
          composeMeasoutGainList(static_cast<std::uint32_t>(w.sysWord), kMeasoutGainPointTwo));
    });
    session.showSerialWord(session.words().sysWord);
    box->close();
  });
  return box;
}

}  // namespace

void showMeasoutWarning(Session& session) {
  if (session.measoutWarningBox.isNull()) {
    session.measoutWarningBox = buildBox(session);
  }
  QWidget* box = session.measoutWarningBox.data();
  box->show();
  box->raise();
  box->activateWindow();
}

}  // namespace kv4410::ui
