#include "ui/common/entry_checks.h"

#include <QLineEdit>

#include "device/text_format.h"
#include "ui/common/message_sink.h"

namespace kv4410::ui {

void rejectEntry(QLineEdit* field, MessageSink& messages, const QString& text) {
  messages.show(MessageIcon::Exclamation, kEntryErrorTitle, text);
  field->clear();
  field->setFocus(Qt::OtherFocusReason);
}

std::optional<std::int32_t> checkDacCode(QLineEdit* field, MessageSink& messages) {
  const std::optional<std::int32_t> value = parseHexSigned(field->text().toStdString());
  if (!value) {
    rejectEntry(field, messages, kNotANumber);
    return std::nullopt;
  }
  // DAC codes are 16 bits; eight-digit texts from 80000000 up read as negative numbers.
  if (*value < 0 || *value > 0xFFFF) {
    rejectEntry(field, messages, kCodeTooLarge);
    return std::nullopt;
  }
  return value;
}

std::optional<std::int32_t> acceptDacCode(QLineEdit* field, MessageSink& messages) {
  const std::optional<std::int32_t> value = checkDacCode(field, messages);
  if (value) {
    field->setText(QString::fromStdString(HexPad4(field->text().toUpper().toStdString())));
  }
  return value;
}

}  // namespace kv4410::ui
