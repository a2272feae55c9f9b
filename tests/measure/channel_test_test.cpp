#include "measure/channel_test.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "board/recording_board.h"
#include "board/simulated_board.h"
#include "measure/test_doubles.h"

namespace kv4410::measure {
namespace {

using board::Status;

using measure::testing::FakeClock;
using measure::testing::SilentReporter;

// Answers the ADC reads of check k with codes[k - 1] and the `failOn`-th request numbered
// `failRequest` with `failStatus`; the reply bytes are written even then, as a partial transfer
// may leave them. Keeps the fake clock's time of every request.
class CodeBoard final : public board::testing::RecordingBoard {
 public:
  std::array<std::uint16_t, 4> codes = {59000, 28000, 55000, 4000};  // all within the limits
  std::uint8_t failRequest = 0;
  int failOn = 0;
  Status failStatus = 3005;
  FakeClock* clock = nullptr;
  std::vector<double> times;

  Status Vendor_Request(std::int32_t handle, std::uint8_t request, std::uint16_t value,
                        std::uint16_t index, std::uint8_t direction, std::uint16_t length,
                        std::uint8_t* data) override {
    times.push_back(clock != nullptr ? clock->t : 0.0);
    if (request == failRequest && ++seen_ == failOn) {
      statuses.push_back(failStatus);
    }
    if (request == 233) {
      const std::uint16_t code = codes[reads_++ % 4];
      reply = {static_cast<std::uint8_t>(code & 0xFF), static_cast<std::uint8_t>(code >> 8), 0};
      std::copy(reply.begin(), reply.end(), data);
    }
    return RecordingBoard::Vendor_Request(handle, request, value, index, direction, length, data);
  }

 private:
  int seen_ = 0;
  int reads_ = 0;
};

// Start-up and the window's load on a board, then as many tests as asked for.
struct Rig {
  explicit Rig(board::BoardAccess& b) : link(b, reporter), sender(link) {
    link.LoadUSB("/opt/kv4410/KV4410SPI.hex");
    words.sysWord = 0x2;  // the load ORs into the stored words
    words.pmuWord = 0x1;
    values.vref = 2.5F;  // the load sets 5.0
    loadChannelTest(words, values, sender, link);
  }
  void run() {
    test.start();
    while (const auto wait = test.advance()) {
      clock.waitUntil(clock.now() + *wait);
    }
  }

