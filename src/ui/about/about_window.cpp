#include "ui/about/about_window.h"

#include <QApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QStyle>
#include <QVBoxLayout>

#include "kv4410_version.h"
#include "ui/common/message_sink.h"
#include "ui/common/session.h"
#include "ui/common/widgets.h"

namespace kv4410::ui {

namespace {

const QString kUnavailable = QStringLiteral("System Information Is Unavailable At This Time");

#ifdef Q_OS_WIN
// GetKeyValue: one string value of a key under HKEY_LOCAL_MACHINE; nullopt when the key or the
// value cannot be read. A trailing NUL of the stored string is dropped.
std::optional<QString> GetKeyValue(const QString& keyName, const QString& subKeyRef) {
  QSettings key(QStringLiteral("HKEY_LOCAL_MACHINE\\") + keyName, QSettings::NativeFormat);
  const QVariant value = key.value(subKeyRef);
  if (!value.isValid()) {
    return std::nullopt;
  }
  QString text = value.toString();
  if (text.endsWith(QChar(0))) {
    text.chop(1);
  }
  return text;
}
#endif

}  // namespace

QString versionText(int major, int minor, int revision) {
  return QStringLiteral("Version %1.%2.%3").arg(major).arg(minor).arg(revision);
}

std::optional<QString> systemInfoToolPath() {
#ifdef Q_OS_WIN
  if (auto path =
          GetKeyValue(QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"), "PATH")) {
    return path;
  }
  if (auto folder =
          GetKeyValue(QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location"), "MSINFO")) {
    const QString file = *folder + QStringLiteral("\\MSINFO32.EXE");
    if (QFileInfo::exists(file)) {
      return file;
    }
  }
#endif
  return std::nullopt;
}

AboutWindow::AboutWindow(Session& session, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      session_(session) {
  setObjectName(QStringLiteral("frmAbout"));
  setModal(false);

  auto* picture = makeLabel(this, QStringLiteral("picIcon"), QString());
  QIcon icon = QApplication::windowIcon();
  if (icon.isNull()) {
    icon = style()->standardIcon(QStyle::SP_ComputerIcon);
  }
  picture->setPixmap(icon.pixmap(48, 48));
  picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

  auto* title =
      makeLabel(this, QStringLiteral("lblTitle"), QStringLiteral("KV4410 Evaluation Software"));
  QFont big = title->font();
  big.setBold(true);
  big.setPointSizeF(big.pointSizeF() * 1.5);
  title->setFont(big);
  auto* version = makeLabel(this, QStringLiteral("lblVersion"), QString());
  auto* description = makeLabel(
      this, QStringLiteral("lblDescription"),
      QStringLiteral(
          "Software updates for this board are published on the board maker's web site."));
  description->setWordWrap(true);
  auto* disclaimer = makeLabel(this, QStringLiteral("lblDisclaimer"), QString());

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("cmdOK"));
  ok->setDefault(true);
  auto* sysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
  sysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
  connect(ok, &QPushButton::clicked, this, &QDialog::close);
  connect(sysInfo, &QPushButton::clicked, this, &AboutWindow::StartSysInfo);

  auto* texts = new QVBoxLayout();
  texts->addWidget(title);
  texts->addWidget(version);
  texts->addSpacing(8);
  texts->addWidget(description);
  texts->addWidget(disclaimer);
  texts->addStretch(1);
  auto* buttons = new QVBoxLayout();
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(sysInfo);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(picture);
  layout->addLayout(texts, 1);
  layout->addLayout(buttons);
  setMinimumWidth(460);
}

void AboutWindow::startUp() {
  setWindowTitle(QStringLiteral("About ") + kProgramTitle);
  findChild<QLabel*>(QStringLiteral("lblVersion"))
      ->setText(versionText(kVersionMajor, kVersionMinor, kVersionRevision));
  findChild<QLabel*>(QStringLiteral("lblTitle"))->setText(kProgramTitle);
}

void AboutWindow::StartSysInfo() {
  const std::optional<QString> path = systemInfoToolPath();
  if (!path || !QProcess::startDetached(*path, {})) {
    session_.messages().show(MessageIcon::None, kProgramTitle, kUnavailable);
  }
}

}  // namespace kv4410::ui
