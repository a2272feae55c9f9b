#pragma once
// What the four read pages share: the readback exchange, the answer in the "READ" field, the
// sunken decode labels, the temperature lamps and the bold active-low note.
#include <QString>
#include <cstdint>
#include <functional>

class QGroupBox;
class QLabel;
class QPushButton;

namespace kv4410 {
struct LampState;
}

namespace kv4410::ui {

class RegisterWindowContext;
class Session;

// Sends a read-request word with SPIout (so it shows in the serial-word field) and fetches the
// chip's 24-bit answer.
std::uint32_t readBack(Session& session, std::int32_t requestWord);

// The 24-bit answers are shown through the signed routines; they never reach bit 31.
std::int32_t answerWord(std::uint32_t answer);

// The answer as six hexadecimal digits in the window's read-only result field.
void showAnswer(RegisterWindowContext& context, std::uint32_t answer);

// A decode label: a sunken field whose text the read actions replace.
QLabel* decodeLabel(const QString& name, const QString& text);

// A button used as a lamp: it takes no focus and does nothing when clicked.
QPushButton* makeLamp(const QString& name);
// Green "OK" or red "TOO HOT", as the decoded alarm bit says.
void showLamp(QPushButton* lamp, const LampState& state);

// "PMU CH SELECT": option buttons `optionPrefix`_3 down to _0, PMU 3 selected at start without
// running `select` (the page entry composes its word); a click on another runs `select(ch)`.
QGroupBox* channelOptions(const QString& frameName, const QString& optionPrefix, Session& session,
                          const std::function<void(int)>& select);

// "BITS in BOLD are ACTIVE LOW", in bold.
QLabel* activeLowNote(const QString& name);

}  // namespace kv4410::ui
