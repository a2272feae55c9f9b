// The libusb board against a fake transport: search and connect, the firmware load sequence,
// the request mapping and the mapping of USB errors to statuses.
#include "board/libusb_board.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "board/hex_records.h"

namespace kv4410::board {
namespace {

std::string hex2(unsigned v) {
  char text[8];
  std::snprintf(text, sizeof text, "%02X", v);
  return text;
}
std::string hex4(unsigned v) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", v);
  return text;
}

struct Transfer {
  std::uint8_t type;
  std::uint8_t request;
  std::uint16_t value;
  std::uint16_t index;
  std::vector<std::uint8_t> data;  // what went out (OUT) or the length in zeros (IN)
  unsigned timeoutMs;
};

// Records every call; scripted errors are consumed in order. After the CPU starts, the old
// device stays listed for `oldLists` lists (a hub that reports the departure late), then beside
// the returned board for `bothLists`, then the board is missing for `absentLists`; from then on
// it is listed at the port it left with address `newAddress`. Transfers on a handle of the old
// device fail: it is gone.
class FakeTransport : public UsbTransport {
 public:
  std::vector<UsbDeviceInfo> devices;
  int oldLists = 0;
  int bothLists = 0;
  int absentLists = 0;
  std::uint8_t newAddress = 9;
  UsbError openError = UsbError::None;
  UsbError claimError = UsbError::None;
  std::deque<UsbResult> results;  // per control transfer; success when empty
  std::vector<std::uint8_t> inReply = {0x34, 0x12, 0xAB};

  std::vector<std::string> log;
  std::vector<Transfer> transfers;
  unsigned slept = 0;

  UsbError listDevices(std::vector<UsbDeviceInfo>& out) override {
    log.push_back("list");
    out.clear();
    int* phase = oldLists > 0      ? &oldLists
                 : bothLists > 0   ? &bothLists
                 : absentLists > 0 ? &absentLists
                                   : nullptr;
    const bool showOld = !gone_ || phase == &oldLists || phase == &bothLists;
    const bool showNew = gone_ && (phase == &bothLists || phase == nullptr);
    if (gone_ && phase != nullptr) {
      --*phase;
    }
    for (const auto& device : devices) {
      const bool left = gone_ && device.bus == left_.bus && device.address == left_.address;
      if (!left || showOld) {
        out.push_back(device);
      }
      if (left && showNew) {
        out.push_back(device);
        out.back().address = newAddress;
      }
    }
    return UsbError::None;
  }
  UsbError open(const UsbDeviceInfo& device) override {
    log.push_back("open " + std::to_string(device.bus) + "@" + std::to_string(device.address));
    opened_ = device;
    return openError;
  }
  UsbError claimInterface(int number) override {
    log.push_back("claim " + std::to_string(number));
    return claimError;
  }
  void close() override {
    log.push_back("close");
    opened_ = {};
  }
  UsbResult controlTransfer(std::uint8_t type, std::uint8_t request, std::uint16_t value,
                            std::uint16_t index, std::uint8_t* data, std::uint16_t length,
                            unsigned timeoutMs) override {
    log.push_back("ctrl " + hex2(type) + " " + hex2(request) + " " + hex4(value));
    transfers.push_back(
        {type, request, value, index, std::vector<std::uint8_t>(data, data + length), timeoutMs});
    if (gone_ && opened_.address == left_.address) {
      return {UsbError::NoDevice, 0};
    }
    if (request == 0xA0 && value == 0xE600 && length == 1 && data[0] == 0) {
      gone_ = true;  // the CPU runs the new firmware: the board leaves the bus
      left_ = opened_;
    }
    UsbResult result{UsbError::None, length};
    if (!results.empty()) {
      result = results.front();
      results.pop_front();
    }
    if ((type & 0x80) != 0 && result.error == UsbError::None) {
      for (int i = 0; i < result.transferred && i < static_cast<int>(inReply.size()); ++i) {
        data[i] = inReply[static_cast<std::size_t>(i)];
      }
    }
    return result;
  }
  void sleepMs(unsigned ms) override {
    log.push_back("sleep " + std::to_string(ms));
    slept += ms;
  }

