#pragma once
// BoardLink: the one connection to the evaluation board. Start-up (LoadUSB), serial-word
// writes, 24-bit readbacks, ADC readings, the one-line board commands and the error messages.
#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "board/board_access.h"
#include "device/stored_words.h"

namespace kv4410::board {

// Vendor requests of the board.
namespace request {
inline constexpr std::uint8_t kResetChip = 219;     // 0xDB
inline constexpr std::uint8_t kSerialWord = 221;    // 0xDD, write (out) or readback (in, 3 bytes)
inline constexpr std::uint8_t kPulseLoad = 222;     // 0xDE
inline constexpr std::uint8_t kStart = 224;         // 0xE0, once after the firmware download
inline constexpr std::uint8_t kLoadHigh = 226;      // 0xE2
inline constexpr std::uint8_t kLoadLow = 227;       // 0xE3
inline constexpr std::uint8_t kCComp = 228;         // 0xE4, value 1 "100pF", 2 "1nF"
inline constexpr std::uint8_t kCFeedforward = 229;  // 0xE5, value 1 "220pF", 2 "1nF", 3 "10nF"
inline constexpr std::uint8_t kStartAdc = 232;      // 0xE8
inline constexpr std::uint8_t kReadAdc = 233;       // 0xE9, in, 3 bytes
}  // namespace request

// How long a vendor request may wait inside a run: a sweep step's three requests (a word, 232
// and 233) then block a board that stopped answering for at most about a quarter of a second.
inline constexpr std::chrono::milliseconds kRunTransferTimeout{80};

inline constexpr const char* kFirmwareFileName = "KV4410SPI.hex";
inline constexpr std::size_t kFirmwarePathBufferSize = 513;  // 512 characters and a zero byte

// Message text of an error status ("3002 - FIRMWARE FILE NOT FOUND"); nullopt for silent ones.
std::optional<std::string_view> usbErrorText(int code);

// Where the link's messages go: message boxes in the GUI, one stderr line in the CLI.
class Reporter {
 public:
  virtual ~Reporter() = default;
  // "No Evaluation Board Found", exclamation icon, title ": " + status in decimal.
  virtual void noBoard(int searchStatus) = 0;
  // A table error: the text only, no icon, the application's default title.
  virtual void usbError(int code, std::string_view text) = 0;
};

class BoardLink {
 public:
  BoardLink(BoardAccess& board, Reporter& reporter);

  // The start-up connection: search, connect, firmware, request 224, with the messages.
  void LoadUSB(const std::filesystem::path& firmwarePath);
  // The program's own directory + KV4410SPI.hex, with the platform's separator.
  static std::filesystem::path firmwarePathBeside(const std::filesystem::path& programDir);

  // The firmware path buffer: the path's UTF-8 bytes and a zero byte. StringToBytes fills it
  // and returns false (buffer emptied) when the text does not fit.
  using PathBuffer = std::array<std::uint8_t, kFirmwarePathBufferSize>;
  static bool StringToBytes(std::string_view text, PathBuffer& buffer);
  const PathBuffer& pathBuffer() const { return pathBuffer_; }
  const std::filesystem::path& firmwarePath() const { return firmwarePath_; }

  bool NoBoard() const { return noBoard_; }
  int lastStatus() const { return lastStatus_; }
  std::uint64_t failedRequests() const { return failedRequests_; }
  std::uint64_t requestCount() const { return requestCount_; }

  // Request 221 out: value = code & 0xFFFF, index = (code & 0x1FFF0000) >> 16. `bits` unused.
  void SPIWrite(std::int16_t bits, std::int32_t code);
  // Request 221 in, 3 bytes, little-endian.
  std::uint32_t SPIRead();
  // Request 233 in, 3 bytes; the first two bytes, little-endian. Callers send 232 first.
  std::uint16_t ReadADC();

  // One-line board commands (value 0 unless given).
  void resetChip();                           // 219
  void pulseLoad();                           // 222
  void loadHigh();                            // 226
  void loadLow();                             // 227
  void setCComp(std::uint16_t value);         // 228
  void setCFeedforward(std::uint16_t value);  // 229
  void startAdc();                            // 232
  // 232 then 233 at once: one ADC reading.
  std::uint16_t readAdcNow();

  void ShowUSBError(int code);

  // How long each later vendor request may wait for the board (kDefaultTransferTimeout at
  // first).
  void setTransferTimeout(std::chrono::milliseconds timeout);
  std::chrono::milliseconds transferTimeout() const { return transferTimeout_; }
  // While it lives, requests wait at most kRunTransferTimeout; then the timeout before it
  // returns.
  class QuickTransfers {
   public:
    explicit QuickTransfers(BoardLink& link);
    ~QuickTransfers();
    QuickTransfers(const QuickTransfers&) = delete;
    QuickTransfers& operator=(const QuickTransfers&) = delete;

   private:
    BoardLink& link_;
    std::chrono::milliseconds before_;
  };

  // One vendor request as it went to the board, for the traffic view.
  struct RequestRecord {
    std::uint64_t number = 0;  // 1 for the first request of the link
    std::uint8_t request = 0;
    std::uint16_t value = 0;
    std::uint16_t index = 0;
    bool in = false;
    std::uint16_t length = 0;
    std::array<std::uint8_t, 3> data{};  // the first bytes of an IN transfer's data
    int status = 0;
  };
  using RequestObserver = std::function<void(const RequestRecord&)>;
  // Called after every vendor request while set; an empty observer costs one test a request.
  void setRequestObserver(RequestObserver observer) { observer_ = std::move(observer); }
  bool observed() const { return static_cast<bool>(observer_); }

 private:
  int command(std::uint8_t req, std::uint16_t value);
  // One Vendor_Request on the handle: stores its status and counts it.
  int vendorRequest(std::uint8_t req, std::uint16_t value, std::uint16_t index,
                    std::uint8_t direction, std::uint16_t length, std::uint8_t* data);
  void store(Status status);

  BoardAccess& board_;
  Reporter& reporter_;
  std::int32_t handle_ = 0;
  bool noBoard_ = false;
  int lastStatus_ = 0;
  std::uint64_t failedRequests_ = 0;
  std::uint64_t requestCount_ = 0;
  RequestObserver observer_;
  std::chrono::milliseconds transferTimeout_ = kDefaultTransferTimeout;
  std::uint8_t transfer_[3] = {0, 0, 0};
  std::filesystem::path firmwarePath_;
  PathBuffer pathBuffer_{};
};

// The send routine of the headless runs (CLI, tests): each word goes straight to SPIWrite.
class LinkWordSender final : public WordSender {
 public:
  explicit LinkWordSender(BoardLink& link) : link_(link) {}
  void SPIout(std::int32_t code) override { link_.SPIWrite(29, code); }

 private:
  BoardLink& link_;
};

}  // namespace kv4410::board
