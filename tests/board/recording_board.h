#pragma once
// A BoardAccess that records every call and answers with scripted statuses and reply bytes, and
// a Reporter that keeps the messages it was given.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "board/board_link.h"

namespace kv4410::board::testing {

using Lines = std::vector<std::string>;

struct RecordedRequest {
  std::int32_t handle = 0;
  std::uint8_t request = 0;
  std::uint16_t value = 0, index = 0;
};

class RecordingBoard : public BoardAccess {
 public:
  // Scripted answers; Connect gives handle 42.
  std::int16_t boardCount = 1;
  std::uint8_t firstEntry = 7;
  Status searchStatus = status::kOk, connectStatus = status::kOk, firmwareStatus = status::kOk;
  std::deque<Status> statuses;                  // per request, consumed in order (then 0)
  std::vector<std::uint8_t> reply = {0, 0, 0};  // bytes an IN request fills

  // Every call with its arguments in order: "search 2F4C 7105", "connect 2F4C 7105 7",
  // "firmware 42 /a/KV4410SPI.hex", "request 42 221 B300 0F21 out 0" (handle, request, value,
  // index, direction, length; " null" when no buffer came).
  Lines calls;
  std::vector<RecordedRequest> requests;

  Status Search_For_Boards(std::uint16_t vendorId, std::uint16_t productId, std::int16_t& count,
                           BoardList& list) override {
    log("search %04X %04X", vendorId, productId);
    count = boardCount;
    list[0] = firstEntry;
    return searchStatus;
  }
  Status Connect(std::uint16_t vendorId, std::uint16_t productId, std::uint8_t entry,
                 std::int32_t& handle) override {
    log("connect %04X %04X %d", vendorId, productId, entry);
    handle = 42;
    return connectStatus;
  }
  Status Download_Firmware(std::int32_t handle, const std::filesystem::path& path) override {
    log("firmware %d %s", handle, path.u8string().c_str());
    return firmwareStatus;
  }
  Status Vendor_Request(std::int32_t handle, std::uint8_t request, std::uint16_t value,
                        std::uint16_t index, std::uint8_t direction, std::uint16_t length,
                        std::uint8_t* data) override {
    log("request %d %d %04X %04X %s %d%s", handle, request, value, index,
        direction == kDirIn ? "in" : "out", length, data == nullptr ? " null" : "");
    requests.push_back({handle, request, value, index});
    const Status status = statuses.empty() ? status::kOk : statuses.front();
    if (!statuses.empty()) {
      statuses.pop_front();
    }
    if (status == status::kOk && direction == kDirIn && data != nullptr) {
      std::copy_n(reply.begin(), std::min<std::size_t>(length, reply.size()), data);
    }
    return status;
  }

 private:
  template <class... Args>
  void log(const char* format, Args... args) {
    char line[600];
    std::snprintf(line, sizeof line, format, args...);
    calls.emplace_back(line);
  }
};

// Keeps each message: "No Evaluation Board Found: <status>" or the text of a table error, which
// must begin with its code.
class RecordingReporter : public Reporter {
 public:
  Lines messages;
  void noBoard(int searchStatus) override {
    messages.push_back("No Evaluation Board Found: " + std::to_string(searchStatus));
  }
  void usbError(int code, std::string_view text) override {
    EXPECT_EQ(text.substr(0, 5), std::to_string(code) + " ") << "code and text disagree";
    messages.emplace_back(text);
  }
};

}  // namespace kv4410::board::testing
