// The simulated board behind the board-access interface: connection and firmware, requests,
// the ADC, fault injection and its options.
#include "board/simulated_board.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "board/board_link.h"

namespace kv4410::board {
namespace {

class ListReporter : public Reporter {
 public:
  std::vector<std::string> messages;
  void noBoard(int searchStatus) override {
    messages.push_back("No Evaluation Board Found: " + std::to_string(searchStatus));
  }
  void usbError(int, std::string_view text) override { messages.emplace_back(text); }
};

SimulationOptions parsed(std::string_view text) {
  const auto result = parseSimulationOptions(text);
  EXPECT_TRUE(result.options.has_value()) << text << ": " << result.error;
  return result.options.value_or(SimulationOptions{});
}

class StartedBoard : public ::testing::Test {
 protected:
  void start(const SimulationOptions& options = {}) {
    board = std::make_unique<SimulatedBoard>(options);
    link = std::make_unique<BoardLink>(*board, reporter);
    link->LoadUSB("/nowhere/KV4410SPI.hex");
  }
  std::uint32_t read(std::int32_t request) {
    link->SPIWrite(29, request);
    return link->SPIRead();
  }
  std::unique_ptr<SimulatedBoard> board;
  ListReporter reporter;
  std::unique_ptr<BoardLink> link;
};

TEST_F(StartedBoard, StartsWithoutMessagesAndWithoutReadingTheFirmwareFile) {
  start();
  EXPECT_TRUE(reporter.messages.empty());
  EXPECT_TRUE(board->connected());
  EXPECT_TRUE(board->firmwareRunning());
  EXPECT_TRUE(board->started());
}

TEST_F(StartedBoard, WrittenWordsReadBackThroughTheLink) {
  start();
  link->SPIWrite(29, 0x0FC8ABCD);
  EXPECT_EQ(read(0x18C80000), 0xC8ABCDu);
  link->SPIWrite(29, 0x003FE4A0);
  EXPECT_EQ(read(0x10000000), 0x3FE4A0u);
  EXPECT_EQ(read(0x1FC00000), 0xC0A492u);
}

TEST_F(StartedBoard, BoardCommandsReachChipAndBoard) {
  start();
  link->loadHigh();
  EXPECT_TRUE(board->chip().loadHigh());
  link->SPIWrite(29, 0x01CD1234);
  EXPECT_EQ(board->chip().dac(0, 13).output, 0x8000);
  link->pulseLoad();
  EXPECT_EQ(board->chip().dac(0, 13).output, 0x1234);
  link->loadLow();
  EXPECT_FALSE(board->chip().loadHigh());
  link->setCComp(2);
  link->setCFeedforward(3);
  EXPECT_EQ(board->ccomp(), 2);
  EXPECT_EQ(board->cff(), 3);
  link->resetChip();
  EXPECT_EQ(board->chip().dac(0, 13).x1, 0x8000);
  EXPECT_EQ(link->failedRequests(), 0u);
}

TEST_F(StartedBoard, AdcConvertsTheMeasureOutputAtRequest232) {
  start();
  link->SPIWrite(29, 0x003FE4A0);
  link->SPIWrite(29, 0x0121D300);  // PMU0 measures the die temperature sensor
  const double volts = SimulatedChip::temperatureSensorVolts(25.0);
  const auto expected = static_cast<std::uint16_t>(std::lround(volts * 65536 / 5.0));
  EXPECT_EQ(link->ReadADC(), 0) << "no conversion yet";
  EXPECT_EQ(link->readAdcNow(), expected);
  board->chip().setDieTemperature(80.0);
  EXPECT_EQ(link->ReadADC(), expected) << "233 alone repeats the last conversion";
  EXPECT_GT(link->readAdcNow(), expected);
}

TEST_F(StartedBoard, AdcReplyLeavesTheThirdByteZeroAndClipsAtFullScale) {
  SimulationOptions options;
  options.referenceVolts = 1.0;  // the sensor's 1.5 V is beyond full scale
  start(options);
  link->SPIWrite(29, 0x0121D300);
  std::uint8_t data[3] = {0xAA, 0xAA, 0xAA};
  board->Vendor_Request(SimulatedBoard::kHandle, 232, 0, 0, kDirOut, 0, data);
  EXPECT_EQ(board->Vendor_Request(SimulatedBoard::kHandle, 233, 0, 0, kDirIn, 3, data), 0);
  EXPECT_EQ(data[0], 0xFF);
  EXPECT_EQ(data[1], 0xFF);
  EXPECT_EQ(data[2], 0x00);
}

TEST_F(StartedBoard, ReferenceOptionScalesDacsAndAdc) {
  SimulationOptions options = parsed("vref=2.5");
  start(options);
  link->SPIWrite(29, 0x003FE4A0);
  link->SPIWrite(29, 0x0121B300);
  link->SPIWrite(29, 0x01CDFFFF);
  const double voff = 3.5 * 2.5 * 0xA492 / 65536.0;
  EXPECT_NEAR(board->chip().channel(0).volts, 4.5 * 2.5 * 0xFFFF / 65536.0 - voff, 1e-9);
  const double measure = 0.2 * (board->chip().channel(0).volts + voff);
  EXPECT_EQ(link->readAdcNow(), std::lround(measure * 65536 / 2.5));
}

TEST_F(StartedBoard, LoadOptionsSetEachChannel) {
  start(parsed("load=1000,load2=2200"));
  for (int ch = 0; ch < 4; ++ch) {
    EXPECT_EQ(board->chip().load(ch), ch == 2 ? 2200.0 : 1000.0) << ch;
  }
}

TEST_F(StartedBoard, NoiseIsSeededAndCentredOnTheTrueCode) {
  auto codes = [this](const std::string& options) {
    start(parsed(options));
    link->SPIWrite(29, 0x0121D300);
    std::vector<int> out;
    for (int i = 0; i < 400; ++i) {
      out.push_back(link->readAdcNow());
    }
    return out;
  };
  const auto quiet = codes("");
  const auto a = codes("noise=3,seed=7");
  const auto b = codes("noise=3,seed=7");
  const auto c = codes("noise=3,seed=8");
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
  EXPECT_TRUE(std::all_of(quiet.begin(), quiet.end(), [&](int v) { return v == quiet[0]; }));
  double sum = 0;
  double squares = 0;
  for (const int v : a) {
    sum += v - quiet[0];
    squares += (v - quiet[0]) * (v - quiet[0]);
  }
  const double mean = sum / a.size();
  const double rms = std::sqrt(squares / a.size());
  EXPECT_NEAR(mean, 0.0, 1.0);
  EXPECT_NEAR(rms, 3.0, 0.6);
}

TEST_F(StartedBoard, FailAfterFailsEveryLaterRequestAndKeepsTheBuffer) {
  start(parsed("fail-after=4"));           // request 224 of the start-up is the 1st
  link->SPIWrite(29, 0x0FC81234);          // 2nd
  EXPECT_EQ(read(0x11C80000), 0xC81234u);  // 3rd and 4th
  EXPECT_EQ(link->failedRequests(), 0u);
  EXPECT_EQ(read(0x1FC00000), 0xC81234u) << "5th and 6th fail: the buffer keeps its bytes";
  EXPECT_EQ(link->lastStatus(), status::kTransferIncomplete);
  EXPECT_EQ(board->chip().answer(), 0xC81234u) << "the 5th never reached the chip";
  link->SPIWrite(29, 0x0FC80001);
  EXPECT_EQ(board->chip().dac(0, 8).x1, 0x1234);
  EXPECT_EQ(link->failedRequests(), 3u);
  EXPECT_TRUE(reporter.messages.empty()) << "later statuses are only stored";
}

TEST_F(StartedBoard, NoBoardShowsOneMessageAndEveryCallFails) {
  start(parsed("noboard"));
  EXPECT_EQ(reporter.messages, (std::vector<std::string>{"No Evaluation Board Found: 1001"}));
  EXPECT_TRUE(link->NoBoard());
  link->SPIWrite(29, 0x003FE4A0);
  EXPECT_EQ(link->lastStatus(), status::kNoDeviceConnected);
  EXPECT_EQ(board->chip().systemControl(), 0u);
  link->readAdcNow();
  EXPECT_EQ(link->lastStatus(), status::kNoDeviceConnected);
  std::int16_t count = 5;
  BoardList list{};
  EXPECT_EQ(board->Search_For_Boards(kVendorId, kProductId, count, list), 1001);
  EXPECT_EQ(count, 0);
}

TEST_F(StartedBoard, FirmwareFaultsAnswerTheirStatusAndLeaveNoFirmware) {
  struct Case {
    const char* options;
    const char* message;
  };
  for (const Case c : {Case{"firmware=missing", "3002 - FIRMWARE FILE NOT FOUND"},
                       Case{"firmware=corrupt", "3003 - FIRMWARE FILE CORRUPTED"}}) {
    reporter.messages.clear();
    start(parsed(c.options));
    EXPECT_EQ(reporter.messages,
              (std::vector<std::string>{c.message, "3010 - NO FIRMWARE PRESENT"}));
    EXPECT_FALSE(board->firmwareRunning());
  }
}

TEST(SimulatedBoardRequests, NeedConnectionAndFirmware) {
  SimulatedBoard board;
  std::uint8_t data[3] = {};
  EXPECT_EQ(board.Vendor_Request(SimulatedBoard::kHandle, 219, 0, 0, kDirOut, 0, data), 3001);
  EXPECT_EQ(board.Download_Firmware(SimulatedBoard::kHandle, "x"), 3001);
  std::int32_t handle = 0;
  EXPECT_EQ(board.Connect(kVendorId, kProductId, 1, handle), 2001) << "only entry 0 exists";
  EXPECT_EQ(board.Connect(kVendorId, kProductId, 0, handle), 0);
  EXPECT_EQ(board.Vendor_Request(handle, 219, 0, 0, kDirOut, 0, data), 3010);
  EXPECT_EQ(board.Download_Firmware(handle + 1, "x"), 3001);
  EXPECT_EQ(board.Download_Firmware(handle, "x"), 0);
  EXPECT_EQ(board.Vendor_Request(handle, 219, 0, 0, kDirOut, 0, data), 0);
  EXPECT_EQ(board.Vendor_Request(handle + 1, 219, 0, 0, kDirOut, 0, data), 3001);
}

TEST(SimulatedBoardRequests, UnknownOrMalformedRequestsStallOrComeShort) {
  SimulatedBoard board;
  std::int32_t handle = 0;
  board.Connect(kVendorId, kProductId, 0, handle);
  board.Download_Firmware(handle, "x");
  std::uint8_t data[4] = {9, 9, 9, 9};
  struct Case {
    std::uint8_t request;
    std::uint16_t value;
    std::uint8_t direction;
    std::uint16_t length;
    Status status;
  };
  const Case cases[] = {
      {220, 0, kDirOut, 0, 3006}, {230, 0, kDirIn, 3, 3006},  {219, 0, kDirIn, 3, 3006},
      {233, 0, kDirOut, 0, 3006}, {228, 0, kDirOut, 0, 3006}, {228, 3, kDirOut, 0, 3006},
      {229, 4, kDirOut, 0, 3006}, {229, 3, kDirOut, 0, 0},    {221, 0, kDirIn, 2, 3005},
      {221, 0, kDirIn, 4, 3005},  {221, 0, kDirIn, 3, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(board.Vendor_Request(handle, c.request, c.value, 0, c.direction, c.length, data),
              c.status)
        << int{c.request} << " value " << c.value << " length " << c.length;
  }
  EXPECT_EQ(board.Vendor_Request(handle, 221, 0, 0, kDirIn, 3, nullptr), 3005);
}

TEST(SimulationOptionsParsing, AcceptsEveryKey) {
  const auto options = parseSimulationOptions(
      "load=1000,load3=47,noise=0.5,seed=99,latency=250,temp=85.5,vref=2.5,fail-after=10,"
      "firmware=corrupt,noboard");
  ASSERT_TRUE(options.options.has_value()) << options.error;
  const SimulationOptions& o = *options.options;
  EXPECT_EQ(o.loadOhms, (std::array<double, 4>{1000, 1000, 1000, 47}));
  EXPECT_EQ(o.noiseLsb, 0.5);
  EXPECT_EQ(o.seed, 99u);
  EXPECT_EQ(o.latencyUs, 250u);
  EXPECT_EQ(o.dieTemperatureC, 85.5);
  EXPECT_EQ(o.referenceVolts, 2.5);
  EXPECT_EQ(o.failAfter, 10u);
  EXPECT_EQ(o.firmware, FirmwareFault::Corrupt);
  EXPECT_TRUE(o.noBoard);
}

TEST(SimulationOptionsParsing, EmptyTextGivesTheDefaults) {
  const auto result = parseSimulationOptions("");
  ASSERT_TRUE(result.options.has_value());
  EXPECT_EQ(result.options->loadOhms, (std::array<double, 4>{5600, 5600, 5600, 5600}));
  EXPECT_EQ(result.options->noiseLsb, 0.0);
  EXPECT_EQ(result.options->dieTemperatureC, 25.0);
  EXPECT_EQ(result.options->referenceVolts, 5.0);
  EXPECT_FALSE(result.options->noBoard);
  EXPECT_FALSE(result.options->failAfter.has_value());
  EXPECT_EQ(result.options->firmware, FirmwareFault::None);
}

TEST(SimulationOptionsParsing, RefusesMalformedOptionsWithOneLine) {
  const char* bad[] = {
      "bogus",       "bogus=1",       "load",          "load=",      "load=abc",
      "load=0",      "load=-5",       "load4=100",     "load=1e999", "load=nan",
      "noise=-1",    "seed=-1",       "seed=1.5",      "latency=-3", "latency=10000001",
      "temp=300",    "temp=x",        "vref=0",        "vref=11",    "noboard=1",
      "fail-after=", "fail-after=-1", "firmware=gone", "firmware",   "load=100,",
      ",load=100",   "load=100,,",    "LOAD=100",      "load =100",  "load= 100",
  };
  for (const char* text : bad) {
    const auto result = parseSimulationOptions(text);
    EXPECT_FALSE(result.options.has_value()) << text;
    EXPECT_FALSE(result.error.empty()) << text;
    EXPECT_EQ(result.error.find('\n'), std::string::npos) << text;
    EXPECT_EQ(result.error.rfind("--simulate", 0), 0u) << result.error;
  }
}

}  // namespace
}  // namespace kv4410::board
