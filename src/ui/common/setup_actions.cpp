#include "ui/common/setup_actions.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>
#include <sstream>
#include <string_view>

#include "device/word_description.h"
#include "kv4410_version.h"
#include "measure/run_csv.h"
#include "ui/common/message_sink.h"
#include "ui/common/widgets.h"

namespace kv4410::ui {

namespace {

const QString kFolderKey = QStringLiteral("setups/folder");
const QString kDefaultName = QStringLiteral("kv4410-setup.json");
const QString kFileFilters =
    QStringLiteral("Setup files (*.json);;Run CSV files (*.csv);;All files (*)");

// The program's own settings store; a test redirects it with its own organisation name and
// QSettings::setPath.
QSettings store() {
  const QString organisation = QCoreApplication::organizationName();
  return QSettings(organisation.isEmpty() ? QStringLiteral("kv4410") : organisation,
                   QStringLiteral("kv4410"));
}

// A reason as a sentence: "... is running." stays, "settings.x: 9 is not one of 0..4" gets
// its full stop.
QString sentence(const QString& reason) {
  return reason.endsWith(QLatin1Char('.')) ? reason : reason + QLatin1Char('.');
}

// What a serial word does, from its description: the first line without the word itself, then
// the DAC address and code lines; the field-by-field lines of a register write are left out.
std::string wordSummary(std::int32_t word) {
  std::istringstream lines(describeWord(static_cast<std::uint32_t>(word)));
  std::string line;
  std::getline(lines, line);
  const std::size_t colon = line.find(": ");
  std::string summary = colon == std::string::npos ? line : line.substr(colon + 2);
  while (std::getline(lines, line)) {
    const std::size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos || line.compare(first, 3, "bit") == 0 || line[first] == '(') {
      continue;
    }
    summary += "; " + line.substr(first);
  }
  return summary;
}

}  // namespace

QString planLine(const bench::BoardStep& step) {
  std::string what;
  switch (step.kind) {
    case bench::BoardStep::Kind::ResetChip:
      what = "chip reset";
      break;
    case bench::BoardStep::Kind::CFeedforward:
      what = "feed-forward capacitor switch";
      break;
    case bench::BoardStep::Kind::CComp:
      what = "compensation capacitor switch";
      break;
    case bench::BoardStep::Kind::Word:
      what = wordSummary(step.value);
      break;
  }
  return QString::fromStdString(bench::stepText(step) + "  " + what);
}

bool confirmSetupPlan(const QString& path, const QStringList& plan, QWidget* parent) {
  QDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("dlgOpenSetup"));
  dialog.setWindowTitle(kOpenSetupTitle);
  auto* layout = new QVBoxLayout(&dialog);
  auto* intro = new QLabel(
      QStringLiteral("Opening %1 sends these steps to the board, then the settings take the "
                     "file's values:")
          .arg(QDir::toNativeSeparators(path)),
      &dialog);
  intro->setObjectName(QStringLiteral("lblSetupPlan"));
  intro->setWordWrap(true);
  auto* list = new QListWidget(&dialog);
  list->setObjectName(QStringLiteral("lstSetupPlan"));
  list->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  list->addItems(plan);
  list->setMinimumWidth(560);
  auto* buttons = new QDialogButtonBox(&dialog);
  buttons->setObjectName(QStringLiteral("btnSetupPlan"));
  QPushButton* open = buttons->addButton(QStringLiteral("Open"), QDialogButtonBox::AcceptRole);
  open->setObjectName(QStringLiteral("cmdOpenSetup"));
  open->setDefault(true);
  QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
  cancel->setObjectName(QStringLiteral("cmdCancelSetup"));
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(intro);
  layout->addWidget(list);
  layout->addWidget(buttons);
  return dialog.exec() == QDialog::Accepted;
}

SetupActions::SetupActions(bench::Bench& bench, MessageSink& messages, SweepFieldsAccess fields,
                           QObject* parent)
    : QObject(parent), bench_(bench), messages_(messages), fields_(std::move(fields)) {
  setObjectName(QStringLiteral("setupActions"));
}

void SetupActions::setSweepFieldsAccess(SweepFieldsAccess fields) {
  fields_ = std::move(fields);
  if (keptFromSetup_ && fields_.apply) {
    fields_.apply(kept_);
  }
}

bench::Setup SetupActions::currentSetup() const {
  std::string board = "usb";
  if (bench_.simulated() != nullptr) {
    board = "simulated";
  } else if (location_) {
    board += " " + *location_;
  }
  const SweepFields fields = fields_.read ? fields_.read() : kept_;
  return bench::Setup{kProgramVersion, measure::localDateTime(), board, bench_.snapshot(),
                      fields.sweep,    fields.forceVolts};
}

std::string SetupActions::setupJsonLine() const {
  return bench::setupJson(currentSetup(), bench::JsonLayout::OneLine);
}

