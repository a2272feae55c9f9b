// The libusb board against a fake transport: search and connect, the firmware load sequence,
// the request mapping and the mapping of USB errors to statuses.
#include "board/libusb_board.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "board/board_link.h"
#include "board/recording_board.h"
#include "board/tracing_board.h"

namespace kv4410::board {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string hex(unsigned value, int digits) {
  char text[8];
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

// One Intel HEX data record.
std::string dataRecord(std::uint16_t address, const Bytes& data) {
  Bytes bytes = {static_cast<std::uint8_t>(data.size()), static_cast<std::uint8_t>(address >> 8),
                 static_cast<std::uint8_t>(address & 0xFF), 0};
  bytes.insert(bytes.end(), data.begin(), data.end());
  std::string line = ":";
  unsigned sum = 0;
  for (const std::uint8_t b : bytes) {
    sum += b;
    line += hex(b, 2);
  }
  return line + hex((0x100 - sum % 0x100) % 0x100, 2) + "\n";
}

const char* const kSmallImage = ":020000000102FB\n:00000001FF\n";

// Records every call in `log`; the `failAt`-th control transfer answers `failure`. Once the
// CPU starts, the first board leaves the bus: each list after that shows, by the letters of
// `lists`, the Old device still (a hub that reports the departure late: it cannot be opened),
// Both the old device and the returned one at address 9 of the same port, or it is Absent; then
// the New one only; or the board Stays at its old address, running. Timeouts move the clock.
class FakeTransport : public UsbTransport {
 public:
  std::vector<UsbDeviceInfo> devices = {
      {0x2F4C, 0x7105, 1, 5, {1, 4}}, {0x1234, 0x5678, 1, 2, {2}}, {0x2F4C, 0x7105, 2, 3, {3}}};
  std::string lists;
  UsbError openError = UsbError::None, claimError = UsbError::None;
  std::size_t failAt = 0;
  UsbResult failure;
  std::string log;          // "list, open 1@5, claim 0, ctrl 40 A0 E600, sleep 50, close"
  std::vector<Bytes> sent;  // by each control transfer (zeros for IN)
  unsigned slept = 0;
  std::uint64_t clock = 0;

  UsbError listDevices(std::vector<UsbDeviceInfo>& out) override {
    note("list");
    shown_ = !gone_ ? 'O' : listed_ < lists.size() ? lists[listed_++] : 'N';
    out.clear();
    for (const auto& device : devices) {
      const bool left = gone_ && &device == &devices[0];
      if (!left || shown_ == 'O' || shown_ == 'B' || shown_ == 'S') {
        out.push_back(device);
      }
      if (left && (shown_ == 'B' || shown_ == 'N')) {
        out.push_back(device);
        out.back().address = 9;
      }
    }
    return UsbError::None;
  }
  UsbError open(const UsbDeviceInfo& device) override {
    note("open " + std::to_string(device.bus) + "@" + std::to_string(device.address));
    return gone_ && shown_ == 'O' && device.address == 5 ? UsbError::NoDevice : openError;
  }
  UsbError claimInterface(int number) override {
    note("claim " + std::to_string(number));
    return claimError;
  }
  void close() override { note("close"); }
  UsbResult controlTransfer(std::uint8_t type, std::uint8_t request, std::uint16_t value,
                            std::uint16_t index, std::uint8_t* data, std::uint16_t length,
                            unsigned timeoutMs) override {
    // "ctrl <type> <request> <value>", then the index, an IN length and a timeout other than
    // 1000 ms when there are.
    note("ctrl " + hex(type, 2) + " " + hex(request, 2) + " " + hex(value, 4) +
         (index != 0 ? " index " + hex(index, 4) : "") +
         ((type & 0x80) != 0 ? " in " + std::to_string(length) : "") +
         (timeoutMs != 1000 ? " " + std::to_string(timeoutMs) + " ms" : ""));
    sent.emplace_back(data, data + length);
    // The CPU runs the new firmware: the board leaves the bus.
    gone_ = gone_ || (request == 0xA0 && value == 0xE600 && length == 1 && data[0] == 0);
    const UsbResult result = sent.size() == failAt ? failure : UsbResult{UsbError::None, length};
    clock += result.error == UsbError::Timeout ? timeoutMs : 0;
    if ((type & 0x80) != 0 && result.error == UsbError::None) {
      std::copy_n(Bytes{0x34, 0x12, 0xAB}.begin(), std::min(result.transferred, 3), data);
    }
    return result;
  }
  void sleepMs(unsigned ms) override {
    note("sleep " + std::to_string(ms));
    slept += ms;
    clock += ms;
  }
  std::uint64_t clockMs() override { return clock; }

