#pragma once
// Small conversions between the register map's tables and the window's controls.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <string_view>

#include "device/register_map.h"
#include "ui/common/widgets.h"

namespace kv4410::ui {

// The items of the list that sets `field`, in list order.
inline QStringList listItems(const FieldDef& field) {
  QStringList items;
  if (field.listValues.empty()) {
    return qtextList(field.values);
  } else {
    for (std::uint32_t value : field.listValues) {
      items << qtext(field.valueText(value));
    }
  }
  return items;
}

// The field value that list item `index` sets.
inline std::uint32_t listValue(const FieldDef& field, int index) {
  if (field.listValues.empty()) {
    return static_cast<std::uint32_t>(index);
  }
  return field.listValues[static_cast<std::size_t>(index)];
}

// Composes `value` into `word`'s field the way the handlers do: clear the field, OR the value in.
inline std::int32_t withField(std::int32_t word, const FieldDef& field, std::uint32_t value) {
  return static_cast<std::int32_t>(composeField(static_cast<std::uint32_t>(word), field, value));
}

}  // namespace kv4410::ui
