// BoardLink against a recording board: the exact vendor-request fields, byte orders, the
// start-up order and the message policy.
#include "board/board_link.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/recording_board.h"

namespace kv4410::board {
namespace {

using testing::RecordingBoard;

class RecordingReporter : public Reporter {
 public:
  std::vector<std::string> messages;
  void noBoard(int searchStatus) override {
    messages.push_back("No Evaluation Board Found|: " + std::to_string(searchStatus));
  }
  void usbError(int code, std::string_view text) override {
    messages.push_back(std::to_string(code) + "|" + std::string(text));
  }
};

class BoardLinkTest : public ::testing::Test {
 protected:
  RecordingBoard board;
  RecordingReporter reporter;
  BoardLink link{board, reporter};

  void start() {
    link.LoadUSB("/opt/kv4410/KV4410SPI.hex");
    board.requests.clear();
    board.calls.clear();
  }
};

struct WriteCase {
  std::int32_t code;
  std::uint16_t value;
  std::uint16_t index;
};

TEST_F(BoardLinkTest, SpiWriteSplitsTheWordIntoValueAndIndex) {
  start();
  const WriteCase cases[] = {
      {0x1FFFFFFF, 0xFFFF, 0x1FFF},
      {0x0F21B300, 0xB300, 0x0F21},
      {-1, 0xFFFF, 0x1FFF},
      {0x10000000, 0x0000, 0x1000},
      {0x003FE4A0, 0xE4A0, 0x003F},
      {0x7FFF0001, 0x0001, 0x1FFF},
      {static_cast<std::int32_t>(0x80000000u), 0x0000, 0x0000},
  };
  for (const auto& c : cases) {
    board.requests.clear();
    link.SPIWrite(29, c.code);
    ASSERT_EQ(board.requests.size(), 1u);
    const auto& r = board.requests[0];
    EXPECT_EQ(r.request, 221) << std::hex << c.code;
    EXPECT_EQ(r.value, c.value) << std::hex << c.code;
    EXPECT_EQ(r.index, c.index) << std::hex << c.code;
    EXPECT_EQ(r.direction, kDirOut);
    EXPECT_EQ(r.length, 0);
    EXPECT_TRUE(r.hasBuffer);
    EXPECT_EQ(r.handle, 42) << "the handle Connect gave";
  }
}

TEST_F(BoardLinkTest, ReadbackIsLittleEndianOverThreeBytesAndAdcOverTwo) {
  start();
  board.reply = {0x34, 0x12, 0xAB};
  EXPECT_EQ(link.SPIRead(), 0xAB1234u);
  EXPECT_EQ(link.ReadADC(), 0x1234);
  ASSERT_EQ(board.requests.size(), 2u);
  for (const auto& [r, number] : {std::pair{board.requests[0], 221}, {board.requests[1], 233}}) {
    EXPECT_EQ(r.request, number);
    EXPECT_EQ(r.value, 0);
    EXPECT_EQ(r.index, 0);
    EXPECT_EQ(r.direction, kDirIn);
    EXPECT_EQ(r.length, 3);
  }
}

TEST_F(BoardLinkTest, FailedReadReturnsWhatTheTransferBufferHeld) {
  start();
  board.reply = {0x01, 0x02, 0x03};
  EXPECT_EQ(link.SPIRead(), 0x030201u);
  board.requestStatus = status::kTransferIncomplete;
  board.reply = {0xEE, 0xEE, 0xEE};
  EXPECT_EQ(link.SPIRead(), 0x030201u);
  EXPECT_EQ(link.ReadADC(), 0x0201);
  EXPECT_EQ(link.lastStatus(), 3005);
  EXPECT_TRUE(reporter.messages.empty()) << "later statuses are stored, not shown";
}

TEST_F(BoardLinkTest, OneLineCommandsSendTheirRequestWithoutData) {
  start();
  struct Case {
    void (*send)(BoardLink&);
    std::uint8_t request;
    std::uint16_t value;
  };
  const Case cases[] = {
      {[](BoardLink& l) { l.resetChip(); }, 219, 0},
      {[](BoardLink& l) { l.pulseLoad(); }, 222, 0},
      {[](BoardLink& l) { l.loadHigh(); }, 226, 0},
      {[](BoardLink& l) { l.loadLow(); }, 227, 0},
      {[](BoardLink& l) { l.setCComp(1); }, 228, 1},
      {[](BoardLink& l) { l.setCComp(2); }, 228, 2},
      {[](BoardLink& l) { l.setCFeedforward(3); }, 229, 3},
      {[](BoardLink& l) { l.startAdc(); }, 232, 0},
  };
  for (const auto& c : cases) {
    board.requests.clear();
    c.send(link);
    ASSERT_EQ(board.requests.size(), 1u);
    EXPECT_EQ(board.requests[0].request, c.request);
    EXPECT_EQ(board.requests[0].value, c.value);
    EXPECT_EQ(board.requests[0].index, 0);
    EXPECT_EQ(board.requests[0].direction, kDirOut);
    EXPECT_EQ(board.requests[0].length, 0);
    EXPECT_TRUE(board.requests[0].hasBuffer);
  }
  board.calls.clear();
  board.reply = {0x10, 0x20, 0x30};
  EXPECT_EQ(link.readAdcNow(), 0x2010);
  EXPECT_EQ(board.calls, (std::vector<std::string>{"request 232", "request 233"}));
}

TEST_F(BoardLinkTest, LoadUsbRunsSearchConnectFirmwareStartInOrder) {
  link.LoadUSB("/opt/kv4410/KV4410SPI.hex");
  EXPECT_EQ(board.calls,
            (std::vector<std::string>{"search", "connect", "firmware", "request 224"}));
  EXPECT_EQ(board.searchVendor, 0x2F4C);
  EXPECT_EQ(board.searchProduct, 0x7105);
  EXPECT_EQ(board.connectEntry, 7) << "the first byte of the board list";
  EXPECT_EQ(board.firmwareHandle, 42);
  EXPECT_EQ(board.firmwarePath, std::filesystem::path("/opt/kv4410/KV4410SPI.hex"));
  ASSERT_EQ(board.requests.size(), 1u);
  EXPECT_EQ(board.requests[0].value, 0);
  EXPECT_EQ(board.requests[0].length, 0);
  EXPECT_FALSE(link.NoBoard());
  EXPECT_TRUE(reporter.messages.empty()) << "status 0 everywhere shows nothing";
}

TEST_F(BoardLinkTest, NoBoardShowsExactlyOneMessageAndNothingAfterIt) {
  board.boardCount = 0;
  board.searchStatus = 1001;
  board.connectStatus = 2001;
  board.firmwareStatus = 3001;
  board.requestStatus = 3001;
  link.LoadUSB("/opt/kv4410/KV4410SPI.hex");
  EXPECT_EQ(reporter.messages, (std::vector<std::string>{"No Evaluation Board Found|: 1001"}));
  EXPECT_TRUE(link.NoBoard());
  // The sequence goes on regardless, and later errors stay silent.
  EXPECT_EQ(board.calls,
            (std::vector<std::string>{"search", "connect", "firmware", "request 224"}));
  link.SPIWrite(29, 0x10000000);
  link.ShowUSBError(3005);
  EXPECT_EQ(reporter.messages.size(), 1u);
}

TEST_F(BoardLinkTest, NoBoardTitleCarriesTheSearchStatusEvenWhenItIsZero) {
  board.boardCount = 0;
  link.LoadUSB("/x/KV4410SPI.hex");
  EXPECT_EQ(reporter.messages, (std::vector<std::string>{"No Evaluation Board Found|: 0"}));
}

TEST_F(BoardLinkTest, EachFailingStartStepShowsItsOwnMessage) {
  board.connectStatus = 1002;
  board.firmwareStatus = 3002;
  board.statuses = {3006};
  link.LoadUSB("/opt/kv4410/KV4410SPI.hex");
  EXPECT_EQ(reporter.messages, (std::vector<std::string>{"1002|1002 - CONNECTION ERROR",
                                                         "3002|3002 - FIRMWARE FILE NOT FOUND",
                                                         "3006|3006 - UNEXPECTED ENDPOINT ERROR"}));
  EXPECT_EQ(link.lastStatus(), 3006);
}

TEST_F(BoardLinkTest, PathThatDoesNotFitTheBufferIsReportedAndNotDownloaded) {
  const std::string dir = "/" + std::string(512 - 1 - 13 - 1, 'd');  // + "/KV4410SPI.hex"
  const auto fits = BoardLink::firmwarePathBeside(dir);
  ASSERT_EQ(fits.u8string().size(), 512u);
  link.LoadUSB(fits);
  EXPECT_EQ(board.firmwarePath, fits);
  EXPECT_TRUE(reporter.messages.empty());
  EXPECT_EQ(link.pathBuffer()[511], 'x');
  EXPECT_EQ(link.pathBuffer()[512], 0);

  RecordingBoard other;
  RecordingReporter otherReporter;
  BoardLink tooLong(other, otherReporter);
  tooLong.LoadUSB(BoardLink::firmwarePathBeside(dir + "e"));
  EXPECT_EQ(other.calls, (std::vector<std::string>{"search", "connect", "request 224"}));
  EXPECT_EQ(otherReporter.messages, (std::vector<std::string>{"1004|1004 - INVALID PATH"}));
}

TEST_F(BoardLinkTest, PathLengthCountsUtf8Bytes) {
  std::string dir = "/";
  for (int i = 0; i < 248; ++i) {
    dir += "\xC3\xA9";  // one character, two bytes
  }
  // 264 characters but 512 bytes: fits.
  const auto fits = BoardLink::firmwarePathBeside(std::filesystem::u8path(dir + "a"));
  ASSERT_EQ(fits.u8string().size(), 512u);
  link.LoadUSB(fits);
  EXPECT_EQ(board.firmwarePath.u8string(), fits.u8string());
  EXPECT_TRUE(reporter.messages.empty());

  // 264 characters but 513 bytes: refused.
  RecordingBoard other;
  RecordingReporter otherReporter;
  BoardLink tooLong(other, otherReporter);
  tooLong.LoadUSB(BoardLink::firmwarePathBeside(std::filesystem::u8path(dir + "\xC3\xA9")));
  EXPECT_EQ(otherReporter.messages, (std::vector<std::string>{"1004|1004 - INVALID PATH"}));
  EXPECT_EQ(tooLong.lastStatus(), 0) << "request 224 still goes out after the refused path";
}

TEST(FirmwarePath, SitsBesideTheProgramWithThePlatformSeparator) {
  const auto path = BoardLink::firmwarePathBeside("/opt/kv4410");
  EXPECT_EQ(path.filename(), "KV4410SPI.hex");
  EXPECT_EQ(path.parent_path(), "/opt/kv4410");
  EXPECT_EQ(path.string(), std::string("/opt/kv4410") +
                               static_cast<char>(std::filesystem::path::preferred_separator) +
                               "KV4410SPI.hex");
}

TEST(UsbErrorText, TableCodesHaveTheirTextAndEveryOtherCodeIsSilent) {
  const std::pair<int, const char*> table[] = {
      {1001, "1001 - NO DEVICES FOUND"},
      {1002, "1002 - CONNECTION ERROR"},
      {1003, "1003 - GET_STRING_DESC_FAILED"},
      {1004, "1004 - INVALID PATH"},
      {1005, "1005 - PATH NOT MATCHING"},
      {2001, "2001 - NO MATCHING DEVICE"},
      {3001, "3001 - NO DEVICE CONNECTED TO DRIVER"},
      {3002, "3002 - FIRMWARE FILE NOT FOUND"},
      {3003, "3003 - FIRMWARE FILE CORRUPTED"},
      {3004, "3004 - FIRMWARE DL FAILED"},
      {3005, "3005 - XFER INCOMPLETE"},
      {3006, "3006 - UNEXPECTED ENDPOINT ERROR"},
      {3007, "3007 - RESET FAILED"},
      {3008, "3008 - INVALID EP ADDRESS"},
      {3009, "3009 - BULK TRANSFER"},
      {3010, "3010 - NO FIRMWARE PRESENT"},
  };
  for (const auto& [code, text] : table) {
    ASSERT_TRUE(usbErrorText(code).has_value()) << code;
    EXPECT_EQ(*usbErrorText(code), text);
  }
  for (const int silent : {0, 1, -1, 1000, 1006, 2000, 2002, 3000, 3011, 32767, -3001}) {
    EXPECT_FALSE(usbErrorText(silent).has_value()) << silent;
  }
}

TEST_F(BoardLinkTest, ShowUsbErrorShowsTableCodesOnly) {
  start();
  for (const int silent : {0, 5, 1006, 3011, -1}) {
    link.ShowUSBError(silent);
  }
  EXPECT_TRUE(reporter.messages.empty());
  link.ShowUSBError(3010);
  EXPECT_EQ(reporter.messages, (std::vector<std::string>{"3010|3010 - NO FIRMWARE PRESENT"}));
}

TEST_F(BoardLinkTest, CountsRequestsAndFailuresAndKeepsTheSignedLastStatus) {
  start();
  const auto before = link.requestCount();
  board.statuses = {0, 3005, -7, 0};
  link.SPIWrite(29, 1);
  link.SPIWrite(29, 2);
  link.SPIRead();
  EXPECT_EQ(link.lastStatus(), -7);
  link.ReadADC();
  EXPECT_EQ(link.lastStatus(), 0);
  EXPECT_EQ(link.requestCount() - before, 4u);
  EXPECT_EQ(link.failedRequests(), 2u);
}

}  // namespace
}  // namespace kv4410::board