 private:
  bool gone_ = false;
  UsbDeviceInfo left_;
  UsbDeviceInfo opened_;
};

const UsbDeviceInfo kBoardA{0x2F4C, 0x7105, 1, 5, {1, 4}};
const UsbDeviceInfo kOther{0x1234, 0x5678, 1, 2, {2}};
const UsbDeviceInfo kBoardB{0x2F4C, 0x7105, 2, 3, {3}};

class LibusbBoardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto owned = std::make_unique<FakeTransport>();
    usb = owned.get();
    usb->devices = {kBoardA, kOther, kBoardB};
    board = std::make_unique<LibusbBoard>(std::move(owned));
  }
  Status connect(std::uint8_t entry = 0) {
    std::int16_t count = 0;
    BoardList list{};
    board->Search_For_Boards(kVendorId, kProductId, count, list);
    return board->Connect(kVendorId, kProductId, entry, handle);
  }
  std::filesystem::path writeFile(const std::string& name, const std::string& text) {
    auto path = std::filesystem::temp_directory_path() /
                ("kv4410_board_test_" + std::to_string(::getpid()) + "_" + name);
    std::ofstream(path, std::ios::binary) << text;
    created.push_back(path);
    return path;
  }
  void TearDown() override {
    for (const auto& path : created) {
      std::filesystem::remove(path);
    }
  }

  FakeTransport* usb = nullptr;
  std::unique_ptr<LibusbBoard> board;
  std::int32_t handle = 0;
  std::vector<std::filesystem::path> created;
};

TEST_F(LibusbBoardTest, SearchListsTheBoardsWithTheIdsOnly) {
  std::int16_t count = 0;
  BoardList list{};
  list.fill(0xEE);
  EXPECT_EQ(board->Search_For_Boards(kVendorId, kProductId, count, list), 0);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(list[0], 0);
  EXPECT_EQ(list[1], 1);
  EXPECT_EQ(list[2], 0);

  usb->devices = {kOther};
  EXPECT_EQ(board->Search_For_Boards(kVendorId, kProductId, count, list), 1001);
  EXPECT_EQ(count, 0);
}

TEST_F(LibusbBoardTest, ConnectOpensTheChosenBoardAndClaimsInterfaceZero) {
  EXPECT_EQ(connect(1), 0);
  EXPECT_EQ(handle, LibusbBoard::kHandle);
  EXPECT_EQ(usb->log, (std::vector<std::string>{"list", "close", "open 2@3", "claim 0"}));
  EXPECT_TRUE(board->open());
}

TEST_F(LibusbBoardTest, ConnectFailures) {
  struct Case {
    std::uint8_t entry;
    UsbError open;
    UsbError claim;
    Status status;
  };
  const Case cases[] = {
      {2, UsbError::None, UsbError::None, 2001},     {0, UsbError::Access, UsbError::None, 1002},
      {0, UsbError::NoDevice, UsbError::None, 3001}, {0, UsbError::None, UsbError::Busy, 1002},
      {0, UsbError::None, UsbError::NoDevice, 3001},
  };
  for (const auto& c : cases) {
    SetUp();
    usb->openError = c.open;
    usb->claimError = c.claim;
    EXPECT_EQ(connect(c.entry), c.status) << int{c.entry};
    EXPECT_FALSE(board->open());
    std::uint8_t data[3] = {};
    const auto before = usb->log.size();
    EXPECT_EQ(board->Vendor_Request(LibusbBoard::kHandle, 224, 0, 0, kDirOut, 0, data), 3001);
    EXPECT_EQ(usb->log.size(), before) << "no USB call without an open board";
  }
}

TEST_F(LibusbBoardTest, FirmwareLoadsInBlocksThenWaitsForTheBoardToComeBack) {
  ASSERT_EQ(connect(), 0);
  // 1500 bytes from 0x0000 in 16-byte records, and 3 bytes at 0x2000.
  std::vector<std::uint8_t> image(1500);
  std::string text;
  for (std::size_t i = 0; i < image.size(); ++i) {
    image[i] = static_cast<std::uint8_t>(i * 7 + 3);
  }
  for (std::size_t at = 0; at < image.size(); at += 16) {
    const std::size_t n = std::min<std::size_t>(16, image.size() - at);
    text += testing::hexRecord(0, static_cast<std::uint16_t>(at),
                               {image.begin() + at, image.begin() + at + n}) +
            "\r\n";
  }
  text += testing::hexRecord(0, 0x2000, {0xC0, 0xFF, 0xEE}) + "\r\n" + testing::kEndRecord;
  usb->log.clear();
  usb->absentLists = 2;

  EXPECT_EQ(board->Download_Firmware(handle, writeFile("fw.hex", text)), 0);
  EXPECT_EQ(usb->log, (std::vector<std::string>{
                          "ctrl 40 A0 E600", "ctrl 40 A0 0000", "ctrl 40 A0 0400",
                          "ctrl 40 A0 2000", "ctrl 40 A0 E600", "close", "sleep 50", "list",
                          "sleep 50", "list", "sleep 50", "list", "open 1@9", "claim 0"}));
  ASSERT_EQ(usb->transfers.size(), 5u);
  EXPECT_EQ(usb->transfers[0].data, (std::vector<std::uint8_t>{1}));
  EXPECT_EQ(usb->transfers[1].data, std::vector<std::uint8_t>(image.begin(), image.begin() + 1024));
  EXPECT_EQ(usb->transfers[2].data, std::vector<std::uint8_t>(image.begin() + 1024, image.end()));
  EXPECT_EQ(usb->transfers[3].data, (std::vector<std::uint8_t>{0xC0, 0xFF, 0xEE}));
  EXPECT_EQ(usb->transfers[4].data, (std::vector<std::uint8_t>{0}));
  for (const auto& t : usb->transfers) {
    EXPECT_EQ(t.index, 0);
    EXPECT_GT(t.timeoutMs, 0u);
  }
  std::uint8_t data[3] = {};
  EXPECT_EQ(board->Vendor_Request(handle, 224, 0, 0, kDirOut, 0, data), 0);
}

