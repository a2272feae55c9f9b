#include "board/board_link.h"

#include <algorithm>
#include <array>

namespace kv4410::board {

std::optional<std::string_view> usbErrorText(int code) {
  switch (code) {
    case 1001:
      return "1001 - NO DEVICES FOUND";
    case 1002:
      return "1002 - CONNECTION ERROR";
    case 1003:
      return "1003 - GET_STRING_DESC_FAILED";
    case 1004:
      return "1004 - INVALID PATH";
    case 1005:
      return "1005 - PATH NOT MATCHING";
    case 2001:
      return "2001 - NO MATCHING DEVICE";
    case 3001:
      return "3001 - NO DEVICE CONNECTED TO DRIVER";
    case 3002:
      return "3002 - FIRMWARE FILE NOT FOUND";
    case 3003:
      return "3003 - FIRMWARE FILE CORRUPTED";
    case 3004:
      return "3004 - FIRMWARE DL FAILED";
    case 3005:
      return "3005 - XFER INCOMPLETE";
    case 3006:
      return "3006 - UNEXPECTED ENDPOINT ERROR";
    case 3007:
      return "3007 - RESET FAILED";
    case 3008:
      return "3008 - INVALID EP ADDRESS";
    case 3009:
      return "3009 - BULK TRANSFER";
    case 3010:
      return "3010 - NO FIRMWARE PRESENT";
    default:
      return std::nullopt;
  }
}

BoardLink::BoardLink(BoardAccess& board, Reporter& reporter) : board_(board), reporter_(reporter) {}

std::filesystem::path BoardLink::firmwarePathBeside(const std::filesystem::path& programDir) {
  return programDir / kFirmwareFileName;
}

bool BoardLink::StringToBytes(std::string_view text, PathBuffer& buffer) {
  buffer.fill(0);
  if (text.size() > buffer.size() - 1) {
    return false;  // the path and its zero byte do not fit
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    buffer[i] = static_cast<std::uint8_t>(text[i]);
  }
  buffer[text.size()] = 0;
  return true;
}

void BoardLink::store(Status status) {
  lastStatus_ = status;
}

void BoardLink::LoadUSB(const std::filesystem::path& firmwarePath) {
  std::int16_t count = 0;
  BoardList list{};
  const Status searched = board_.Search_For_Boards(kVendorId, kProductId, count, list);
  store(searched);
  if (count < 1) {
    reporter_.noBoard(searched);
    noBoard_ = true;  // from here on ShowUSBError stays silent
  }

  store(board_.Connect(kVendorId, kProductId, list[0], handle_));
  ShowUSBError(lastStatus_);

  // The path travels as its UTF-8 bytes in a 513-byte buffer with a closing zero byte.
  firmwarePath_ = firmwarePath;
  const std::string bytes = firmwarePath.u8string();
  if (StringToBytes(bytes, pathBuffer_)) {
    const std::string text(reinterpret_cast<const char*>(pathBuffer_.data()));
    store(board_.Download_Firmware(handle_, std::filesystem::u8path(text)));
  } else {
    store(status::kInvalidPath);  // nothing is downloaded
  }
  ShowUSBError(lastStatus_);

  command(request::kStart, 0);
  ShowUSBError(lastStatus_);
}

int BoardLink::vendorRequest(std::uint8_t req, std::uint16_t value, std::uint16_t index,
                             std::uint8_t direction, std::uint16_t length, std::uint8_t* data) {
  const Status status = board_.Vendor_Request(handle_, req, value, index, direction, length, data);
  store(status);
  ++requestCount_;
  if (status != status::kOk) {
    ++failedRequests_;
  }
  if (observer_) {
    RequestRecord record;
    record.number = requestCount_;
    record.request = req;
    record.value = value;
    record.index = index;
    record.in = direction == kDirIn;
    record.length = length;
    if (record.in && data != nullptr) {
      std::copy(data, data + std::min<std::size_t>(length, record.data.size()),
                record.data.begin());
    }
    record.status = status;
    observer_(record);
  }
  return status;
}

void BoardLink::SPIWrite(std::int16_t /*bits*/, std::int32_t code) {
  // Bits 29..31 never reach the board: a negative code goes out as its low 29 bits.
  const auto word = static_cast<std::uint32_t>(code);
  const auto value = static_cast<std::uint16_t>(word & 0xFFFFu);
  const auto index = static_cast<std::uint16_t>((word & 0x1FFF0000u) >> 16);
  vendorRequest(request::kSerialWord, value, index, kDirOut, 0, transfer_);
}

std::uint32_t BoardLink::SPIRead() {
  // After a failed transfer the answer is whatever the transfer buffer still holds.
  vendorRequest(request::kSerialWord, 0, 0, kDirIn, 3, transfer_);
  return transfer_[0] + 256u * transfer_[1] + 65536u * transfer_[2];
}

std::uint16_t BoardLink::ReadADC() {
  vendorRequest(request::kReadAdc, 0, 0, kDirIn, 3, transfer_);
  return static_cast<std::uint16_t>(transfer_[0] + 256u * transfer_[1]);
}

int BoardLink::command(std::uint8_t req, std::uint16_t value) {
  std::uint8_t none = 0;  // commands carry no data: one local byte holding 0
  return vendorRequest(req, value, 0, kDirOut, 0, &none);
}

void BoardLink::resetChip() {
  command(request::kResetChip, 0);
}
void BoardLink::pulseLoad() {
  command(request::kPulseLoad, 0);
}
void BoardLink::loadHigh() {
  command(request::kLoadHigh, 0);
}
void BoardLink::loadLow() {
  command(request::kLoadLow, 0);
}
void BoardLink::setCComp(std::uint16_t value) {
  command(request::kCComp, value);
}
void BoardLink::setCFeedforward(std::uint16_t value) {
  command(request::kCFeedforward, value);
}
void BoardLink::startAdc() {
  command(request::kStartAdc, 0);
}

std::uint16_t BoardLink::readAdcNow() {
  startAdc();
  return ReadADC();
}

void BoardLink::ShowUSBError(int code) {
  if (noBoard_) {
    return;
  }
  if (const auto text = usbErrorText(code)) {
    reporter_.usbError(code, *text);
  }
}

void BoardLink::setTransferTimeout(std::chrono::milliseconds timeout) {
  transferTimeout_ = timeout;
  board_.setTransferTimeout(timeout);
}

BoardLink::QuickTransfers::QuickTransfers(BoardLink& link)
    : link_(link), before_(link.transferTimeout()) {
  link_.setTransferTimeout(kRunTransferTimeout);
}

BoardLink::QuickTransfers::~QuickTransfers() {
  link_.setTransferTimeout(before_);
}

}  // namespace kv4410::board