  SilentReporter reporter;
  board::BoardLink link;
  StoredWords words;
  ConversionValues values;
  board::LinkWordSender sender;
  FakeClock clock{1000.0};
  ChannelTest test{words, values, sender, link, clock};
};

// One letter per list line: w words, h header, r register line, V / I reading, X failed
// transfer, P PASS, F failure banner, _ empty.
std::string shape(const std::vector<std::string>& lines) {
  std::string s;
  for (const std::string& l : lines) {
    const auto has = [&l](const char* part) { return l.find(part) != std::string::npos; };
    s += l.empty()                                                                             ? '_'
         : l == "----------PASS-----------"                                                    ? 'P'
         : l == std::string(39, ' ') + std::string(28, '*') + "FAILURE" + std::string(34, '*') ? 'F'
         : l.rfind(std::string(45, '-') + "PMU", 0) == 0                                       ? 'h'
         : has("\tMV voltage =\t")                                                             ? 'V'
         : has("\tMI Current =\t")                                                             ? 'I'
         : l.rfind("ADC code =\tnone\tboard transfer failed:\t", 0) == 0                       ? 'X'
         : has(" reg = \t")                                                                    ? 'r'
                            : 'w';
  }
  return s;
}

// The n-th reading line (from 0).
std::string readingLine(const ChannelTest& test, int n) {
  for (const std::string& line : test.lines()) {
    if (line.rfind("ADC code =", 0) == 0 && n-- == 0) {
      return line;
    }
  }
  return "";
}

const std::string kPmu0Passes = "wh_rVPVP_IPIP";
const std::string kPasses = "_h_rVPVPIPIP";

TEST(ChannelTest, PassesOnTheSimulatedBoardsDefaultLoad) {
  board::SimulatedBoard board;
  Rig rig(board);
  rig.run();
  const auto& lines = rig.test.lines();
  EXPECT_EQ(rig.test.verdict(), ChannelTestVerdict::Pass);
  ASSERT_EQ(lines.size(), 49u);
  EXPECT_EQ(shape(lines), kPmu0Passes + kPasses + kPasses + kPasses);
  EXPECT_EQ(lines[0], "4187296\t253883136");
  EXPECT_EQ(lines[1],
            "---------------------------------------------PMU0 testing"
            "------------------------------------------------------");
  EXPECT_EQ(lines[3], "PMU0 reg = \t18985728\tPMU0 FIN DAC=\t265158655");
  EXPECT_EQ(lines[14], std::string(45, '-') + "PMU1 testing" + std::string(54, '-'));
  EXPECT_EQ(lines[28], "PMU2 reg = \t69317376\tPMU2 FIN DAC=\t265158655");
  EXPECT_EQ(lines[40], "PMU3 reg = \t136426240\tPMU3 FIN DAC=\t265158655");
  // The stored words keep the test's last words.
  EXPECT_EQ(rig.words.sysWord, 0x003FE4A0);
  EXPECT_EQ(rig.words.pmuWord, 0x08219300);
  EXPECT_EQ(rig.words.dacWord, 0x0FCD0000);
}

TEST(ChannelTest, AWeakLoadOnChannel1FailsItsCurrentChecksOnly) {
  board::SimulatedBoard board(*board::parseSimulationOptions("load1=9000").options);
  Rig rig(board);
  rig.run();
  EXPECT_EQ(rig.test.verdict(), ChannelTestVerdict::Failure);
  EXPECT_EQ(rig.test.failureCount(), 2);
  EXPECT_EQ(shape(rig.test.lines()), kPmu0Passes + "_h_rVPVPI_F_I_F_" + kPasses + kPasses);
}

// Inclusive limits compared in single precision; the other codes stay within their limits, so
// one failing edge code fails its check on all four channels.
TEST(ChannelTest, LimitEdges) {
  struct Case {
    int check;
    std::uint16_t code;
    bool pass;
    const char* line;
  };
  const Case cases[] = {
      {1, 60293, true, "ADC code =\t60293\tMV voltage =\t4.599991"},
      {1, 60294, false, "ADC code =\t60294\tMV voltage =\t4.600067"},
      {1, 57672, true, "ADC code =\t57672\tMV voltage =\t4.400024"},
      {1, 57671, false, "ADC code =\t57671\tMV voltage =\t4.399948"},
      {2, 30146, true, "ADC code =\t30146\tMV voltage =\t2.299957"},
      {2, 30147, false, "ADC code =\t30147\tMV voltage =\t2.300034"},
      {3, 54395, true, "ADC code =\t54395\tMI Current =\t0.001900009"},
      {3, 54394, false, "ADC code =\t54394\tMI Current =\t0.001899933"},
      {4, 4587, true, "ADC code =\t4587\tMI Current =\t-0.00190004"},
      {4, 4588, false, "ADC code =\t4588\tMI Current =\t-0.001899963"},
  };
  for (const Case& c : cases) {
    CodeBoard board;
    board.codes[c.check - 1] = c.code;
    Rig rig(board);
    rig.run();
    EXPECT_EQ(rig.test.readings().at(c.check - 1).pass, c.pass) << c.code;
    EXPECT_EQ(readingLine(rig.test, c.check - 1), c.line);
    EXPECT_EQ(rig.test.failureCount(), c.pass ? 0 : 4) << c.code;
  }
  EXPECT_STREQ(channelCheckName(2), "MV at FIN mid scale");
}

// A reading whose request 232 or 233 failed never passes, even when the buffer holds a code
// within the limits; the test goes on.
TEST(ChannelTest, AFailedTransferFailsItsCheck) {
  struct Case {
    std::uint8_t request;
    Status status;
    const char* line;
  };
  const Case cases[] = {
      {233, 3005, "ADC code =\tnone\tboard transfer failed:\t3005 - XFER INCOMPLETE"},
      {232, 3009, "ADC code =\tnone\tboard transfer failed:\t3009 - BULK TRANSFER"},
      {233, 77, "ADC code =\tnone\tboard transfer failed:\tstatus 77"},
  };
  for (const Case& c : cases) {
    CodeBoard board;
    board.failRequest = c.request;
    board.failOn = 5;  // PMU1's first reading
    board.failStatus = c.status;
    Rig rig(board);
    rig.run();
    EXPECT_EQ(readingLine(rig.test, 4), c.line);
    const ChannelReading& r = rig.test.readings().at(4);
    EXPECT_TRUE(!r.pass && !r.value && r.status == c.status) << c.line;
    EXPECT_EQ(shape(rig.test.lines()), kPmu0Passes + "_h_rX_F_VPIPIP" + kPasses + kPasses);
    EXPECT_EQ(rig.test.verdict(), ChannelTestVerdict::Failure);
  }
}

TEST(ChannelTest, ABoardThatStopsAnsweringEndsInFailure) {
  // Requests 1 to 22 pass: start-up, the load and PMU0 up to its last request 232.
  board::SimulatedBoard board(*board::parseSimulationOptions("fail-after=22").options);
  Rig rig(board);
  rig.run();
  ASSERT_EQ(rig.test.readings().size(), 16u);
  EXPECT_EQ(rig.test.verdict(), ChannelTestVerdict::Failure);
  EXPECT_EQ(rig.test.failureCount(), 13);
  const std::string failed = "_h_rX_F_X_F_X_F_X_F_";
  EXPECT_EQ(shape(rig.test.lines()), "wh_rVPVP_IPX_F_" + failed + failed + failed);
  EXPECT_EQ(rig.test.readings()[3].status, 3005);
}

TEST(ChannelTest, ASecondRunStartsAfresh) {
  CodeBoard board;
  board.failRequest = 233;
  board.failOn = 2;
  Rig rig(board);
  rig.run();
  EXPECT_EQ(rig.test.verdict(), ChannelTestVerdict::Failure);
  rig.test.start();
  EXPECT_TRUE(rig.test.lines().empty() && rig.test.readings().empty());
  EXPECT_EQ(rig.test.verdict(), ChannelTestVerdict::None);
  rig.run();
  EXPECT_EQ(shape(rig.test.lines()), kPmu0Passes + kPasses + kPasses + kPasses);
  EXPECT_EQ(rig.test.verdict(), ChannelTestVerdict::Pass);
  EXPECT_EQ(rig.test.failureCount(), 0);
}

// Every request in order, words in hexadecimal, 232 then 233 as "adc" with the settling time
// before it in milliseconds, board commands as "request=value".
std::string traffic(const CodeBoard& board) {
  std::string s;
  for (std::size_t i = 0; i < board.requests.size(); ++i) {
    const auto& r = board.requests[i];
    char text[24];
    if (r.request == 221) {
      std::snprintf(text, sizeof text, "%04X%04X ", r.index, r.value);
    } else if (r.request == 232 && board.requests.at(i + 1).request == 233) {
      std::snprintf(text, sizeof text, "adc%.0f ", 1000 * (board.times[i] - board.times[i - 1]));
      ++i;
    } else {
      std::snprintf(text, sizeof text, "%d=%d ", r.request, r.value);
    }
    s += text;
  }
  return s;
}

TEST(ChannelTest, SendsItsWordsAndReadsInOrderAfterEachSettlingWait) {
  CodeBoard board;
  Rig rig(board);
  board.clock = &rig.clock;
  rig.run();
  EXPECT_EQ(rig.values.vref, 5.0F);
  EXPECT_EQ(
      traffic(board),
      "224=0 003FE4A2 003FE4A2 0F21F301 229=1 228=1 003FE4A0 0F21F300 "
      "0121B300 0FCDFFFF adc10 0FCD8000 adc10 01219300 0FCDFFFF adc10 01219300 0FCD0000 adc10 "
      "0F21F300 0221B300 0FCDFFFF adc10 0FCD8000 adc10 02219300 0FCDFFFF adc10 0FCD0000 adc10 "
      "0F21F300 0421B300 0FCDFFFF adc100 0FCD8000 adc10 04219300 0FCDFFFF adc10 0FCD0000 adc10 "
      "0F21F300 0821B300 0FCDFFFF adc10 0FCD8000 adc10 08219300 0FCDFFFF adc10 0FCD0000 adc10 ");
}

TEST(ChannelTest, AnEarlyAdvanceOnlyReportsTheRestAndShortRestsAreWaitedInline) {
  CodeBoard board;
  Rig rig(board);
  EXPECT_FALSE(rig.test.advance());  // not started
  rig.test.start();
  ASSERT_EQ(rig.test.advance(), 0.01);
  const std::size_t sent = board.requests.size();
  rig.clock.t += 0.004;
  const auto rest = rig.test.advance();
  ASSERT_TRUE(rest);
  EXPECT_NEAR(*rest, 0.006, 1e-9);
  EXPECT_EQ(board.requests.size(), sent);
  rig.clock.t += 0.0059;  // 0.1 ms before the deadline: waited inline, then read
  EXPECT_EQ(rig.test.advance(), 0.01);
  EXPECT_GT(rig.clock.t, 1000.01);
  EXPECT_EQ(rig.test.readings().size(), 1u);
  // While the test runs a transfer waits at most 80 ms for the board; afterwards 1000 ms again.
  EXPECT_EQ(rig.link.transferTimeout().count(), 80);
  while (const auto wait = rig.test.advance()) {
    rig.clock.waitUntil(rig.clock.now() + *wait);
  }
  EXPECT_EQ(rig.link.transferTimeout().count(), 1000);
}

}  // namespace
}  // namespace kv4410::measure