TEST_F(LibusbBoardTest, FailedStartTransferIsExpectedAndNotAnError) {
  ASSERT_EQ(connect(), 0);
  const auto file =
      writeFile("small.hex", testing::hexRecord(0, 0, {1, 2}) + "\n" + testing::kEndRecord + "\n");
  usb->results = {{UsbError::None, 1}, {UsbError::None, 2}, {UsbError::NoDevice, 0}};
  EXPECT_EQ(board->Download_Firmware(handle, file), 0);
}

TEST_F(LibusbBoardTest, BoardIsReopenedOnlyOnceItLeftAndCameBackAtANewAddress) {
  struct Case {
    const char* what;
    int oldLists, bothLists, absentLists;
    Status status;
    unsigned slept;
  };
  const Case cases[] = {
      {"late disconnect", 4, 0, 0, 0, 250},
      {"late disconnect, then a gap", 3, 0, 3, 0, 350},
      {"new address listed beside the old", 0, 3, 0, 0, 200},
      {"old device never leaves", 1000, 0, 0, 3004, 5000},
      {"never comes back", 0, 0, 1000, 3004, 5000},
      {"comes back at the last look", 0, 0, 99, 0, 5000},
      {"comes back too late", 0, 0, 100, 3004, 5000},
  };
  for (const auto& c : cases) {
    SetUp();
    ASSERT_EQ(connect(), 0);
    const auto file = writeFile(
        "small.hex", testing::hexRecord(0, 0, {1, 2}) + "\n" + testing::kEndRecord + "\n");
    usb->oldLists = c.oldLists;
    usb->bothLists = c.bothLists;
    usb->absentLists = c.absentLists;
    usb->log.clear();
    EXPECT_EQ(board->Download_Firmware(handle, file), c.status) << c.what;
    EXPECT_EQ(usb->slept, c.slept) << c.what << ": looks every 50 ms for at most 5 s";
    std::vector<std::string> opens;
    std::copy_if(usb->log.begin(), usb->log.end(), std::back_inserter(opens),
                 [](const std::string& line) { return line.rfind("open", 0) == 0; });
    EXPECT_EQ(opens,
              c.status == 0 ? std::vector<std::string>{"open 1@9"} : std::vector<std::string>{})
        << c.what;
    const auto before = usb->log.size();
    std::uint8_t data[3] = {};
    EXPECT_EQ(board->Vendor_Request(handle, 224, 0, 0, kDirOut, 0, data), c.status == 0 ? 0 : 3001)
        << c.what;
    EXPECT_EQ(usb->log.size() - before, c.status == 0 ? 1u : 0u) << c.what;
  }
}

TEST_F(LibusbBoardTest, BoardThatRunsTheFirmwareAlreadyIsNotLoadedAgain) {
  ASSERT_EQ(connect(), 0);
  const auto file =
      writeFile("small.hex", testing::hexRecord(0, 0, {1, 2}) + "\n" + testing::kEndRecord + "\n");
  usb->log.clear();
  usb->results = {{UsbError::Stall, 0}};  // the firmware refuses the loader's request
  EXPECT_EQ(board->Download_Firmware(handle, file), 0);
  std::uint8_t data[3] = {};
  EXPECT_EQ(board->Vendor_Request(handle, 224, 0, 0, kDirOut, 0, data), 0);
  EXPECT_EQ(usb->log, (std::vector<std::string>{"ctrl 40 A0 E600", "ctrl 40 E0 0000"}))
      << "no image, no re-enumeration: the start request goes to the open board";
}

