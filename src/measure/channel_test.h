#pragma once
// The automated channel test: four checks on each of PMU0 to PMU3, each an ADC reading after a
// settling wait, judged against fixed limits and written to a result list. The test is advanced
// one step at a time: advance() does the work up to the next settling wait and says how long
// to wait, so the GUI drives it from a timer, the CLI from a loop and a test from a fake clock.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "board/board_link.h"
#include "device/stored_words.h"
#include "measure/clock.h"

namespace kv4410::measure {

// The test window's load: VREF = 5.0; the start-up system word ORed into sysWord and sent
// twice; the all-channel PMU word ORed into pmuWord and sent; CFF then CCOMP switched to their
// smallest capacitors (requests 229 and 228, value 1).
void loadChannelTest(StoredWords& words, ConversionValues& values, WordSender& sender,
                     board::BoardLink& link);

// One reading of the test.
struct ChannelReading {
  int channel = 0;        // 0..3
  int check = 0;          // 1..4: 1 and 2 measure volts, 3 and 4 amps
  std::int32_t code = 0;  // what the ADC read returned (stale when the transfer failed)
  // Volts (checks 1, 2) or amps (3, 4); empty when the board transfer failed, because the code
  // is then whatever the transfer buffer held before.
  std::optional<float> value;
  float low = 0.0F;  // inclusive limits
  float high = 0.0F;
  int status = 0;  // the first failing status of requests 232 and 233, 0 when both succeeded
  bool pass = false;
};

// What each check measures, for reports: "MV at FIN full scale" and so on (check 1..4).
const char* channelCheckName(int check);

enum class ChannelTestVerdict { None, Pass, Failure };

class ChannelTest {
 public:
  static constexpr int kReadings = 16;

  ChannelTest(StoredWords& words, const ConversionValues& values, WordSender& sender,
              board::BoardLink& link, Clock& clock);

  // Begins a test ("Start Test"): empties the list and the readings, clears the verdict and
  // takes VREF for the test's LSB (VREF / 65536). Nothing is sent until the first advance().
  // Calling it during a test abandons that test.
  void start();
  // Does the work up to the next settling wait and returns the seconds to wait before calling
  // again, or nullopt once the test has finished (or was never started). Called before the
  // wait is over it does nothing and returns the time still to wait; a rest shorter than
  // kInlineWaitLimit is waited here.
  std::optional<double> advance();

  bool running() const { return stage_ == Stage::Waiting || stage_ == Stage::Begin; }
  ChannelTestVerdict verdict() const { return verdict_; }
  int failureCount() const { return failures_; }
  // The result list, one entry per line, as the window lists it.
  const std::vector<std::string>& lines() const { return lines_; }
  const std::vector<ChannelReading>& readings() const { return readings_; }

 private:
  enum class Stage { Idle, Begin, Waiting, Finished };

  void sendPmu(std::int32_t word);
  void sendDac(std::int32_t word);
  // The words and list lines that precede reading `index` (channel index / 4, check
  // index % 4 + 1); then the settling wait begins.
  void prepareReading(int index);
  void takeReading(int index);
  void judge(bool pass);

  StoredWords& words_;
  const ConversionValues& values_;
  WordSender& sender_;
  board::BoardLink& link_;
  Clock& clock_;

  Stage stage_ = Stage::Idle;
  int next_ = 0;       // index of the reading being waited for
  float vref_ = 0.0F;  // VREF when the test started: its LSB holds for the whole test
  double waitStart_ = 0.0;
  double waitSeconds_ = 0.0;
  int failures_ = 0;
  ChannelTestVerdict verdict_ = ChannelTestVerdict::None;
  std::vector<std::string> lines_;
  std::vector<ChannelReading> readings_;
  // While the test runs, a board that stops answering holds each transfer only briefly.
  std::optional<board::BoardLink::QuickTransfers> quickTransfers_;
};

}  // namespace kv4410::measure
