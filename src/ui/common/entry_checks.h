#pragma once
// The entry checks that several windows share. Each shows the "Entry Error" message of a
// rejected entry, empties the field and gives it the focus.
#include <QString>
#include <cstdint>
#include <optional>

class QLineEdit;

namespace kv4410::ui {

class MessageSink;

inline const QString kEntryErrorTitle = QStringLiteral("Entry Error");
inline const QString kNotANumber = QStringLiteral("Not a valid number. Please reenter it.");
inline const QString kCodeTooLarge =
    QStringLiteral("Number too large. Please reenter code between 0 and xFFFF.");
// Shown (warning icon) when a write needs a PMU channel and none is ticked.
inline const QString kChannelMessage = QStringLiteral("Please select at least One PMU channel");

// Rejects the field: message box (exclamation icon), field emptied and focused.
void rejectEntry(QLineEdit* field, MessageSink& messages, const QString& text);

// A 16-bit DAC code field on Enter: 1..8 hex digits read as a signed 32-bit value; not a number
// -> kNotANumber, outside 0..0xFFFF -> kCodeTooLarge (both reject the field); otherwise the
// field is rewritten by HexPad4 and the code returned.
std::optional<std::int32_t> acceptDacCode(QLineEdit* field, MessageSink& messages);

// The same check without touching a valid field's text (the routines that read a code field at
// a button press validate it this way).
std::optional<std::int32_t> checkDacCode(QLineEdit* field, MessageSink& messages);

}  // namespace kv4410::ui
