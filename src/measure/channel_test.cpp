#include "measure/channel_test.h"

#include <string_view>

#include "device/conversions.h"
#include "device/text_format.h"

namespace kv4410::measure {

namespace {

constexpr std::int32_t kSystemWord = 0x003FE4A0;
// All four channels enabled, force voltage, +-2mA range, MEASOUT high-impedance, FIN connected,
// clamp and comparator on.
constexpr std::int32_t kAllChannelsWord = 0x0F21F300;
// The same for one channel (its bit ORed in), measuring voltage or current.
constexpr std::int32_t kMeasureVoltage = 0x0021B300;
constexpr std::int32_t kMeasureCurrent = 0x00219300;
// FIN x1 DAC of the voltage range (address 13) on all channels.
constexpr std::int32_t kFinFullScale = 0x0FCDFFFF;
constexpr std::int32_t kFinMidScale = 0x0FCD8000;
constexpr std::int32_t kFinZeroScale = 0x0FCD0000;

constexpr double kSettleSeconds = 0.01;
// PMU2's first reading settles longer.
constexpr double kSlowSettleSeconds = 0.1;

// MEASOUT gain 0.2 and current-measure gain 10 of the system word, 500 ohms of the 2 mA range:
// MEASOUT = 0.2 (10 * 500 I + 2.25 V) referred back to amps.
constexpr float kMeasoutOffset = 2.25F;
constexpr float kMeasoutGain = 0.2F;
constexpr float kCurrentGain = 10.0F;
constexpr float kSenseOhms = 500.0F;

struct Limits {
  float low;
  float high;
};
constexpr Limits kLimits[4] = {
    {4.4F, 4.6F}, {2.1F, 2.3F}, {0.0019F, 0.0022F}, {-0.0022F, -0.0019F}};

constexpr std::string_view kPassLine = "----------PASS-----------";
constexpr std::string_view kFailureBanner =
    "                                       "
    "****************************FAILURE**********************************";

std::int32_t channelBit(int channel) {
  return static_cast<std::int32_t>(1u << (24 + channel));
}

std::string channelName(int channel) {
  return "PMU" + std::to_string(channel);
}

// "3005 - XFER INCOMPLETE", or "status 77" for a status without a message of its own.
std::string statusText(int status) {
  if (const auto text = board::usbErrorText(status)) {
    return std::string(*text);
  }
  return "status " + std::to_string(status);
}

}  // namespace

const char* channelCheckName(int check) {
  switch (check) {
    case 1:
      return "MV at FIN full scale";
    case 2:
      return "MV at FIN mid scale";
    case 3:
      return "MI at FIN full scale";
    default:
      return "MI at FIN zero scale";
  }
}

void loadChannelTest(StoredWords& words, ConversionValues& values, WordSender& sender,
                     board::BoardLink& link) {
  values.vref = 5.0F;
  words.sysWord |= kSystemWord;
  sender.SPIout(words.sysWord);
  sender.SPIout(words.sysWord);
  words.pmuWord |= kAllChannelsWord;
  sender.SPIout(words.pmuWord);
  link.setCFeedforward(1);
  link.setCComp(1);
}

ChannelTest::ChannelTest(StoredWords& words, const ConversionValues& values, WordSender& sender,
                         board::BoardLink& link, Clock& clock)
    : words_(words), values_(values), sender_(sender), link_(link), clock_(clock) {}

void ChannelTest::start() {
  lines_.clear();
  readings_.clear();
  failures_ = 0;
  verdict_ = ChannelTestVerdict::None;
  vref_ = values_.vref;
  next_ = 0;
  stage_ = Stage::Begin;
}

std::optional<double> ChannelTest::advance() {
  if (stage_ == Stage::Idle || stage_ == Stage::Finished) {
    return std::nullopt;
  }
  if (stage_ == Stage::Begin) {
    quickTransfers_.emplace(link_);
    words_.sysWord = kSystemWord;
    sender_.SPIout(words_.sysWord);
    sendPmu(kAllChannelsWord);
    lines_.push_back(std::to_string(words_.sysWord) + "\t" + std::to_string(words_.pmuWord));
    prepareReading(0);
    stage_ = Stage::Waiting;
    return waitSeconds_;
  }

  const double deadline = waitStart_ + waitSeconds_;
  const double now = clock_.now();
  if (!(now > deadline)) {
    const double rest = deadline - now;
    if (rest >= kInlineWaitLimit) {
      return rest;
    }
    clock_.waitUntil(deadline);
  }
  takeReading(next_);
  ++next_;
  if (next_ == kReadings) {
    quickTransfers_.reset();
    stage_ = Stage::Finished;
    verdict_ = failures_ == 0 ? ChannelTestVerdict::Pass : ChannelTestVerdict::Failure;
    return std::nullopt;
  }
  prepareReading(next_);
  return waitSeconds_;
}

void ChannelTest::sendPmu(std::int32_t word) {
  words_.pmuWord = word;
  sender_.SPIout(word);
}

void ChannelTest::sendDac(std::int32_t word) {
  words_.dacWord = word;
  sender_.SPIout(word);
}

void ChannelTest::prepareReading(int index) {
  const int p = index / 4;
  const int check = index % 4 + 1;
  const std::int32_t ch = channelBit(p);
  switch (check) {
    case 1:
      if (p >= 1) {
        sendPmu(kAllChannelsWord);
      }
      sendPmu(ch | kMeasureVoltage);
      sendDac(kFinFullScale);
      if (p >= 1) {
        lines_.emplace_back();
      }
      lines_.push_back(std::string(45, '-') + channelName(p) + " testing" + std::string(54, '-'));
      lines_.emplace_back();
      lines_.push_back(channelName(p) + " reg = \t" + std::to_string(words_.pmuWord) + "\t" +
                       channelName(p) + " FIN DAC=\t" + std::to_string(words_.dacWord));
      break;
    case 2:
      sendDac(kFinMidScale);
      break;
    case 3:
      sendPmu(ch | kMeasureCurrent);
      sendDac(kFinFullScale);
      break;
    default:
      // PMU0 sends its measure-current word a second time; the others keep it.
      if (p == 0) {
        sendPmu(ch | kMeasureCurrent);
      }
      sendDac(kFinZeroScale);
      break;
  }
  waitSeconds_ = (p == 2 && check == 1) ? kSlowSettleSeconds : kSettleSeconds;
  waitStart_ = clock_.now();
}

void ChannelTest::takeReading(int index) {
  ChannelReading r;
  r.channel = index / 4;
  r.check = index % 4 + 1;
  r.low = kLimits[index % 4].low;
  r.high = kLimits[index % 4].high;

  // Request 232 starts the conversion, 233 fetches it. When either fails the code is whatever
  // the transfer buffer held before: it is listed as missing and the check fails.
  link_.startAdc();
  r.status = link_.lastStatus();
  r.code = link_.ReadADC();
  if (r.status == 0) {
    r.status = link_.lastStatus();
  }

  std::string line = "ADC code =\t";
  if (r.status != 0) {
    line += "none\tboard transfer failed:\t" + statusText(r.status);
  } else {
    line += std::to_string(r.code) + "\t";
    // LSB x a, with LSB = VREF / 65536 in single precision.
    const float volts = adcVoltsSingle(r.code, vref_);
    if (r.check <= 2) {
      r.value = volts;
      line += "MV voltage =\t";
    } else {
      r.value = (volts - kMeasoutOffset) / kMeasoutGain / kCurrentGain / kSenseOhms;
      line += "MI Current =\t";
    }
    line += formatSingle(*r.value);
    r.pass = *r.value >= r.low && *r.value <= r.high;
  }
  lines_.push_back(line);
  judge(r.pass);
  if (r.pass && r.channel == 0 && r.check == 2) {
    lines_.emplace_back();
  }
  readings_.push_back(r);
}

void ChannelTest::judge(bool pass) {
  if (pass) {
    lines_.emplace_back(kPassLine);
    return;
  }
  lines_.emplace_back();
  lines_.emplace_back(kFailureBanner);
  lines_.emplace_back();
  ++failures_;
}

}  // namespace kv4410::measure