QString SetupActions::setupLine() const {
  return QString::fromStdString(std::string(bench::kSetupLinePrefix) + setupJsonLine());
}

void SetupActions::saveSetup(QWidget* parent) {
  const QString path = QFileDialog::getSaveFileName(
      parent, kSaveSetupTitle, QDir(lastFolder()).filePath(kDefaultName), kFileFilters);
  if (!path.isEmpty()) {
    saveSetupFile(path);
  }
}

bool SetupActions::saveSetupFile(const QString& path) {
  const std::string text = bench::setupJson(currentSetup());
  if (const std::optional<QString> reason = saveWhole(path, QByteArray::fromStdString(text))) {
    refuse(kSaveSetupTitle,
           QStringLiteral("The setup was not saved to %1: %2\nThe old file is kept.")
               .arg(QDir::toNativeSeparators(path), sentence(*reason)));
    return false;
  }
  remember(path);
  emit setupSaved(path);
  return true;
}

void SetupActions::openSetup(QWidget* parent) {
  const QString path =
      QFileDialog::getOpenFileName(parent, kOpenSetupTitle, lastFolder(), kFileFilters);
  if (!path.isEmpty()) {
    openSetupFile(path, true, parent);
  }
}

std::optional<QString> SetupActions::openSetupFile(const QString& path, bool ask, QWidget* parent) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    const QString reason = QStringLiteral("cannot read it: %1").arg(file.errorString());
    refuse(kOpenSetupTitle, QStringLiteral("%1 was not opened: %2\nNothing was sent to the board.")
                                .arg(QDir::toNativeSeparators(path), sentence(reason)));
    return reason;
  }
  const QByteArray bytes = file.readAll();
  return openSetupText(std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())), ask,
                       parent, path);
}

std::optional<QString> SetupActions::openSetupText(const std::string& text, bool ask,
                                                   QWidget* parent, const QString& path) {
  const QString what =
      path.isEmpty() ? QStringLiteral("The run's setup") : QDir::toNativeSeparators(path);
  const auto refused = [this, &what](const QString& reason) {
    refuse(kOpenSetupTitle, QStringLiteral("%1 was not opened: %2\nNothing was sent to the board.")
                                .arg(what, sentence(reason)));
    return std::optional<QString>(reason);
  };
  const bench::SetupResult read = bench::readSetup(text);
  if (!read.setup) {
    return refused(QString::fromStdString(read.refusal));
  }
  if (!bench_.started() || !bench_.boardConnected()) {
    return refused(QStringLiteral("no board is connected"));
  }
  // A run that holds the board refuses before the user is asked for nothing.
  if (const bench::Refusal holder = bench_.busy()) {
    return refused(QString::fromStdString(*holder));
  }
  if (ask) {
    QStringList plan;
    for (const bench::BoardStep& step : bench_.setupPlan(*read.setup)) {
      plan << planLine(step);
    }
    if (!(confirm ? confirm : confirmSetupPlan)(what, plan, parent)) {
      return std::nullopt;
    }
  }
  if (const bench::Refusal refusal = bench_.applySetup(*read.setup)) {
    return refused(QString::fromStdString(*refusal));
  }
  kept_ = SweepFields{read.setup->sweepFields, read.setup->forceVolts};
  keptFromSetup_ = true;
  if (fields_.apply) {
    fields_.apply(kept_);
  }
  if (!path.isEmpty()) {
    remember(path);
  }
  emit setupOpened(path);
  return std::nullopt;
}

QStringList SetupActions::recentSetups() const {
  return store().value(kRecentSetupsKey).toStringList();
}

void SetupActions::openRecent(const QString& path, QWidget* parent) {
  if (!QFileInfo::exists(path)) {
    forget(path);
    refuse(kOpenSetupTitle,
           QStringLiteral("%1 no longer exists. It was taken off the recent setups.")
               .arg(QDir::toNativeSeparators(path)));
    return;
  }
  openSetupFile(path, true, parent);
}

void SetupActions::remember(const QString& path) {
  const QFileInfo info(path);
  const QString full = info.absoluteFilePath();
  QStringList recent = recentSetups();
  recent.removeAll(full);
  recent.prepend(full);
  while (recent.size() > kRecentSetupCount) {
    recent.removeLast();
  }
  QSettings settings = store();
  settings.setValue(kRecentSetupsKey, recent);
  settings.setValue(kFolderKey, info.absolutePath());
  emit recentSetupsChanged();
}

void SetupActions::forget(const QString& path) {
  QStringList recent = recentSetups();
  recent.removeAll(path);
  store().setValue(kRecentSetupsKey, recent);
  emit recentSetupsChanged();
}

QString SetupActions::lastFolder() const {
  const QString folder = store().value(kFolderKey).toString();
  return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QDir::homePath();
}

void SetupActions::refuse(const QString& title, const QString& text) {
  messages_.show(MessageIcon::Exclamation, title, text);
}

}  // namespace kv4410::ui
