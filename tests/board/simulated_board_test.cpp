// The simulated board behind the board-access interface: connection and firmware, requests,
// the ADC, fault injection and its options.
#include "board/simulated_board.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numeric>
#include <string>
#include <vector>

#include "board/recording_board.h"

namespace kv4410::board {
namespace {

using testing::Lines;

// A simulated board with the options of `text`, started through the link.
struct Started {
  explicit Started(const char* text) : board(parseSimulationOptions(text).options.value()) {
    link.LoadUSB("/nowhere/KV4410SPI.hex");
  }
  void write(std::initializer_list<std::int32_t> words) {
    for (const std::int32_t word : words) {
      link.SPIWrite(29, word);
    }
  }
  SimulatedBoard board;
  testing::RecordingReporter reporter;
  BoardLink link{board, reporter};
};

constexpr std::int32_t kStartupSys = 0x003FE4A0;
constexpr std::int32_t kPmu0Temperature = 0x0121D300;  // PMU0 measures the die temperature sensor

TEST(SimulatedBoard, StartsWithoutReadingTheFirmwareAndObeysTheBoardCommands) {
  Started s("");
  EXPECT_TRUE(s.reporter.messages.empty());
  EXPECT_TRUE(s.board.started());
  s.link.loadHigh();
  s.write({0x01CD1234});
  EXPECT_EQ(s.board.chip().dac(0, 13).output, 0x8000);
  s.link.pulseLoad();
  EXPECT_EQ(s.board.chip().dac(0, 13).output, 0x1234);
  s.link.loadLow();
  EXPECT_FALSE(s.board.chip().loadHigh());
  s.link.setCComp(2);
  s.link.setCFeedforward(3);
  EXPECT_EQ(s.board.ccomp(), 2);
  EXPECT_EQ(s.board.cff(), 3);
  s.link.resetChip();
  EXPECT_EQ(s.board.chip().dac(0, 13).x1, 0x8000);
}

TEST(SimulatedBoard, AdcConvertsTheMeasureOutputAtRequest232) {
  struct Case {
    const char* options;
    std::int32_t pmu;  // of PMU0, forcing 5.625 V
    std::uint16_t code;
  };
  const Case cases[] = {
      {"", kPmu0Temperature, 19661},  // 1.5 V of 5 V
      {"temp=80", kPmu0Temperature, 23265},
      {"vref=2.5", kPmu0Temperature, 39322},
      {"vref=1", kPmu0Temperature, 65535},         // beyond full scale
      {"", 0x01219300, 42657},                     // 0.2 * (10 * 500 ohm * 1.0 mA + offset)
      {"load=1000", 0x01219300, 58981},            // clamped at 2.25 mA
      {"load=1000,load0=5600", 0x01219300, 42657}  // in the order given
  };
  for (const auto& c : cases) {
    Started s(c.options);
    s.write({kStartupSys, c.pmu, 0x01CDC000});
    EXPECT_EQ(s.link.readAdcNow(), c.code) << c.options;
  }
  Started s("vref=2.5");
  s.write({kStartupSys, 0x0121B300, 0x01CDFFFF});
  EXPECT_NEAR(s.board.chip().channel(0).volts, 5.6248664856, 1e-9) << "DAC span 4.5 * vref";
  EXPECT_EQ(s.link.ReadADC(), 0) << "no conversion yet";
  s.write({kPmu0Temperature});
  EXPECT_EQ(s.link.readAdcNow(), 39322);
  s.board.chip().setDieTemperature(100.0);
  EXPECT_EQ(s.link.ReadADC(), 39322) << "233 alone repeats the last conversion";
  std::uint8_t data[3] = {0xAA, 0xAA, 0xAA};
  EXPECT_EQ(s.board.Vendor_Request(SimulatedBoard::kHandle, 233, 0, 0, kDirIn, 3, data), 0);
  EXPECT_EQ(data[2], 0x00) << "the third byte of an ADC reply is zero";
}

TEST(SimulatedBoard, NoiseIsSeededAndOfTheGivenRms) {
  const auto codes = [](const char* options) {
    Started s(options);
    s.write({kStartupSys, kPmu0Temperature});
    std::vector<int> out(400);
    std::generate(out.begin(), out.end(), [&s] { return s.link.readAdcNow() - 19661; });
    return out;
  };
  const auto a = codes("noise=3,seed=7");
  EXPECT_EQ(a, codes("noise=3,seed=7"));
  EXPECT_NE(a, codes("noise=3,seed=8"));
  EXPECT_NEAR(std::sqrt(std::inner_product(a.begin(), a.end(), a.begin(), 0.0) / a.size()), 3.0,
              0.6);
}

TEST(SimulatedBoard, FailAfterFailsEveryLaterRequestAndKeepsTheBuffer) {
  Started s("fail-after=4");               // request 224 of the start-up is the 1st
  s.write({0x0FC81234, 0x11C80000});       // 2nd and 3rd
  EXPECT_EQ(s.link.SPIRead(), 0xC81234u);  // 4th
  s.write({0x1FC00000});
  EXPECT_EQ(s.link.SPIRead(), 0xC81234u) << "5th and 6th fail: the buffer keeps its bytes";
  EXPECT_EQ(s.link.lastStatus(), status::kTransferIncomplete);
  EXPECT_EQ(s.board.chip().answer(), 0xC81234u) << "the 5th never reached the chip";
  s.write({0x0FC80001});
  EXPECT_EQ(s.board.chip().dac(0, 8).x1, 0x1234);
  EXPECT_EQ(s.link.failedRequests(), 3u);
  // fail-at names single requests: the ones around them answer.
  Started once("fail-at=3,fail-at=5");
  once.write({0x0FC81234, 0x11C80000});  // 2nd, then the 3rd fails
  EXPECT_EQ(once.link.lastStatus(), status::kTransferIncomplete);
  once.write({0x11C80000});  // 4th
  EXPECT_EQ(once.link.lastStatus(), status::kOk);
  once.link.SPIRead();  // 5th fails
  EXPECT_EQ(once.link.lastStatus(), status::kTransferIncomplete);
  EXPECT_EQ(once.link.SPIRead(), 0xC81234u) << "the 6th answers";
  EXPECT_EQ(once.link.failedRequests(), 2u);
}

TEST(SimulatedBoard, LatencyDelaysEveryRequest) {
  Started s("latency=3000");
  const auto before = std::chrono::steady_clock::now();
  s.write({1, 2, 3, 4});
  EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::microseconds(12000));
}

TEST(SimulatedBoard, StartUpFaultsShowTheirMessagesAndFailLaterRequests) {
  const std::pair<const char*, Lines> cases[] = {
      {"noboard", {"No Evaluation Board Found: 1001"}},
      {"firmware=missing", {"3002 - FIRMWARE FILE NOT FOUND", "3010 - NO FIRMWARE PRESENT"}},
      {"firmware=corrupt", {"3003 - FIRMWARE FILE CORRUPTED", "3010 - NO FIRMWARE PRESENT"}},
  };
  for (const auto& [options, messages] : cases) {
    Started s(options);
    EXPECT_EQ(s.reporter.messages, messages);
    s.write({kStartupSys});
    EXPECT_EQ(s.link.lastStatus(), messages.size() == 1 ? 3001 : 3010);
  }
}

TEST(SimulatedBoard, RequestsNeedConnectionAndFirmwareAndKnownFields) {
  SimulatedBoard board;
  std::uint8_t data[4] = {9, 9, 9, 9};
  EXPECT_EQ(board.Download_Firmware(SimulatedBoard::kHandle, "x"), 3001);
  std::int32_t handle = 0;
  EXPECT_EQ(board.Connect(kVendorId, kProductId, 1, handle), 2001) << "only entry 0 exists";
  EXPECT_EQ(board.Connect(kVendorId, kProductId, 0, handle), 0);
  EXPECT_EQ(board.Download_Firmware(handle + 1, "x"), 3001);
  EXPECT_EQ(board.Download_Firmware(handle, "x"), 0);
  EXPECT_EQ(board.Vendor_Request(handle + 1, 219, 0, 0, kDirOut, 0, data), 3001);
  EXPECT_EQ(board.Vendor_Request(handle, 221, 0, 0, kDirIn, 3, nullptr), 3005);
  struct Case {
    std::uint8_t request;
    std::uint16_t value;
    std::uint8_t direction;
    std::uint16_t length;
    Status status;
  };
  const Case cases[] = {
      {219, 0, kDirOut, 0, 0},    {220, 0, kDirOut, 0, 3006}, {230, 0, kDirIn, 3, 3006},
      {219, 0, kDirIn, 3, 3006},  {233, 0, kDirOut, 0, 3006}, {228, 0, kDirOut, 0, 3006},
      {228, 3, kDirOut, 0, 3006}, {229, 4, kDirOut, 0, 3006}, {229, 3, kDirOut, 0, 0},
      {221, 0, kDirIn, 2, 3005},  {221, 0, kDirIn, 4, 3005},  {221, 0, kDirIn, 3, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(board.Vendor_Request(handle, c.request, c.value, 0, c.direction, c.length, data),
              c.status)
        << int{c.request} << " value " << c.value << " length " << c.length;
  }
}

TEST(SimulationOptions, RefusesMalformedOptionsWithOneLine) {
  const char* bad[] = {
      "bogus",       "bogus=1",       "load",          "load=",      "load=abc",
      "load=0",      "load=-5",       "load4=100",     "load=1e999", "load=nan",
      "noise=-1",    "seed=-1",       "seed=1.5",      "latency=-3", "latency=10000001",
      "temp=300",    "temp=x",        "vref=0",        "vref=11",    "noboard=1",
      "fail-after=", "fail-after=-1", "firmware=gone", "firmware",   "load=100,",
      ",load=100",   "load=100,,",    "LOAD=100",      "load =100",  "load= 100",
      "fail-at=0",   "fail-at=x",
  };
  for (const char* text : bad) {
    const auto result = parseSimulationOptions(text);
    EXPECT_FALSE(result.options.has_value()) << text;
    EXPECT_EQ(result.error.find('\n'), std::string::npos) << text;
    EXPECT_EQ(result.error.rfind("--simulate: ", 0), 0u) << result.error;
  }
  EXPECT_NE(parseSimulationOptions("load2").error.find("needs a value"), std::string::npos);
  EXPECT_TRUE(parseSimulationOptions("noise=0.5,seed=99,latency=10000000,temp=-55,vref=10").options)
      << "the limits themselves are accepted";
}

}  // namespace
}  // namespace kv4410::board
