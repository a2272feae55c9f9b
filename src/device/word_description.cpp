#include "device/word_description.h"

#include <sstream>

#include "device/dac_words.h"
#include "device/register_map.h"
#include "device/serial_word.h"
#include "device/text_format.h"

namespace kv4410 {

namespace {

std::string binary(std::uint32_t value, int width) {
  std::string text;
  for (int bit = width - 1; bit >= 0; --bit) {
    text += ((value >> bit) & 1u) != 0 ? '1' : '0';
  }
  return text;
}

std::string padded(std::string text, std::size_t width) {
  if (text.size() < width) {
    text.append(width - text.size(), ' ');
  }
  return text + ' ';
}

// "  bits 20..19  F1 F0     [FORCE]             force list: 00 = Force Voltage"
std::string fieldLine(const FieldDef& field, std::uint32_t word) {
  const std::uint32_t value = fieldValue(word, field);
  std::string bits = field.width == 1 ? "bit  " + std::to_string(field.lowBit)
                                      : "bits " + std::to_string(field.highBit()) + ".." +
                                            std::to_string(field.lowBit);
  std::string captions;
  for (const auto caption : field.bitCaptions) {
    captions += (captions.empty() ? "" : " ") + std::string(caption);
  }
  const std::string group = field.group.empty() ? "" : "[" + std::string(field.group) + "]";
  std::string meaning = field.control.empty() ? "" : std::string(field.control) + ": ";
  meaning += binary(value, field.width);
  if (!field.values.empty()) {
    const auto text = field.valueText(value);
    meaning += " = " + (text.empty() ? std::string("(not used)") : std::string(text));
  }
  return "  " + padded(bits, 11) + padded(captions, 17) + padded(group, 18) + meaning + "\n";
}

std::string dacAddressText(int address, RegisterKind kind) {
  const auto dac = dacAddressOf(address);
  std::string text = "address " + std::to_string(address);
  if (!dac) {
    return text + " (not a DAC of the address map)";
  }
  text += " = " + std::string(groupName(dac->group)) + " DAC";
  if (dac->group == DacGroup::Offset) {
    return kind == RegisterKind::DacX1 ? text : text + " (which has only an x1 register)";
  }
  return text + ", level " + std::to_string(dac->level) + " \"" +
         std::string(levelCaption(dac->group, dac->level)) + "\"";
}

}  // namespace

std::string channelListText(unsigned channels) {
  std::string text;
  for (int ch = 0; ch < kChannelCount; ++ch) {
    if ((channels >> ch) & 1u) {
      text += (text.empty() ? "PMU " : ", PMU ") + std::to_string(ch);
    }
  }
  return text.empty() ? "no channel" : text;
}

std::string describeWord(std::uint32_t word) {
  word &= kWordMask;
  const WordTarget target = classifyWord(word);
  std::ostringstream out;
  out << NumberToHex(static_cast<std::int32_t>(word), 8) << ": ";
  if (target.kind == RegisterKind::None) {
    out << (target.read ? "read request" : "write") << " that selects no register (mode "
        << binary((word & kModeMask) >> 22, 2) << " without a channel bit)\n";
    return out.str();
  }
  const bool perChannel = target.kind != RegisterKind::SystemControl &&
                          target.kind != RegisterKind::ComparatorStatus &&
                          target.kind != RegisterKind::AlarmStatus;
  out << (target.read ? "read request for the " : "write to the ") << registerKindName(target.kind);
  if (perChannel) {
    out << " of " << channelListText(target.channels);
  }
  out << "\n";
  if (target.read && perChannel && (target.channels & (target.channels - 1)) != 0) {
    out << "  (several channel bits: which channel answers is the chip's matter)\n";
  }
  switch (target.kind) {
    case RegisterKind::DacX1:
    case RegisterKind::DacC:
    case RegisterKind::DacM: {
      out << "  " << dacAddressText(target.dacAddress, target.kind) << "\n";
      const auto code = static_cast<std::int32_t>(word & 0xFFFFu);
      if (!target.read) {
        out << "  code " << NumberToHex(code, 4) << " (" << code << ")\n";
      }
      break;
    }
    case RegisterKind::SystemControl:
    case RegisterKind::Pmu:
      if (!target.read) {
        const RegisterDef& reg =
            target.kind == RegisterKind::Pmu ? pmuRegister() : systemControlRegister();
        for (const FieldDef& field : reg.fields) {
          out << fieldLine(field, word);
        }
      } else if ((word & kContentsMask) != 0) {
        out << "  (bits 21..0 of a read request are not used)\n";
      }
      break;
    default:
      break;
  }
  return out.str();
}

}  // namespace kv4410
