#include "ui_test_support.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QRadioButton>
#include <QSettings>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <sstream>

#include "board/board_factory.h"
#include "ui/common/bit_display.h"

namespace kv4410::uitest {

// ---- messages ------------------------------------------------------------------------------

void RecordingMessageSink::show(ui::MessageIcon icon, const QString& title, const QString& text) {
  messages.push_back({icon, title, text});
  if (duringShow) {
    duringShow();
  }
}

bool RecordingMessageSink::onlyEntryError(const QString& text) const {
  const ui::MessageIcon icon =
      text == texts::kNoChannel ? ui::MessageIcon::Warning : ui::MessageIcon::Exclamation;
  if (text.isEmpty() ? count() == 0
                     : count() == 1 && last().text == text && last().title == texts::kEntryError &&
                           last().icon == icon) {
    return true;
  }
  qWarning("expected only the entry error \"%s\"; recorded:", qPrintable(text));
  for (const RecordedMessage& m : messages) {
    qWarning("  [%d] %s: %s", static_cast<int>(m.icon), qPrintable(m.title), qPrintable(m.text));
  }
  return false;
}

QString hex(std::uint32_t value, int digits) {
  return QString::number(value, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

QString textOf(QObject* root, const QString& name) {
  if (auto* list = find<QComboBox>(root, name)) {
    return list->currentIndex() >= 0 ? list->currentText() : list->placeholderText();
  }
  // Fields, labels and buttons have a "text" property.
  QWidget* control = find<QWidget>(root, name);
  return control != nullptr ? control->property("text").toString()
                            : QStringLiteral("<no %1>").arg(name);
}

QStringList textsOf(QObject* root, const QStringList& names) {
  QStringList texts;
  for (const QString& name : names) {
    texts << textOf(root, name);
  }
  return texts;
}

QString boxRow(QObject* root, const QString& name, int high) {
  QString row;
  for (int bit = high; bit >= 0; --bit) {
    auto* box = find<ui::BitBox>(root, QStringLiteral("%1_%2").arg(name).arg(bit));
    row += box != nullptr ? box->text() : QStringLiteral("?");
  }
  return row;
}

// ---- the board session and its trace ------------------------------------------------------

UiFixture::UiFixture(const std::string& simulateOptions) {
  // What the program remembers (recent setups, how many runs to keep) goes to a folder of the
  // test's own, never to the user's settings.
  static QTemporaryDir settingsDir;
  QCoreApplication::setOrganizationName(QStringLiteral("kv4410-test"));
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
  board::BoardOptions options;
  options.simulate = true;
  options.simulateOptions = simulateOptions;
  std::string error;
  board::OpenedBoard opened = board::openBoard(options, error, [this](std::string_view line) {
    if (onTrace) {
      onTrace(std::string(line));
    }
    trace_.emplace_back(line);
  });
  if (!opened.access) {
    qFatal("cannot open the simulated board: %s", error.c_str());
  }
  session_ = std::make_unique<ui::Session>(std::move(opened), messages_);
}

QWidget* UiFixture::startWindow(ui::WindowId id) {
  ui::ManagedWindow* w = session_->hub().window(id);
  return w != nullptr ? w->widget() : nullptr;
}

std::vector<std::string> UiFixture::transcript(std::size_t since) const {
  std::vector<std::string> out;
  for (std::size_t i = since; i < trace_.size(); ++i) {
    // "request 221 value=B300 index=0F21 out len=0 status=0"; other lines keep their first word.
    std::istringstream line(trace_[i]);
    std::string first, value, index, direction;
    int request = 0;
    if (!(line >> first >> request >> value >> index >> direction) || first != "request") {
      out.push_back(first);
      continue;
    }
    value.erase(0, 6);  // "value="
    index.erase(0, 6);  // "index="
    if (request == 221) {
      out.push_back(direction == "in" ? "R" : "W " + index.append(value));
    } else if (const unsigned long v = std::stoul(value, nullptr, 16); v != 0) {
      out.push_back(std::to_string(request) + "=" + std::to_string(v));
    } else {
      out.push_back(std::to_string(request));
    }
  }
  return out;
}

std::vector<std::int32_t> UiFixture::sentWords(std::size_t since) const {
  std::vector<std::int32_t> words;
  for (const std::string& entry : transcript(since)) {
    if (entry.rfind("W ", 0) == 0) {
      words.push_back(static_cast<std::int32_t>(std::stoul(entry.substr(2), nullptr, 16)));
    }
  }
  return words;
}

std::int32_t UiFixture::lastWord() const {
  const std::vector<std::int32_t> words = sentWords();
  return words.empty() ? -1 : words.back();
}

// ---- actions -------------------------------------------------------------------------------

namespace {

bool usable(QWidget* w, const char* what) {
  const char* problem = w == nullptr      ? "missing"
                        : !w->isVisible() ? "not visible"
                        : !w->isEnabled() ? "disabled"
                                          : nullptr;
  if (problem != nullptr) {
    qWarning("%s %s is %s", what, w != nullptr ? qPrintable(w->objectName()) : "", problem);
  }
  return problem == nullptr;
}

}  // namespace

bool chooseItem(QComboBox* list, int index) {
  if (!usable(list, "list") || index < 0 || index >= list->count()) {
    qWarning("cannot choose item %d", index);
    return false;
  }
  list->showPopup();
  QAbstractItemView* view = list->view();
  const QModelIndex item = list->model()->index(index, list->modelColumn(), list->rootModelIndex());
  view->scrollTo(item);
  const QRect rect = view->visualRect(item);
  if (!view->isVisible() || rect.isEmpty()) {  // the drop-down did not open
    list->hidePopup();
    return false;
  }
  // Hover first (the drop-down follows the mouse), then click the item.
  QTest::mouseMove(view->viewport(), rect.center());
  QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
  QApplication::processEvents();
  if (view->isVisible()) {
    list->hidePopup();
  }
  return list->currentIndex() == index;
}

bool chooseItem(QObject* root, const QString& listName, int index) {
  return chooseItem(find<QComboBox>(root, listName), index);
}

bool chooseItemText(QObject* root, const QString& listName, const QString& itemText) {
  auto* list = find<QComboBox>(root, listName);
  return list != nullptr && chooseItem(list, list->findText(itemText, Qt::MatchExactly));
}

bool clickButton(QAbstractButton* button) {
  if (!usable(button, "button")) {
    return false;
  }
  QPoint where = button->rect().center();
  // Check boxes and option buttons react only to clicks on their indicator and text.
  const bool radio = qobject_cast<QRadioButton*>(button) != nullptr;
  if (radio || qobject_cast<QCheckBox*>(button) != nullptr) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const QRect indicator = button->style()->subElementRect(
        radio ? QStyle::SE_RadioButtonIndicator : QStyle::SE_CheckBoxIndicator, &option, button);
    where = indicator.center();
  }
  QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, where);
  return true;
}

bool clickButton(QObject* root, const QString& name) {
  return clickButton(find<QAbstractButton>(root, name));
}

bool typeText(QLineEdit* field, const QString& text) {
  if (!usable(field, "field") || field->isReadOnly()) {
    return false;
  }
  QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
  if (text.isEmpty()) {
    QTest::keyClick(field, Qt::Key_Delete);
  }
  QTest::keyClicks(field, text);
  return true;
}

bool typeAndEnter(QLineEdit* field, const QString& text) {
  if (!typeText(field, text)) {
    return false;
  }
  QTest::keyClick(field, Qt::Key_Return);
  return true;
}

bool typeAndEnter(QObject* root, const QString& name, const QString& text) {
  return typeAndEnter(find<QLineEdit>(root, name), text);
}

bool selectTab(QObject* root, const QString& tabWidgetName, int index) {
  auto* tabs = find<QTabWidget>(root, tabWidgetName);
  if (!usable(tabs, "page control") || index < 0 || index >= tabs->count()) {
    return false;
  }
  QTabBar* bar = tabs->tabBar();
  QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(index).center());
  return tabs->currentIndex() == index;
}

void pressKeys(QWidget* widget, const std::vector<Qt::Key>& keys) {
  for (Qt::Key key : keys) {
    QTest::keyClick(widget, key);
  }
}

bool showAndWait(QWidget* window) {
  if (window == nullptr) {
    return false;
  }
  window->show();
  return QTest::qWaitForWindowExposed(window);
}

}  // namespace kv4410::uitest
