// BoardLink against a recording board: the exact vendor-request fields, byte orders, the
// start-up order and the message policy.
#include "board/board_link.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "board/recording_board.h"

namespace kv4410::board {
namespace {

using testing::Lines;

struct Rig {
  testing::RecordingBoard board;
  testing::RecordingReporter reporter;
  BoardLink link{board, reporter};
  // A started link with an empty record.
  BoardLink& started() {
    link.LoadUSB("/opt/kv4410/KV4410SPI.hex");
    board.calls.clear();
    return link;
  }
};

const Lines kStartUp = {"search 2F4C 7105", "connect 2F4C 7105 7",
                        "firmware 42 /opt/kv4410/KV4410SPI.hex", "request 42 224 0000 0000 out 0"};

TEST(BoardLink, EachCallSendsOneRequest) {
  const std::pair<void (*)(BoardLink&), const char*> cases[] = {
      {[](BoardLink& l) { l.SPIWrite(29, 0x1FFFFFFF); }, "request 42 221 FFFF 1FFF out 0"},
      {[](BoardLink& l) { l.SPIWrite(29, 0x0F21B300); }, "request 42 221 B300 0F21 out 0"},
      // Bits 29..31 never go out.
      {[](BoardLink& l) { l.SPIWrite(29, -1); }, "request 42 221 FFFF 1FFF out 0"},
      {[](BoardLink& l) { l.SPIWrite(29, -0x7FFFFFFF - 1); }, "request 42 221 0000 0000 out 0"},
      {[](BoardLink& l) { l.resetChip(); }, "request 42 219 0000 0000 out 0"},
      {[](BoardLink& l) { l.pulseLoad(); }, "request 42 222 0000 0000 out 0"},
      {[](BoardLink& l) { l.loadHigh(); }, "request 42 226 0000 0000 out 0"},
      {[](BoardLink& l) { l.loadLow(); }, "request 42 227 0000 0000 out 0"},
      {[](BoardLink& l) { l.setCComp(2); }, "request 42 228 0002 0000 out 0"},
      {[](BoardLink& l) { l.setCFeedforward(3); }, "request 42 229 0003 0000 out 0"},
      {[](BoardLink& l) { l.startAdc(); }, "request 42 232 0000 0000 out 0"},
      // Readbacks are little-endian over three bytes, ADC readings over two.
      {[](BoardLink& l) { EXPECT_EQ(l.SPIRead(), 0xAB1234u); }, "request 42 221 0000 0000 in 3"},
      {[](BoardLink& l) { EXPECT_EQ(l.ReadADC(), 0x1234); }, "request 42 233 0000 0000 in 3"},
  };
  for (const auto& [send, request] : cases) {
    Rig rig;
    rig.board.reply = {0x34, 0x12, 0xAB};
    send(rig.started());
    EXPECT_EQ(rig.board.calls, Lines{request});
  }
}

TEST(BoardLink, AnAdcReadingStartsAConversionAndAFailedReadKeepsTheTransferBuffer) {
  Rig rig;
  BoardLink& link = rig.started();
  rig.board.reply = {0x10, 0x20, 0x30};
  EXPECT_EQ(link.readAdcNow(), 0x2010);
  EXPECT_EQ(rig.board.calls,
            (Lines{"request 42 232 0000 0000 out 0", "request 42 233 0000 0000 in 3"}));
  rig.board.statuses = {3005, -7, 0};
  rig.board.reply = {0xEE, 0xEE, 0xEE};
  EXPECT_EQ(link.SPIRead(), 0x302010u);
  EXPECT_EQ(link.ReadADC(), 0x2010);
  EXPECT_EQ(link.lastStatus(), -7);
  link.SPIWrite(29, 1);
  EXPECT_EQ(link.lastStatus(), 0);
  EXPECT_EQ(link.failedRequests(), 2u);
  EXPECT_TRUE(rig.reporter.messages.empty()) << "later statuses are stored, not shown";
}

TEST(BoardLink, TheObserverSeesTheBytesAnInTransferBrought) {
  Rig rig;
  BoardLink& link = rig.started();
  std::vector<BoardLink::RequestRecord> seen;
  link.setRequestObserver([&seen](const BoardLink::RequestRecord& r) { seen.push_back(r); });
  rig.board.reply = {0x34, 0x12, 0xAB};
  link.SPIRead();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].data, (std::array<std::uint8_t, 3>{0x34, 0x12, 0xAB}));
}

