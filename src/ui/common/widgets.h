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

}  // namespace kv4410::ui
