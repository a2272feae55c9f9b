// The traffic trace: its line format, the file sink, and openBoard's wiring of boards and sinks.
#include "board/tracing_board.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "board/recording_board.h"
#include "board/simulated_board.h"

namespace kv4410::board {
namespace {

using testing::Lines;

TEST(TracingBoard, WritesOneLinePerOperationWithWhatTheInnerBoardAnswered) {
  auto inner = std::make_unique<testing::RecordingBoard>();
  inner->boardCount = 0;
  inner->searchStatus = 1001;
  inner->reply = {0x0A, 0x00, 0xFF};
  inner->statuses = {0, 0, 0, 3006};
  Lines lines;
  TracingBoard traced(std::move(inner), [&lines](std::string_view l) { lines.emplace_back(l); });
  testing::RecordingReporter reporter;
  BoardLink link(traced, reporter);
  link.LoadUSB("/opt/kv4410/KV4410SPI.hex");
  link.SPIWrite(29, 0x0F21B300);
  link.ReadADC();
  link.setCComp(2);
  std::int16_t count = 0;
  BoardList list{};
  traced.Search_For_Boards(0x0001, 0x0A00, count, list);
  EXPECT_EQ(lines, (Lines{
                       "search vid=2F4C pid=7105 count=0 status=1001",
                       "connect entry=7 status=0",
                       "firmware path=/opt/kv4410/KV4410SPI.hex status=0",
                       "request 224 value=0000 index=0000 out len=0 status=0",
                       "request 221 value=B300 index=0F21 out len=0 status=0",
                       "request 233 value=0000 index=0000 in len=3 data=0A 00 FF status=0",
                       "request 228 value=0002 index=0000 out len=0 status=3006",
                       "search vid=0001 pid=0A00 count=0 status=1001",
                   }));
}

TEST(OpenBoard, TracesIntoAFileItAppendsToAtOnceAndRefusesAnUnopenableOne) {
  BoardOptions options;
  options.simulate = true;
  std::string error;
  OpenedBoard opened = openBoard(options, error);
  ASSERT_NE(opened.simulated, nullptr) << error;
  EXPECT_EQ(opened.access.get(), opened.simulated) << "no trace: the simulated board itself";
  options.trace = std::filesystem::temp_directory_path() /
                  ("kv4410_trace_test_" + std::to_string(::getpid()) + ".txt");
  std::ofstream(*options.trace) << "earlier\n";
  opened = openBoard(options, error);
  ASSERT_TRUE(opened.access) << error;
  std::uint8_t data[3] = {};
  opened.access->Vendor_Request(1, 224, 0, 0, kDirOut, 0, data);
  std::stringstream text;
  text << std::ifstream(*options.trace).rdbuf();  // while the board is open
  std::filesystem::remove(*options.trace);
  EXPECT_EQ(text.str(), "earlier\nrequest 224 value=0000 index=0000 out len=0 status=3001\n");
  options.trace = "/nonexistent-dir-kv4410/trace.txt";
  opened = openBoard(options, error);
  EXPECT_FALSE(opened.access);
  EXPECT_EQ(opened.simulated, nullptr);
  EXPECT_EQ(error.rfind("cannot open trace file /nonexistent-dir-kv4410/trace.txt: ", 0), 0u)
      << error;
}

}  // namespace
}  // namespace kv4410::board
