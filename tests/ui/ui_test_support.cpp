#include "ui_test_support.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTest>
#include <sstream>

#include "board/board_factory.h"

namespace kv4410::uitest {

// ---- messages ------------------------------------------------------------------------------

void RecordingMessageSink::show(ui::MessageIcon icon, const QString& title, const QString& text) {
  messages.push_back({icon, title, text});
  if (duringShow) {
    duringShow(messages.back());
  }
}

int RecordingMessageSink::count(const QString& text) const {
  int n = 0;
  for (const RecordedMessage& m : messages) {
    n += m.text == text ? 1 : 0;
  }
  return n;
}

RecordedMessage RecordingMessageSink::last() const {
  return messages.empty() ? RecordedMessage{} : messages.back();
}

bool RecordingMessageSink::onlyEntryError(const QString& text) const {
  const ui::MessageIcon icon =
      text == texts::kNoChannel ? ui::MessageIcon::Warning : ui::MessageIcon::Exclamation;
  if (count() == 1 && last().text == text && last().title == texts::kEntryError &&
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
  if (auto* field = find<QLineEdit>(root, name)) {
    return field->text();
  }
  if (auto* label = find<QLabel>(root, name)) {
    return label->text();
  }
  if (auto* button = find<QAbstractButton>(root, name)) {
    return button->text();
  }
  if (auto* list = find<QComboBox>(root, name)) {
    return list->currentIndex() >= 0 ? list->currentText() : list->placeholderText();
  }
  return QStringLiteral("<no %1>").arg(name);
}

QString boxRow(QObject* root, const QString& name, int high) {
  QString row;
  for (int bit = high; bit >= 0; --bit) {
    auto* box = find<QLineEdit>(root, QStringLiteral("%1_%2").arg(name).arg(bit));
    row += box != nullptr ? box->text() : QStringLiteral("?");
  }
  return row;
}

// ---- trace ---------------------------------------------------------------------------------

TraceRequest parseTraceLine(const std::string& line) {
  TraceRequest r;
  r.line = line;
  std::istringstream in(line);
  std::string word;
  if (!(in >> word) || word != "request" || !(in >> r.request)) {
    r.request = -1;
    return r;
  }
  // key=value words; "data=34 12 AB" carries its first byte joined, the others as words.
  while (in >> word) {
    const std::size_t eq = word.find('=');
    const std::string key = word.substr(0, eq);
    const std::string value = eq == std::string::npos ? std::string() : word.substr(eq + 1);
    if (key == "value" || key == "index") {
      (key == "value" ? r.value : r.index) =
          static_cast<std::uint16_t>(std::stoul(value, nullptr, 16));
    } else if (word == "in" || word == "out") {
      r.in = word == "in";
    } else if (key == "len") {
      r.length = std::stoi(value);
    } else if (key == "status") {
      r.status = std::stoi(value);
    } else if (key == "data") {
      r.data.push_back(static_cast<std::uint8_t>(std::stoul(value, nullptr, 16)));
      for (int k = 1; k < r.length && in >> word; ++k) {
        r.data.push_back(static_cast<std::uint8_t>(std::stoul(word, nullptr, 16)));
      }
    }
  }
  return r;
}

UiFixture::UiFixture(const std::string& simulateOptions) {
  board::BoardOptions options;
  options.simulate = true;
  options.simulateOptions = simulateOptions;
  std::string error;
  board::OpenedBoard opened = board::openBoard(
      options, error, [this](std::string_view line) { trace_.emplace_back(line); });
  if (!opened.access) {
    qFatal("cannot open the simulated board: %s", error.c_str());
  }
  session_ = std::make_unique<ui::Session>(std::move(opened), messages_);
}

UiFixture::~UiFixture() {
  session_.reset();
}

QWidget* UiFixture::startWindow(ui::WindowId id) {
  ui::ManagedWindow* w = session_->hub().window(id);
  return w != nullptr ? w->widget() : nullptr;
}

std::vector<TraceRequest> UiFixture::requests() const {
  std::vector<TraceRequest> result;
  for (const std::string& line : trace_) {
    result.push_back(parseTraceLine(line));
  }
  return result;
}

std::vector<std::int32_t> UiFixture::sentWords(std::size_t since) const {
  std::vector<std::int32_t> words;
  for (std::size_t i = since; i < trace_.size(); ++i) {
    if (const TraceRequest r = parseTraceLine(trace_[i]); r.request == 221 && !r.in) {
      words.push_back(wordOf(r));
    }
  }
  return words;
}

std::int32_t UiFixture::lastWord() const {
  const std::vector<std::int32_t> words = sentWords();
  return words.empty() ? -1 : words.back();
}

std::vector<int> UiFixture::requestNumbers(std::size_t since) const {
  std::vector<int> numbers;
  for (std::size_t i = since; i < trace_.size(); ++i) {
    if (const int n = parseTraceLine(trace_[i]).request; n >= 0) {
      numbers.push_back(n);
    }
  }
  return numbers;
}

std::vector<TraceRequest> UiFixture::requestsOf(int request, std::size_t since) const {
  std::vector<TraceRequest> result;
  for (std::size_t i = since; i < trace_.size(); ++i) {
    if (TraceRequest r = parseTraceLine(trace_[i]); r.request == request) {
      result.push_back(std::move(r));
    }
  }
  return result;
}

std::vector<std::string> UiFixture::transcript(std::size_t since) const {
  std::vector<std::string> out;
  for (std::size_t i = since; i < trace_.size(); ++i) {
    const TraceRequest r = parseTraceLine(trace_[i]);
    if (r.request < 0) {
      std::istringstream in(trace_[i]);
      std::string first;
      in >> first;
      out.push_back(first);
    } else if (r.request == 221 && !r.in) {
      out.push_back("W " + hex(static_cast<std::uint32_t>(wordOf(r))).toStdString());
    } else if (r.request == 221) {
      out.push_back("R");
    } else if (r.value != 0) {
      out.push_back(std::to_string(r.request) + "=" + std::to_string(r.value));
    } else {
      out.push_back(std::to_string(r.request));
    }
  }
  return out;
}

// ---- actions -------------------------------------------------------------------------------

namespace {

// The control of this name and type, with a warning when there is none.
template <typename T>
T* named(QObject* root, const QString& name, const char* what) {
  T* control = find<T>(root, name);
  if (control == nullptr) {
    qWarning("%s %s not found", what, qPrintable(name));
  }
  return control;
}

bool usable(QWidget* w, const char* what, const QString& name) {
  if (w == nullptr) {
    qWarning("%s %s not found", what, qPrintable(name));
    return false;
  }
  if (!w->isVisible()) {
    qWarning("%s %s is not visible", what, qPrintable(w->objectName()));
    return false;
  }
  if (!w->isEnabled()) {
    qWarning("%s %s is disabled", what, qPrintable(w->objectName()));
    return false;
  }
  return true;
}

}  // namespace

bool chooseItem(QComboBox* list, int index) {
  if (!usable(list, "list", QString())) {
    return false;
  }
  if (index < 0 || index >= list->count()) {
    qWarning("list %s has no item %d", qPrintable(list->objectName()), index);
    return false;
  }
  list->showPopup();
  QAbstractItemView* view = list->view();
  const QModelIndex item = list->model()->index(index, list->modelColumn(), list->rootModelIndex());
  view->scrollTo(item);
  const QRect rect = view->visualRect(item);
  if (!view->isVisible() || rect.isEmpty()) {
    qWarning("the drop-down of %s did not open", qPrintable(list->objectName()));
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
  if (list->currentIndex() != index) {
    qWarning("choosing item %d of %s left it at %d", index, qPrintable(list->objectName()),
             list->currentIndex());
    return false;
  }
  return true;
}

bool chooseItem(QObject* root, const QString& listName, int index) {
  return chooseItem(named<QComboBox>(root, listName, "list"), index);
}

bool chooseItemText(QObject* root, const QString& listName, const QString& itemText) {
  auto* list = named<QComboBox>(root, listName, "list");
  const int index = list != nullptr ? list->findText(itemText, Qt::MatchExactly) : -1;
  if (list != nullptr && index < 0) {
    qWarning("list %s has no item \"%s\"", qPrintable(listName), qPrintable(itemText));
  }
  return index >= 0 && chooseItem(list, index);
}

bool clickButton(QAbstractButton* button) {
  if (!usable(button, "button", QString())) {
    return false;
  }
  QPoint where = button->rect().center();
  // Check boxes and option buttons react only to clicks on their indicator and text.
  if (qobject_cast<QCheckBox*>(button) != nullptr ||
      qobject_cast<QRadioButton*>(button) != nullptr) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const bool radio = qobject_cast<QRadioButton*>(button) != nullptr;
    const QRect indicator = button->style()->subElementRect(
        radio ? QStyle::SE_RadioButtonIndicator : QStyle::SE_CheckBoxIndicator, &option, button);
    where = indicator.center();
  }
  QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, where);
  return true;
}

bool clickButton(QObject* root, const QString& name) {
  return clickButton(named<QAbstractButton>(root, name, "button"));
}

bool typeText(QLineEdit* field, const QString& text) {
  if (!usable(field, "field", QString())) {
    return false;
  }
  if (field->isReadOnly()) {
    qWarning("field %s is read-only", qPrintable(field->objectName()));
    return false;
  }
  QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
  if (text.isEmpty()) {
    QTest::keyClick(field, Qt::Key_Delete);
  } else {
    QTest::keyClicks(field, text);
  }
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
  return typeAndEnter(named<QLineEdit>(root, name, "field"), text);
}

bool selectTab(QTabWidget* tabs, int index) {
  if (!usable(tabs, "page control", QString())) {
    return false;
  }
  if (index < 0 || index >= tabs->count()) {
    qWarning("page control %s has no page %d", qPrintable(tabs->objectName()), index);
    return false;
  }
  QTabBar* bar = tabs->tabBar();
  QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(index).center());
  if (tabs->currentIndex() != index) {
    qWarning("clicking tab %d of %s left it on %d", index, qPrintable(tabs->objectName()),
             tabs->currentIndex());
    return false;
  }
  return true;
}

bool selectTab(QObject* root, const QString& tabWidgetName, int index) {
  return selectTab(named<QTabWidget>(root, tabWidgetName, "page control"), index);
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
