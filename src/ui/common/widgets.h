#pragma once
// The small widget makers that every window uses: each creates one control, gives it its
// objectName (the name tests and the window hub find it by) and its caption or items. Details
// that differ between windows (widths, word wrap, colours) are set where the control is used.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QPushButton;
class QWidget;

namespace kv4410::ui {

class Session;

// A UTF-8 text of the device tables (captions, list items, lamp texts) as a QString.
QString qtext(std::string_view text);
// List items of the device tables as a QStringList.
QStringList qtextList(const std::vector<std::string_view>& texts);

// `value` in upper-case hex, padded to `digits` digits as NumberToHex does.
QString hexText(std::int32_t value, int digits);

// Writes `contents` to `path` through a temporary file that replaces it only once complete, so
// a failed write loses nothing. Returns why it failed, or nothing.
std::optional<QString> saveWhole(const QString& path, const QByteArray& contents);

// A drop-down list holding `items`, sized to its longest item.
QComboBox* makeList(QWidget* parent, const QString& name, const QStringList& items);

QCheckBox* makeCheck(QWidget* parent, const QString& name, const QString& caption);

QGroupBox* makeGroup(QWidget* parent, const QString& name, const QString& caption);

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& caption);

// A push button that never acts as a dialog's default button (Enter belongs to the entries).
QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption);

// An entry field holding `text`.
QLineEdit* makeEntry(QWidget* parent, const QString& name, const QString& text);

// A read-only field that shows a result (codes, words, range ends).
QLineEdit* makeDisplay(QWidget* parent, const QString& name);

// The board status (lblBoardStatus) in the window's status bar, kept up to date, and the
// session's passing notes shown there for a few seconds.
void installBoardStatus(QMainWindow* window, Session& session);
// For a window whose controls send to the board: its controls are disabled while the channel
// test holds the board, so nothing the user does there can reach the board meanwhile.
void disableWhileTestHoldsBoard(QMainWindow* window, Session& session);

// The style the instrument windows share: framed group boxes with bold titles, the dark
// header band with its subtitle, and the reset button in warning red. Windows append their own
// rules (title label, big buttons) to it.
inline constexpr const char* kPanelStyle = R"(
QGroupBox {
  font-weight: bold;
  border: 1px solid #9aa7b4;
  border-radius: 5px;
  margin-top: 10px;
  padding: 8px 6px 6px 6px;
  background: #f6f8fa;
}
QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 4px; color: #1d3f66; }
QGroupBox QWidget { font-weight: normal; }
QFrame#fraHeader { background: #1d3f66; border-radius: 5px; }
QLabel#lblSubtitle { color: #cfe0f2; }
QPushButton#cmdRESET { color: #8a1c1c; font-weight: bold; }
)";

}  // namespace kv4410::ui