 private:
  void note(const std::string& call) { log += (log.empty() ? "" : ", ") + call; }
  bool gone_ = false;
  std::size_t listed_ = 0;
  char shown_ = 'O';
};

// A libusb board on a fake transport, connected to the first board unless told otherwise, and
// a firmware file.
struct Rig {
  explicit Rig(bool connect = true) {
    std::int16_t count = 0;
    BoardList list{};
    std::int32_t handle = 0;
    if (connect) {
      board.Search_For_Boards(kVendorId, kProductId, count, list);
      EXPECT_EQ(board.Connect(kVendorId, kProductId, 0, handle), 0);
      usb->log.clear();
    }
  }
  ~Rig() { std::filesystem::remove(file); }
  Status load(const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
    return board.Download_Firmware(1, file);
  }
  Status start() { return board.Vendor_Request(1, 224, 0, 0, kDirOut, 0, data); }

  FakeTransport* usb = new FakeTransport;
  LibusbBoard board{std::unique_ptr<UsbTransport>(usb)};
  const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                     ("kv4410_board_test_" + std::to_string(::getpid()) + ".hex");
  std::uint8_t data[3] = {7, 8, 9};
};

TEST(LibusbBoard, ConnectOpensTheChosenBoardAndNothingGoesOutWithoutIt) {
  struct Case {
    std::uint8_t entry;
    UsbError open, claim;
    Status status;    // -1: no Connect at all
    const char* log;  // then a start request and, unless connected, a firmware download
  };
  const Case cases[] = {
      {1, UsbError::None, UsbError::None, 0, "list, close, open 2@3, claim 0, ctrl 40 E0 0000"},
      {0, UsbError::None, UsbError::None, -1, ""},
      {2, UsbError::None, UsbError::None, 2001, "list"},
      {0, UsbError::Access, UsbError::None, 1002, "list, close, open 1@5"},
      {0, UsbError::NoDevice, UsbError::None, 3001, "list, close, open 1@5"},
      {0, UsbError::None, UsbError::Busy, 1002, "list, close, open 1@5, claim 0, close"},
      {0, UsbError::None, UsbError::NoDevice, 3001, "list, close, open 1@5, claim 0, close"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.log);
    Rig rig(false);
    rig.usb->openError = c.open;
    rig.usb->claimError = c.claim;
    std::int32_t handle = 0;
    if (c.status != -1) {
      EXPECT_EQ(rig.board.Connect(kVendorId, kProductId, c.entry, handle), c.status);
    }
    EXPECT_EQ(handle, c.status == 0 ? LibusbBoard::kHandle : 0);
    EXPECT_EQ(rig.start(), c.status == 0 ? 0 : 3001);
    EXPECT_EQ(rig.board.Vendor_Request(2, 224, 0, 0, kDirOut, 0, rig.data), 3001) << "handle 2";
    if (c.status != 0) {
      EXPECT_EQ(rig.load(kSmallImage), 3001);
    }
    EXPECT_EQ(rig.usb->log, c.log);
  }
  Rig rig(false);
  std::int16_t count = 0;
  BoardList list{};
  list.fill(0xEE);
  EXPECT_EQ(rig.board.Search_For_Boards(kVendorId, kProductId, count, list), 0);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(Bytes(list.begin(), list.begin() + 3), (Bytes{0, 1, 0})) << "boards with the IDs";
  rig.usb->devices = {rig.usb->devices[1]};
  EXPECT_EQ(rig.board.Search_For_Boards(kVendorId, kProductId, count, list), 1001);
  EXPECT_EQ(count, 0);
}

TEST(LibusbBoard, FirmwareLoadsInBlocksThenWaitsForTheBoardToComeBack) {
  Rig rig;
  // 1100 bytes from 0x0000 in records of 100, and 3 bytes at 0x2000.
  Bytes image;
  std::string text;
  for (int k = 0; k < 11; ++k) {
    const Bytes record(100, static_cast<std::uint8_t>(k));
    text += dataRecord(static_cast<std::uint16_t>(100 * k), record);
    image.insert(image.end(), record.begin(), record.end());
  }
  rig.usb->lists = "AA";
  EXPECT_EQ(rig.load(text + dataRecord(0x2000, {0xC0, 0xFF, 0xEE}) + ":00000001FF"), 0);
  EXPECT_EQ(rig.usb->log,
            "ctrl 40 A0 E600, ctrl 40 A0 0000, ctrl 40 A0 0400, ctrl 40 A0 2000, ctrl 40 A0 E600, "
            "close, sleep 50, list, sleep 50, list, sleep 50, list, open 1@9, claim 0");
  const std::vector<Bytes> blocks = {{1},
                                     Bytes(image.begin(), image.begin() + 1024),
                                     Bytes(image.begin() + 1024, image.end()),
                                     {0xC0, 0xFF, 0xEE},
                                     {0}};
  EXPECT_EQ(rig.usb->sent, blocks);
}

TEST(LibusbBoard, BoardIsReopenedOnceItCameBackAtANewAddressOrAnsweredAsOurFirmware) {
  const std::string back = "list, open 1@9, claim 0, ctrl 40 E0 0000";
  const std::string asked = "list, open 1@5, ctrl C0 A0 E600 in 1, ";
  struct Case {
    const char* what;
    std::string lists;
    Status status;
    unsigned slept;
    std::string last;                       // the log from the last list on, with the start
    UsbError firstAnswer = UsbError::None;  // of the first look at a board that stays
  };
  const Case cases[] = {
      {"late disconnect", "OOOO", 0, 250, back},
      {"late disconnect, then a gap", "OOOAAA", 0, 350, back},
      {"new address listed beside the old", "BBB", 0, 200, back},
      {"old device never leaves", std::string(100, 'O'), 3004, 5000, "list, open 1@5"},
      {"never comes back", std::string(100, 'A'), 3004, 5000, "list"},
      {"comes back at the last look", std::string(99, 'A'), 0, 5000, back},
      {"stays, running our firmware", "S", 0, 50, asked + "claim 0, ctrl 40 E0 0000",
       UsbError::Stall},
      {"stays, its loader answers", std::string(100, 'S'), 3004, 5000, asked + "close"},
      // The wait is measured by the clock: the look that timed out took 1 s of the 5.
      {"stays, first look times out", std::string(100, 'S'), 3004, 4000, asked + "close",
       UsbError::Timeout},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Rig rig;
    rig.usb->lists = c.lists;
    rig.usb->failAt = c.firstAnswer == UsbError::None ? 0 : 4;  // reset, image, run, the look
    rig.usb->failure = {c.firstAnswer, 0};
    EXPECT_EQ(rig.load(kSmallImage), c.status);
    EXPECT_EQ(rig.usb->slept, c.slept) << "looks every 50 ms for at most 5 s";
    EXPECT_EQ(rig.start(), c.status == 0 ? 0 : 3001);
    const std::string& log = rig.usb->log;
    EXPECT_EQ(log.substr(log.rfind("list")), c.last);
    EXPECT_EQ(log.find("claim"), log.rfind("claim")) << "taken once";
  }
}

TEST(LibusbBoard, FirmwareFileAndTransferProblems) {
  struct Case {
    const char* what;
    const char* text;  // of the file
    std::size_t failAt;
    UsbError error;
    int transferred;
    Status status;
    const char* log;  // then the start request when the load succeeded
  };
  const Case cases[] = {
      {"corrupt", ":0200000001FF\n:00000001FF", 0, UsbError::None, 0, 3003, ""},
      {"reset times out", kSmallImage, 1, UsbError::Timeout, 0, 3004, "ctrl 40 A0 E600"},
      {"block stalls", kSmallImage, 2, UsbError::Stall, 0, 3004,
       "ctrl 40 A0 E600, ctrl 40 A0 0000"},
      {"block short", kSmallImage, 2, UsbError::None, 1, 3004, "ctrl 40 A0 E600, ctrl 40 A0 0000"},
      // The firmware runs already and refuses the loader's request: no image, no
      // re-enumeration, the start request goes to the open board.
      {"already running", kSmallImage, 1, UsbError::Stall, 0, 0,
       "ctrl 40 A0 E600, ctrl 40 E0 0000"},
      // The board may leave the bus before it answers the start transfer.
      {"start fails", kSmallImage, 3, UsbError::NoDevice, 0, 0,
       "ctrl 40 A0 E600, ctrl 40 A0 0000, ctrl 40 A0 E600, close, sleep 50, list, open 1@9, "
       "claim 0, ctrl 40 E0 0000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Rig rig;
    rig.usb->failAt = c.failAt;
    rig.usb->failure = {c.error, c.transferred};
    EXPECT_EQ(rig.load(c.text), c.status);
    if (c.status == 0) {
      EXPECT_EQ(rig.start(), 0);
    }
    EXPECT_EQ(rig.usb->log, c.log);
  }
  Rig rig;
  const auto missing = std::filesystem::temp_directory_path() / "kv4410_no_such_file.hex";
  EXPECT_EQ(rig.board.Download_Firmware(1, missing), 3002);
  EXPECT_EQ(rig.board.Download_Firmware(1, std::filesystem::temp_directory_path()), 3002);
  EXPECT_EQ(rig.usb->log, "") << "nothing goes to the board";
}

TEST(LibusbBoard, RequestsAreVendorControlTransfersAndErrorsMapToStatuses) {
  struct Case {
    std::uint8_t direction;
    UsbResult result;
    Status status;
    Bytes data;  // the caller's buffer afterwards
  };
  const Case cases[] = {
      {kDirOut, {UsbError::None, 0}, 0, {7, 8, 9}},
      {kDirIn, {UsbError::None, 3}, 0, {0x34, 0x12, 0xAB}},
      {kDirIn, {UsbError::Timeout, 0}, 3005, {7, 8, 9}},
      {kDirIn, {UsbError::None, 2}, 3005, {7, 8, 9}},  // short
      {kDirIn, {UsbError::Stall, 0}, 3006, {7, 8, 9}},
      {kDirIn, {UsbError::Other, 0}, 3005, {7, 8, 9}},
      {kDirIn, {UsbError::NoDevice, 0}, 3001, {7, 8, 9}},  // gone: closed for good
  };
  for (const auto& c : cases) {
    Rig rig;
    rig.usb->failAt = 1;
    rig.usb->failure = c.result;
    const std::uint16_t length = c.direction == kDirIn ? 3 : 0;
    EXPECT_EQ(rig.board.Vendor_Request(1, 221, 0xB300, 0x0F21, c.direction, length, rig.data),
              c.status);
    EXPECT_EQ(Bytes(rig.data, rig.data + 3), c.data);
    EXPECT_EQ(rig.board.open(), c.status != 3001);
    EXPECT_EQ(rig.start(), c.status == 3001 ? 3001 : 0) << "gone: libusb is not touched again";
    EXPECT_EQ(rig.usb->log, std::string(c.direction == kDirIn ? "ctrl C0 DD B300 index 0F21 in 3"
                                                              : "ctrl 40 DD B300 index 0F21") +
                                (c.status == 3001 ? ", close" : ", ctrl 40 E0 0000"));
  }
}

TEST(LibusbBoard, SeveralBoardsAreNamedByBusAndPortAndListedWithTheirFirmware) {
  const std::pair<const char*, std::optional<BoardLocation>> names[] = {
      {"1-4", BoardLocation{1, {4}}},
      {"3-1.2.4", BoardLocation{3, {1, 2, 4}}},
      {"255-1.7.7.7.7.7.255", BoardLocation{255, {1, 7, 7, 7, 7, 7, 255}}},
      {"", std::nullopt},
      {"1", std::nullopt},
      {"1-", std::nullopt},
      {"0-1", std::nullopt},
      {"1-0", std::nullopt},
      {"256-1", std::nullopt},
      {"1-2.", std::nullopt},
      {"1-2..3", std::nullopt},
      {"1-2x", std::nullopt},
      {" 1-2", std::nullopt},
      {"1-1.1.1.1.1.1.1.1", std::nullopt},  // eight ports deep
  };
  for (const auto& [text, location] : names) {
    EXPECT_EQ(parseLocation(text), location) << text;
    if (location) {
      EXPECT_EQ(locationText(*location), text);
    }
  }

  // --board: the search lists only the board there, so entry 0 is that board.
  Rig rig(false);
  rig.board.onlyAt(BoardLocation{2, {3}});
  std::int16_t count = 0;
  BoardList list{};
  std::int32_t handle = 0;
  EXPECT_EQ(rig.board.Search_For_Boards(kVendorId, kProductId, count, list), 0);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(rig.board.location(), std::nullopt);
  EXPECT_EQ(rig.board.Connect(kVendorId, kProductId, 0, handle), 0);
  EXPECT_EQ(rig.board.location(), (BoardLocation{2, {3}}));
  EXPECT_EQ(rig.usb->log, "list, close, open 2@3, claim 0");
  rig.board.onlyAt(BoardLocation{1, {4, 1}});  // a hub's port below the board's
  EXPECT_EQ(rig.board.Search_For_Boards(kVendorId, kProductId, count, list), 1001);

  // list: each board asked by a read its loader answers and a firmware refuses.
  rig.usb->log.clear();
  rig.usb->failAt = 2;
  rig.usb->failure = {UsbError::Stall, 0};
  auto listed = rig.board.survey(kVendorId, kProductId);
  ASSERT_EQ(listed.size(), 2U);
  EXPECT_EQ(listed[0].firmware, LibusbBoard::Firmware::NotLoaded);
  EXPECT_EQ(listed[1].firmware, LibusbBoard::Firmware::Ours);
  EXPECT_EQ(rig.board.open(), false);
  EXPECT_EQ(rig.usb->log,
            "close, list, open 1@5, ctrl C0 A0 E600 in 1, close, open 2@3, ctrl C0 A0 E600 in 1, "
            "close");
  rig.usb->failure = {UsbError::Timeout, 0};
  rig.usb->failAt = 3;
  EXPECT_EQ(rig.board.survey(kVendorId, kProductId)[0].firmware, LibusbBoard::Firmware::Unknown);
  rig.usb->openError = UsbError::Access;
  listed = rig.board.survey(kVendorId, kProductId);
  EXPECT_EQ(listed[1].firmware, LibusbBoard::Firmware::Unknown);
  EXPECT_EQ(listed[1].openError, UsbError::Access);
}

TEST(LibusbBoard, ARunShortensTheWaitOfEachRequestUntilItEnds) {
  auto* usb = new FakeTransport;
  TracingBoard traced(std::make_unique<LibusbBoard>(std::unique_ptr<UsbTransport>(usb)),
                      [](std::string_view) {});
  testing::RecordingReporter reporter;
  BoardLink link(traced, reporter);
  link.LoadUSB(std::filesystem::temp_directory_path() / "kv4410_no_such_file.hex");
  usb->log.clear();
  {
    const BoardLink::QuickTransfers quick(link);
    link.SPIWrite(29, 0x0F21B300);
    EXPECT_EQ(link.readAdcNow(), 0x1234);
    link.setTransferTimeout(std::chrono::milliseconds{0});  // libusb would wait for ever
    link.pulseLoad();
  }
  link.loadHigh();
  link.setTransferTimeout(std::chrono::milliseconds{5000});
  link.loadLow();
  EXPECT_EQ(usb->log,
            "ctrl 40 DD B300 index 0F21 80 ms, ctrl 40 E8 0000 80 ms, ctrl C0 E9 0000 in 3 80 ms, "
            "ctrl 40 DE 0000 1 ms, ctrl 40 E2 0000, ctrl 40 E3 0000");
}

}  // namespace
}  // namespace kv4410::board