TEST(BoardLink, StartUpRunsEveryStepAndShowsTheMessagesOfItsStatuses) {
  struct Case {
    std::int16_t count;
    Status search, connect, firmware, start;
    Lines messages;  // then ShowUSBError(3005)
  };
  const Lines eachStep = {"1002 - CONNECTION ERROR", "3002 - FIRMWARE FILE NOT FOUND",
                          "3006 - UNEXPECTED ENDPOINT ERROR", "3005 - XFER INCOMPLETE"};
  const Case cases[] = {
      {1, 0, 0, 0, 0, {"3005 - XFER INCOMPLETE"}},
      {1, 1003, 0, 0, 0, {"3005 - XFER INCOMPLETE"}},  // a found board: search not shown
      {0, 1001, 2001, 3001, 3001, {"No Evaluation Board Found: 1001"}},  // and nothing after it
      {0, 0, 0, 0, 0, {"No Evaluation Board Found: 0"}},
      {1, 0, 1002, 3002, 3006, eachStep}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.messages[0]);
    Rig rig;
    rig.board.boardCount = c.count;
    rig.board.searchStatus = c.search;
    rig.board.connectStatus = c.connect;
    rig.board.firmwareStatus = c.firmware;
    rig.board.statuses = {c.start};
    rig.link.LoadUSB("/opt/kv4410/KV4410SPI.hex");
    EXPECT_EQ(rig.board.calls, kStartUp);
    EXPECT_EQ(rig.link.lastStatus(), c.start);
    rig.link.ShowUSBError(3005);
    EXPECT_EQ(rig.reporter.messages, c.messages);
  }
}

TEST(BoardLink, FirmwarePathOfMoreThan512Utf8BytesIsRefusedAndNotDownloaded) {
  std::string twoByteChars;
  for (int i = 0; i < 255; ++i) {
    twoByteChars += "\xC3\xA9";
  }
  const std::pair<std::string, bool> cases[] = {
      {"/" + twoByteChars + "a", true},  // 257 characters in 512 bytes
      {"/" + twoByteChars + "\xC3\xA9", false},
  };
  for (const auto& [path, fits] : cases) {
    SCOPED_TRACE(path.size());
    Rig rig;
    rig.link.LoadUSB(std::filesystem::u8path(path));
    EXPECT_EQ(rig.board.calls.at(2), fits ? "firmware 42 " + path : kStartUp[3]);
    EXPECT_EQ(rig.reporter.messages, fits ? Lines{} : Lines{"1004 - INVALID PATH"});
  }
}

TEST(BoardLink, TableCodesHaveTheirTextAndEveryOtherCodeIsSilent) {
  std::istringstream table(
      "1001 - NO DEVICES FOUND|1002 - CONNECTION ERROR|1003 - GET_STRING_DESC_FAILED|"
      "1004 - INVALID PATH|1005 - PATH NOT MATCHING|2001 - NO MATCHING DEVICE|"
      "3001 - NO DEVICE CONNECTED TO DRIVER|3002 - FIRMWARE FILE NOT FOUND|"
      "3003 - FIRMWARE FILE CORRUPTED|3004 - FIRMWARE DL FAILED|3005 - XFER INCOMPLETE|"
      "3006 - UNEXPECTED ENDPOINT ERROR|3007 - RESET FAILED|3008 - INVALID EP ADDRESS|"
      "3009 - BULK TRANSFER|3010 - NO FIRMWARE PRESENT");
  Rig rig;
  for (std::string text; std::getline(table, text, '|');) {
    rig.reporter.messages.clear();
    rig.link.ShowUSBError(std::stoi(text));
    EXPECT_EQ(rig.reporter.messages, Lines{text});
    EXPECT_EQ(usbErrorText(std::stoi(text)), text);
  }
  for (const int silent : {0, -1, 1000, 1006, 2000, 2002, 3000, 3011, 32767, -3001}) {
    rig.link.ShowUSBError(silent);
    EXPECT_FALSE(usbErrorText(silent).has_value()) << silent;
  }
  EXPECT_EQ(rig.reporter.messages, Lines{"3010 - NO FIRMWARE PRESENT"}) << "silent codes show none";
}

}  // namespace
}  // namespace kv4410::board
