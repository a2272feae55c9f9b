#include "bench/chip_image.h"

#include <utility>

#include "device/text_format.h"

namespace kv4410::bench {

namespace {

constexpr std::uint32_t kContents = 0x3FFFFF;      // bits 21..0
constexpr std::int32_t kPmuClearBit = 0x40;        // acts once, the chip does not keep it
constexpr std::int32_t kAllChannels = 0x0F000000;  // the offset DAC answers to any channel
constexpr int kRegisterOrder[] = {1, 2, 0};        // M, C, then x1 (DacRegister order X1, M, C)

// The channels (bits 0..3) that share each value, in the order of their first channel.
std::vector<std::pair<std::int32_t, unsigned>> byValue(const std::vector<std::int32_t>& values,
                                                       const std::vector<bool>& wanted) {
  std::vector<std::pair<std::int32_t, unsigned>> groups;
  for (std::size_t ch = 0; ch < values.size(); ++ch) {
    if (!wanted[ch]) {
      continue;
    }
    bool joined = false;
    for (auto& group : groups) {
      if (group.first == values[ch]) {
        group.second |= 1u << ch;
        joined = true;
      }
    }
    if (!joined) {
      groups.emplace_back(values[ch], 1u << ch);
    }
  }
  return groups;
}

std::int32_t channelBits(unsigned channels) {
  return static_cast<std::int32_t>(channels << 24);
}

}  // namespace

std::uint16_t resetCode(int address, DacRegister reg) {
  const auto where = dacAddressOf(address);
  return where ? defaultCode(where->group, reg) : 0;
}

ChipImage::ChipImage() {
  resetRegisters();
}

void ChipImage::resetRegisters() {
  systemWord = 0;
  pmu.fill(0);
  offsetCode = kDefaultOffsetCode;
  for (auto& channel : dac) {
    for (int address = 0; address < kDacAddresses; ++address) {
      for (const DacRegister reg : {DacRegister::X1, DacRegister::M, DacRegister::C}) {
        channel[static_cast<std::size_t>(address)][static_cast<std::size_t>(reg)] =
            resetCode(address, reg);
      }
    }
  }
}

void ChipImage::take(const board::BoardLink::RequestRecord& record) {
  if (record.status != 0) {
    return;
  }
  switch (record.request) {
    case board::request::kResetChip:
      resetRegisters();
      return;
    case board::request::kCComp:
      ccomp = record.value;
      return;
    case board::request::kCFeedforward:
      cff = record.value;
      return;
    case board::request::kSerialWord:
      break;
    default:
      return;
  }
  if (record.in) {
    return;  // a readback changes no register
  }
  const std::uint32_t word = (static_cast<std::uint32_t>(record.index) << 16) | record.value;
  const WordTarget target = classifyWord(word);
  if (target.read) {
    return;
  }
  const auto contents = static_cast<std::int32_t>(word & kContents);
  const auto selected = [&target](std::size_t ch) { return (target.channels & (1u << ch)) != 0; };
  DacRegister reg = DacRegister::X1;
  switch (target.kind) {
    case RegisterKind::SystemControl:
      systemWord = contents;
      return;
    case RegisterKind::Pmu:
      for (std::size_t ch = 0; ch < pmu.size(); ++ch) {
        if (selected(ch)) {
          pmu[ch] = contents & ~kPmuClearBit;
        }
      }
      return;
    case RegisterKind::DacX1:
      break;
    case RegisterKind::DacM:
      reg = DacRegister::M;
      break;
    case RegisterKind::DacC:
      reg = DacRegister::C;
      break;
    default:
      return;  // a word that selects no register
  }
  const auto where = dacAddressOf(target.dacAddress);
  if (!where) {
    return;
  }
  const auto code = static_cast<std::uint16_t>(word & 0xFFFFu);
  if (where->group == DacGroup::Offset) {
    if (reg == DacRegister::X1) {
      offsetCode = code;  // one per chip, x1 only
    }
    return;
  }
  for (std::size_t ch = 0; ch < dac.size(); ++ch) {
    if (selected(ch)) {
      dac[ch][static_cast<std::size_t>(target.dacAddress)][static_cast<std::size_t>(reg)] = code;
    }
  }
}

std::string stepText(const BoardStep& step) {
  switch (step.kind) {
    case BoardStep::Kind::ResetChip:
      return std::to_string(board::request::kResetChip);
    case BoardStep::Kind::CFeedforward:
      return std::to_string(board::request::kCFeedforward) + "=" + std::to_string(step.value);
    case BoardStep::Kind::CComp:
      return std::to_string(board::request::kCComp) + "=" + std::to_string(step.value);
    case BoardStep::Kind::Word:
      break;
  }
  return "W " + NumberToHex(step.value, 8);
}

std::vector<BoardStep> restoreSteps(const ChipImage& image) {
  std::vector<BoardStep> steps;
  const auto word = [&steps](std::int32_t w) { steps.push_back({BoardStep::Kind::Word, w}); };
  steps.push_back({BoardStep::Kind::ResetChip, 0});
  if (image.systemWord != 0) {
    word(image.systemWord);
  }
  const std::vector<std::int32_t> pmu(image.pmu.begin(), image.pmu.end());
  std::vector<bool> wanted(kChannelCount);
  for (std::size_t ch = 0; ch < wanted.size(); ++ch) {
    wanted[ch] = pmu[ch] != 0;
  }
  for (const auto& [contents, channels] : byValue(pmu, wanted)) {
    word(channelBits(channels) | contents);
  }
  if (image.offsetCode != kDefaultOffsetCode) {
    word(composeOffsetDacWord(kAllChannels, image.offsetCode));
  }
  for (int address = 1; address < kDacAddresses; ++address) {
    const auto a = static_cast<std::size_t>(address);
    std::array<std::vector<bool>, kDacRegisters> changed;
    std::array<std::vector<std::int32_t>, kDacRegisters> codes;
    for (std::size_t r = 0; r < kDacRegisters; ++r) {
      for (std::size_t ch = 0; ch < kChannelCount; ++ch) {
        codes[r].push_back(image.dac[ch][a][r]);
        changed[r].push_back(image.dac[ch][a][r] !=
                             resetCode(address, static_cast<DacRegister>(r)));
      }
    }
    // M and C take effect at the next x1 update: a channel whose M or C changed gets its x1 too.
    for (std::size_t ch = 0; ch < kChannelCount; ++ch) {
      if (changed[1][ch] || changed[2][ch]) {
        changed[0][ch] = true;
      }
    }
    for (const int r : kRegisterOrder) {
      const auto reg = static_cast<DacRegister>(r);
      const auto ri = static_cast<std::size_t>(r);
      for (const auto& [code, channels] : byValue(codes[ri], changed[ri])) {
        word(channelBits(channels) | modeOf(reg) | (address << 16) | code);
      }
    }
  }
  if (image.cff != 0) {
    steps.push_back({BoardStep::Kind::CFeedforward, image.cff});
  }
  if (image.ccomp != 0) {
    steps.push_back({BoardStep::Kind::CComp, image.ccomp});
  }
  return steps;
}

}  // namespace kv4410::bench
