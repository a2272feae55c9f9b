#include "ui/common/widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QSaveFile>
#include <QStatusBar>
#include <QTimer>

#include "device/text_format.h"
#include "ui/common/session.h"

namespace kv4410::ui {

QString qtext(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QStringList qtextList(const std::vector<std::string_view>& texts) {
  QStringList list;
  for (std::string_view text : texts) {
    list << qtext(text);
  }
  return list;
}

QString hexText(std::int32_t value, int digits) {
  return QString::fromStdString(NumberToHex(value, digits));
}

std::optional<QString> saveWhole(const QString& path, const QByteArray& contents) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    return file.errorString();
  }
  if (file.write(contents) != contents.size()) {
    const QString reason = file.errorString();
    file.cancelWriting();
    return reason;
  }
  if (!file.commit()) {
    return file.errorString();
  }
  return std::nullopt;
}

QComboBox* makeList(QWidget* parent, const QString& name, const QStringList& items) {
  auto* list = new QComboBox(parent);
  list->setObjectName(name);
  list->addItems(items);
  // Sized by its items when first shown (the default). The lists' items never change once
  // built, and sizing them again on every change would build each list's popup at once, at
  // start-up, for every list of every window.
  return list;
}

QCheckBox* makeCheck(QWidget* parent, const QString& name, const QString& caption) {
  auto* box = new QCheckBox(caption, parent);
  box->setObjectName(name);
  return box;
}

QGroupBox* makeGroup(QWidget* parent, const QString& name, const QString& caption) {
  auto* group = new QGroupBox(caption, parent);
  group->setObjectName(name);
  return group;
}

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& caption) {
  auto* label = new QLabel(caption, parent);
  label->setObjectName(name);
  return label;
}

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setAutoDefault(false);
  return button;
}

QLineEdit* makeEntry(QWidget* parent, const QString& name, const QString& text) {
  auto* field = new QLineEdit(text, parent);
  field->setObjectName(name);
  return field;
}

QLineEdit* makeDisplay(QWidget* parent, const QString& name) {
  auto* field = new QLineEdit(parent);
  field->setObjectName(name);
  field->setReadOnly(true);
  return field;
}

}  // namespace kv4410::ui

namespace kv4410::ui {

void installBoardStatus(QMainWindow* window, Session& session) {
  auto* label = new QLabel(session.boardStatusText(), window);
  label->setObjectName(QStringLiteral("lblBoardStatus"));
  window->statusBar()->addPermanentWidget(label, 1);
  QObject::connect(&session, &Session::boardStatusChanged, label,
                   [label, &session] { label->setText(session.boardStatusText()); });
  // A note takes the label's place for five seconds, then the board status comes back.
  auto* restore = new QTimer(label);
  restore->setSingleShot(true);
  restore->setInterval(5000);
  QObject::connect(restore, &QTimer::timeout, label,
                   [label, &session] { label->setText(session.boardStatusText()); });
  QObject::connect(&session, &Session::statusNote, label, [label, restore](const QString& text) {
    label->setText(text);
    restore->start();
  });
}

void disableWhileTestHoldsBoard(QMainWindow* window, Session& session) {
  const auto follow = [window, &session] {
    if (QWidget* central = window->centralWidget()) {
      central->setEnabled(!session.boardExclusive());
    }
  };
  QObject::connect(&session, &Session::boardHolderChanged, window, follow);
  follow();
}

}  // namespace kv4410::ui
