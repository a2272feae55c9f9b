#pragma once
// Helpers for the window tests: a session on the simulated board whose traffic is recorded in
// memory, a message sink that records instead of blocking, and user-like actions (choose a list
// item through its drop-down, click, type and press Enter).
//
// Typical use:
//   UiFixture f;                                   // simulated board, empty trace
//   f.session().hub().setFactory(WindowId::Register,
//       [&] { return createRegisterWindow(f.session()); });
//   QWidget* w = f.startWindow(WindowId::Register);   // creates it and runs its start-up
//   const std::size_t mark = f.mark();
//   QVERIFY(chooseItem(w, "cboMeasure", 0));
//   QVERIFY(clickButton(w, "cmdWRITEPMU"));
//   QCOMPARE(f.sentWords(mark), std::vector<std::int32_t>{0x0F219300});
//
// Every action helper returns false (and prints a warning saying why) when the control is
// missing, hidden, disabled or the index is out of range, so tests write QVERIFY(helper(...)).
#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ui/common/message_sink.h"
#include "ui/common/session.h"
#include "ui/common/window_hub.h"

namespace kv4410::uitest {

// The message texts the windows show, written out here so that a test checks the exact words.
namespace texts {
inline const QString kEntryError = QStringLiteral("Entry Error");
inline const QString kNotANumber = QStringLiteral("Not a valid number. Please reenter it.");
inline const QString kCodeTooLarge =
    QStringLiteral("Number too large. Please reenter code between 0 and xFFFF.");
inline const QString kSerialTooLarge =
    QStringLiteral("Number too large. Please reenter code between 0 and x1FFFFFFF.");
inline const QString kLevelTooLarge =
    QStringLiteral("Number too large. Please reenter voltage between Z/S and F/S.");
inline const QString kVrefTooLarge =
    QStringLiteral("Number too large. Please reenter voltage between 0V and +5V.");
inline const QString kRsenseTooLarge =
    QStringLiteral("Number too large. Please reenter voltage between 10k ohms and 12.5.");
inline const QString kNoChannel = QStringLiteral("Please select at least One PMU channel");
}  // namespace texts

// One message box as the program would have shown it.
struct RecordedMessage {
  ui::MessageIcon icon = ui::MessageIcon::None;
  QString title;
  QString text;
};

// Records every message box and returns at once (a real box would block until OK).
class RecordingMessageSink : public ui::MessageSink {
 public:
  void show(ui::MessageIcon icon, const QString& title, const QString& text) override;

  std::vector<RecordedMessage> messages;
  // Runs while a message is "open", after it was recorded: lets a test do what a modal box
  // does to the window behind it (take the focus away, for example).
  std::function<void()> duringShow;

  int count() const { return static_cast<int>(messages.size()); }
  // The last message; an empty record when there is none.
  RecordedMessage last() const { return messages.empty() ? RecordedMessage{} : messages.back(); }
  // True when exactly one message was recorded and it is the "Entry Error" box
  // with this text: the warning icon for the channel message, the exclamation icon for the
  // others; for an empty text, when none was recorded. Prints what was recorded when not.
  bool onlyEntryError(const QString& text) const;
};

// A session on the simulated board with an in-memory trace and a recording message sink.
class UiFixture {
 public:
  // `simulateOptions` as after --simulate= (e.g. "temp=150"); empty for the default board.
  explicit UiFixture(const std::string& simulateOptions = {});
  UiFixture(const UiFixture&) = delete;  // the trace sink holds `this`
  UiFixture& operator=(const UiFixture&) = delete;

  ui::Session& session() { return *session_; }
  RecordingMessageSink& messages() { return messages_; }

  // Creates the window through the hub (its start-up runs) and returns its widget, or nullptr
  // when the kind has no factory.
  QWidget* startWindow(ui::WindowId id);

  // A position in the trace; the functions below look only at what came after it.
  std::size_t mark() const { return trace_.size(); }
  // A compact transcript of the traffic: "search", "connect", "firmware", "224", "W 003FE4A0"
  // (a 221 OUT word), "R" (221 IN), "229=1" (other requests with their value when not 0).
  std::vector<std::string> transcript(std::size_t since = 0) const;
  // Serial words written with request 221 OUT, in order; the last one, -1 when none was.
  std::vector<std::int32_t> sentWords(std::size_t since = 0) const;
  std::int32_t lastWord() const;
  // Called with every trace line as the board operation happens (before it is stored).
  std::function<void(const std::string&)> onTrace;

 private:
  std::vector<std::string> trace_;
  RecordingMessageSink messages_;
  std::unique_ptr<ui::Session> session_;
};

// Upper-case hexadecimal with leading zeros to `digits` (written here, not taken from the
// program, so that a test does not check the program's formatting with itself).
QString hex(std::uint32_t value, int digits = 8);

// The descendant of `root` (or `root` itself) with this object name and type; nullptr if none.
template <typename T>
T* find(QObject* root, const QString& name) {
  auto* self = qobject_cast<T*>(root);
  return self != nullptr && root->objectName() == name ? self
         : root != nullptr                             ? root->findChild<T*>(name)
                                                       : nullptr;
}

// The text a user reads on the control `name`: a field's, label's or button's text, a list's
// chosen entry or, while none is chosen, its initial text; "<no NAME>" when there is none.
QString textOf(QObject* root, const QString& name);
// The texts of these controls, in order.
QStringList textsOf(QObject* root, const QStringList& names);
// The texts of the bit boxes NAME_high ... NAME_0 of a register display, highest first.
QString boxRow(QObject* root, const QString& name, int high = 28);

// ---- user-like actions ---------------------------------------------------------------------

// Opens the list's drop-down and clicks item `index` in it, as a user does.
bool chooseItem(QComboBox* list, int index);
bool chooseItem(QObject* root, const QString& listName, int index);
// The same, by the item's text.
bool chooseItemText(QObject* root, const QString& listName, const QString& itemText);

// A mouse click on the button, check box or option button (on its indicator for the latter).
bool clickButton(QAbstractButton* button);
bool clickButton(QObject* root, const QString& name);

// Types `text` over the field's text (an empty text erases it), without pressing Enter.
bool typeText(QLineEdit* field, const QString& text);
// The same, then presses Enter.
bool typeAndEnter(QLineEdit* field, const QString& text);
bool typeAndEnter(QObject* root, const QString& name, const QString& text);

// Clicks the tab of page `index` in the page control's tab bar, as a user does.
bool selectTab(QObject* root, const QString& tabWidgetName, int index);

// Sends key presses to a widget as the keyboard would (e.g. to check that a list ignores them).
void pressKeys(QWidget* widget, const std::vector<Qt::Key>& keys);

// Shows the window and waits until it is exposed (offscreen windows are exposed at once).
bool showAndWait(QWidget* window);

}  // namespace kv4410::uitest
