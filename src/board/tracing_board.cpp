#include "board/tracing_board.h"

#include <cstdio>
#include <string>

namespace kv4410::board {

namespace {

std::string hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

}  // namespace

TracingBoard::TracingBoard(std::unique_ptr<BoardAccess> inner, TraceSink sink)
    : inner_(std::move(inner)), sink_(std::move(sink)) {}

Status TracingBoard::Search_For_Boards(std::uint16_t vendorId, std::uint16_t productId,
                                       std::int16_t& count, BoardList& list) {
  const Status status = inner_->Search_For_Boards(vendorId, productId, count, list);
  sink_("search vid=" + hex(vendorId, 4) + " pid=" + hex(productId, 4) +
        " count=" + std::to_string(count) + " status=" + std::to_string(status));
  return status;
}

Status TracingBoard::Connect(std::uint16_t vendorId, std::uint16_t productId, std::uint8_t entry,
                             std::int32_t& handle) {
  const Status status = inner_->Connect(vendorId, productId, entry, handle);
  sink_("connect entry=" + std::to_string(entry) + " status=" + std::to_string(status));
  return status;
}

Status TracingBoard::Download_Firmware(std::int32_t handle, const std::filesystem::path& path) {
  const Status status = inner_->Download_Firmware(handle, path);
  sink_("firmware path=" + path.u8string() + " status=" + std::to_string(status));
  return status;
}

Status TracingBoard::Vendor_Request(std::int32_t handle, std::uint8_t request, std::uint16_t value,
                                    std::uint16_t index, std::uint8_t direction,
                                    std::uint16_t length, std::uint8_t* data) {
  const Status status =
      inner_->Vendor_Request(handle, request, value, index, direction, length, data);
  const bool in = direction == kDirIn;
  std::string line = "request " + std::to_string(request) + " value=" + hex(value, 4) +
                     " index=" + hex(index, 4) + (in ? " in" : " out") +
                     " len=" + std::to_string(length);
  if (in && length > 0 && data != nullptr) {
    line += " data=";
    for (std::uint16_t i = 0; i < length; ++i) {
      line += (i == 0 ? "" : " ") + hex(data[i], 2);
    }
  }
  line += " status=" + std::to_string(status);
  sink_(line);
  return status;
}

}  // namespace kv4410::board