TEST_F(LibusbBoardTest, FirmwareFileProblems) {
  ASSERT_EQ(connect(), 0);
  const std::string good = testing::hexRecord(0, 0, {1, 2}) + "\n" + testing::kEndRecord;
  struct Case {
    const char* what;
    std::filesystem::path path;
    std::deque<UsbResult> results;
    Status status;
  };
  const Case cases[] = {
      {"missing", std::filesystem::temp_directory_path() / "kv4410_no_such_file.hex", {}, 3002},
      {"directory", std::filesystem::temp_directory_path(), {}, 3002},
      {"corrupt", writeFile("bad.hex", ":0200000001FF\n" + testing::kEndRecord), {}, 3003},
      {"no end", writeFile("noend.hex", testing::hexRecord(0, 0, {1})), {}, 3003},
      {"reset times out", writeFile("a.hex", good), {{UsbError::Timeout, 0}}, 3004},
      {"block stalls", writeFile("b.hex", good), {{UsbError::None, 1}, {UsbError::Stall, 0}}, 3004},
      {"block short", writeFile("c.hex", good), {{UsbError::None, 1}, {UsbError::None, 1}}, 3004},
  };
  for (const auto& c : cases) {
    usb->transfers.clear();
    usb->results = c.results;
    EXPECT_EQ(board->Download_Firmware(handle, c.path), c.status) << c.what;
    if (c.status != 3004) {
      EXPECT_TRUE(usb->transfers.empty()) << c.what << ": nothing goes to the board";
    }
  }
}

TEST_F(LibusbBoardTest, RequestsAreVendorControlTransfersWithATimeout) {
  ASSERT_EQ(connect(), 0);
  std::uint8_t data[3] = {0, 0, 0};
  EXPECT_EQ(board->Vendor_Request(handle, 221, 0xB300, 0x0F21, kDirOut, 0, data), 0);
  EXPECT_EQ(board->Vendor_Request(handle, 233, 0, 0, kDirIn, 3, data), 0);
  ASSERT_EQ(usb->transfers.size(), 2u);
  const Transfer& out = usb->transfers[0];
  EXPECT_EQ(out.type, 0x40);
  EXPECT_EQ(out.request, 221);
  EXPECT_EQ(out.value, 0xB300);
  EXPECT_EQ(out.index, 0x0F21);
  EXPECT_TRUE(out.data.empty());
  EXPECT_EQ(out.timeoutMs, 1000u);
  const Transfer& in = usb->transfers[1];
  EXPECT_EQ(in.type, 0xC0);
  EXPECT_EQ(in.request, 233);
  EXPECT_EQ(in.data.size(), 3u);
  EXPECT_EQ(in.timeoutMs, 1000u);
  EXPECT_EQ(data[0], 0x34);
  EXPECT_EQ(data[1], 0x12);
  EXPECT_EQ(data[2], 0xAB);
}

TEST_F(LibusbBoardTest, UsbErrorsMapToStatusesAndKeepTheBuffer) {
  ASSERT_EQ(connect(), 0);
  struct Case {
    UsbResult result;
    Status status;
  };
  const Case cases[] = {
      {{UsbError::Timeout, 0}, 3005},
      {{UsbError::None, 2}, 3005},  // short
      {{UsbError::Stall, 0}, 3006},
      {{UsbError::Other, 0}, 3005},
  };
  for (const auto& c : cases) {
    usb->results = {c.result};
    std::uint8_t data[3] = {7, 8, 9};
    EXPECT_EQ(board->Vendor_Request(handle, 221, 0, 0, kDirIn, 3, data), c.status);
    EXPECT_EQ(data[0], 7);
    EXPECT_EQ(data[1], 8);
    EXPECT_EQ(data[2], 9);
    EXPECT_TRUE(board->open());
  }
}

TEST_F(LibusbBoardTest, DeviceThatVanishesMidRunAnswers3001FromThenOn) {
  ASSERT_EQ(connect(), 0);
  std::uint8_t data[3] = {};
  EXPECT_EQ(board->Vendor_Request(handle, 221, 1, 2, kDirOut, 0, data), 0);
  usb->results = {{UsbError::NoDevice, 0}};
  EXPECT_EQ(board->Vendor_Request(handle, 221, 1, 2, kDirOut, 0, data), 3001);
  EXPECT_EQ(usb->log.back(), "close");
  const auto calls = usb->log.size();
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(board->Vendor_Request(handle, 233, 0, 0, kDirIn, 3, data), 3001);
  }
  EXPECT_EQ(board->Download_Firmware(handle, "/x.hex"), 3001);
  EXPECT_EQ(usb->log.size(), calls) << "libusb is not touched again";
}

TEST_F(LibusbBoardTest, CallsBeforeConnectOrWithAnotherHandleFail) {
  std::uint8_t data[3] = {};
  EXPECT_EQ(board->Vendor_Request(LibusbBoard::kHandle, 224, 0, 0, kDirOut, 0, data), 3001);
  EXPECT_EQ(board->Download_Firmware(LibusbBoard::kHandle, "/x.hex"), 3001);
  EXPECT_TRUE(usb->log.empty());
  ASSERT_EQ(connect(), 0);
  EXPECT_EQ(board->Vendor_Request(handle + 1, 224, 0, 0, kDirOut, 0, data), 3001);
}

}  // namespace
}  // namespace kv4410::board
