// The traffic trace: its line format, the file sink, and openBoard's wiring of boards and sinks.
#include "board/tracing_board.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "board/board_link.h"
#include "board/recording_board.h"
#include "board/simulated_board.h"

namespace kv4410::board {
namespace {

using testing::RecordingBoard;

class NullReporter : public Reporter {
 public:
  void noBoard(int) override {}
  void usbError(int, std::string_view) override {}
};

TEST(TracingBoard, WritesOneLinePerOperationInTheTraceFormat) {
  auto inner = std::make_unique<RecordingBoard>();
  inner->firstEntry = 0;
  inner->reply = {0x34, 0x12, 0xAB};
  inner->statuses = {0, 0, 0, 3006};
  RecordingBoard* recording = inner.get();
  std::vector<std::string> lines;
  TracingBoard traced(std::move(inner), [&lines](std::string_view l) { lines.emplace_back(l); });

  NullReporter reporter;
  BoardLink link(traced, reporter);
  link.LoadUSB("/opt/kv4410/KV4410SPI.hex");
  link.SPIWrite(29, 0x0F21B300);
  link.ReadADC();
  link.setCComp(2);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "search vid=2F4C pid=7105 count=1 status=0",
                       "connect entry=0 status=0",
                       "firmware path=/opt/kv4410/KV4410SPI.hex status=0",
                       "request 224 value=0000 index=0000 out len=0 status=0",
                       "request 221 value=B300 index=0F21 out len=0 status=0",
                       "request 233 value=0000 index=0000 in len=3 data=34 12 AB status=0",
                       "request 228 value=0002 index=0000 out len=0 status=3006",
                   }));
  EXPECT_EQ(recording->calls.size(), 7u) << "every call reaches the inner board";
}

TEST(TracingBoard, ShowsWhatTheInnerBoardAnswered) {
  auto inner = std::make_unique<RecordingBoard>();
  inner->boardCount = 0;
  inner->searchStatus = 1001;
  inner->connectStatus = 2001;
  inner->reply = {0xFF, 0x00, 0x0A};
  std::vector<std::string> lines;
  TracingBoard traced(std::move(inner), [&lines](std::string_view l) { lines.emplace_back(l); });
  std::int16_t count = 9;
  BoardList list{};
  std::int32_t handle = 0;
  std::uint8_t data[3] = {};
  traced.Search_For_Boards(0xABCD, 0x0001, count, list);
  traced.Connect(kVendorId, kProductId, 200, handle);
  traced.Vendor_Request(handle, 221, 0xFFFF, 0x1FFF, kDirIn, 3, data);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "search vid=ABCD pid=0001 count=0 status=1001",
                       "connect entry=200 status=2001",
                       "request 221 value=FFFF index=1FFF in len=3 data=FF 00 0A status=0",
                   }));
}

class TraceFile : public ::testing::Test {
 protected:
  std::filesystem::path path = std::filesystem::temp_directory_path() /
                               ("kv4410_trace_test_" + std::to_string(::getpid()) + ".txt");
  void TearDown() override { std::filesystem::remove(path); }
  std::string contents() const {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
};

TEST_F(TraceFile, AppendsAndFlushesEachLineAtOnce) {
  std::ofstream(path) << "earlier\n";
  std::string error;
  TraceSink sink = appendingFileSink(path, error);
  ASSERT_TRUE(sink) << error;
  sink("first");
  EXPECT_EQ(contents(), "earlier\nfirst\n") << "readable before the sink goes away";
  sink("second");
  EXPECT_EQ(contents(), "earlier\nfirst\nsecond\n");
}

TEST_F(TraceFile, UnopenableFileGivesNoSinkAndAReason) {
  std::string error;
  EXPECT_FALSE(appendingFileSink(path / "sub" / "trace.txt", error));
  EXPECT_FALSE(error.empty());
}

TEST_F(TraceFile, OpenBoardWrapsTheSimulatedBoardWithBothSinks) {
  BoardOptions options;
  options.simulate = true;
  options.simulateOptions = "load=1000";
  options.trace = path;
  std::vector<std::string> extra;
  std::string error;
  OpenedBoard opened =
      openBoard(options, error, [&extra](std::string_view l) { extra.emplace_back(l); });
  ASSERT_TRUE(opened.access) << error;
  ASSERT_NE(opened.simulated, nullptr);
  EXPECT_EQ(opened.simulated->chip().load(0), 1000.0);
  NullReporter reporter;
  BoardLink link(*opened.access, reporter);
  link.LoadUSB("/a/KV4410SPI.hex");
  ASSERT_EQ(extra.size(), 4u);
  EXPECT_EQ(extra[3], "request 224 value=0000 index=0000 out len=0 status=0");
  EXPECT_EQ(contents(), extra[0] + "\n" + extra[1] + "\n" + extra[2] + "\n" + extra[3] + "\n");
  EXPECT_TRUE(opened.simulated->started());
}

TEST(OpenBoard, RefusesMalformedSimulateOptionsAndUnopenableTraces) {
  BoardOptions options;
  options.simulate = true;
  options.simulateOptions = "load=-1";
  std::string error;
  OpenedBoard opened = openBoard(options, error);
  EXPECT_FALSE(opened.access);
  EXPECT_EQ(opened.simulated, nullptr);
  EXPECT_NE(error.find("load=-1"), std::string::npos) << error;

  options.simulateOptions = "";
  options.trace = "/nonexistent-dir-kv4410/trace.txt";
  error.clear();
  opened = openBoard(options, error);
  EXPECT_FALSE(opened.access);
  EXPECT_FALSE(error.empty());
}

TEST(OpenBoard, WithoutTraceTheSimulatedBoardIsTheAccessItself) {
  BoardOptions options;
  options.simulate = true;
  std::string error;
  OpenedBoard opened = openBoard(options, error);
  ASSERT_TRUE(opened.access);
  EXPECT_EQ(opened.access.get(), opened.simulated);
  EXPECT_TRUE(error.empty());
}

}  // namespace
}  // namespace kv4410::board
