#pragma once
// TracingBoard: wraps any board and writes one line per operation to a sink, e.g.
//   search vid=2F4C pid=7105 count=1 status=0
//   connect entry=0 status=0
//   firmware path=/opt/kv4410/KV4410SPI.hex status=0
//   request 221 value=B300 index=0F21 out len=0 status=0
//   request 233 value=0000 index=0000 in len=3 data=34 12 AB status=0
#include <memory>

#include "board/board_access.h"
#include "board/board_factory.h"

namespace kv4410::board {

class TracingBoard final : public BoardAccess {
 public:
  TracingBoard(std::unique_ptr<BoardAccess> inner, TraceSink sink);

  Status Search_For_Boards(std::uint16_t vendorId, std::uint16_t productId, std::int16_t& count,
                           BoardList& list) override;
  Status Connect(std::uint16_t vendorId, std::uint16_t productId, std::uint8_t entry,
                 std::int32_t& handle) override;
  Status Download_Firmware(std::int32_t handle, const std::filesystem::path& path) override;
  Status Vendor_Request(std::int32_t handle, std::uint8_t request, std::uint16_t value,
                        std::uint16_t index, std::uint8_t direction, std::uint16_t length,
                        std::uint8_t* data) override;
  // Forwarded without a line: it changes no traffic.
  void setTransferTimeout(std::chrono::milliseconds timeout) override {
    inner_->setTransferTimeout(timeout);
  }

  BoardAccess& inner() { return *inner_; }

 private:
  std::unique_ptr<BoardAccess> inner_;
  TraceSink sink_;
};

}  // namespace kv4410::board
