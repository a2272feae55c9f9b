#pragma once
// A BoardAccess that records every call and answers with scripted statuses and reply bytes.
#include <deque>
#include <string>
#include <vector>

#include "board/board_access.h"

namespace kv4410::board::testing {

struct RecordedRequest {
  std::int32_t handle = 0;
  std::uint8_t request = 0;
  std::uint16_t value = 0;
  std::uint16_t index = 0;
  std::uint8_t direction = 0;
  std::uint16_t length = 0;
  bool hasBuffer = false;
};

class RecordingBoard : public BoardAccess {
 public:
  // Scripted answers.
  std::int16_t boardCount = 1;
  std::uint8_t firstEntry = 7;
  std::int32_t handleToGive = 42;
  Status searchStatus = status::kOk;
  Status connectStatus = status::kOk;
  Status firmwareStatus = status::kOk;
  Status requestStatus = status::kOk;           // when `statuses` is empty
  std::deque<Status> statuses;                  // per request, consumed in order
  std::vector<std::uint8_t> reply = {0, 0, 0};  // bytes an IN request fills

  // What happened, in order: "search", "connect", "firmware", "request".
  std::vector<std::string> calls;
  std::uint16_t searchVendor = 0, searchProduct = 0;
  std::uint8_t connectEntry = 0;
  std::int32_t firmwareHandle = 0;
  std::filesystem::path firmwarePath;
  std::vector<RecordedRequest> requests;

  Status Search_For_Boards(std::uint16_t vendorId, std::uint16_t productId, std::int16_t& count,
                           BoardList& list) override {
    calls.push_back("search");
    searchVendor = vendorId;
    searchProduct = productId;
    count = boardCount;
    list[0] = firstEntry;
    return searchStatus;
  }
  Status Connect(std::uint16_t, std::uint16_t, std::uint8_t entry, std::int32_t& handle) override {
    calls.push_back("connect");
    connectEntry = entry;
    handle = handleToGive;
    return connectStatus;
  }
  Status Download_Firmware(std::int32_t handle, const std::filesystem::path& path) override {
    calls.push_back("firmware");
    firmwareHandle = handle;
    firmwarePath = path;
    return firmwareStatus;
  }
  Status Vendor_Request(std::int32_t handle, std::uint8_t request, std::uint16_t value,
                        std::uint16_t index, std::uint8_t direction, std::uint16_t length,
                        std::uint8_t* data) override {
    calls.push_back("request " + std::to_string(request));
    requests.push_back({handle, request, value, index, direction, length, data != nullptr});
    Status status = requestStatus;
    if (!statuses.empty()) {
      status = statuses.front();
      statuses.pop_front();
    }
    if (status == status::kOk && direction == kDirIn) {
      for (std::uint16_t i = 0; i < length && i < reply.size(); ++i) {
        data[i] = reply[i];
      }
    }
    return status;
  }
};

}  // namespace kv4410::board::testing
