#pragma once
// SimulatedChip: a behavioural model of the KV4410 on its board. It holds every register,
// answers read requests in the chip's answer layouts, gates x1 updates with /LOAD, and works
// out what each channel forces into its resistive load, what its measure output shows, and
// the comparator and alarm states that follow from it.
#include <array>
#include <cstdint>
#include <optional>

namespace kv4410::board {

inline constexpr int kDacAddressCount = 64;  // 6 address bits

// The three registers of one DAC level and the output code that its last x1 update latched.
struct DacLevel {
  std::uint16_t x1 = 0;
  std::uint16_t m = 0xFFFF;
  std::uint16_t c = 0x8000;
  std::uint16_t output = 0;  // X2, latched when x1 takes effect
  bool pending = false;      // x1 written while /LOAD was high, not yet in effect
};

// What one channel does right now.
struct ChannelState {
  bool forcing = false;                // enabled, FIN connected, a force mode, not shut down
  double volts = 0.0;                  // at the output, into the load
  double amps = 0.0;                   // into the load (positive out of the channel)
  bool clamping = false;               // a clamp level limits the forced value
  std::optional<double> measureVolts;  // the measure output; nullopt when it drives nothing
};

struct ChipEnvironment {
  double referenceVolts = 5.0;
  std::array<double, 4> loadOhms = {5600.0, 5600.0, 5600.0, 5600.0};
  double dieTemperatureC = 25.0;
};

class SimulatedChip {
 public:
  explicit SimulatedChip(const ChipEnvironment& environment = {});

  // Power-on values of every register (the chip reset request); /LOAD is the board's line and
  // keeps its level.
  void reset();
  // One 29-bit serial word clocked in: a write goes to every register its header selects, a
  // read request latches the 24-bit answer.
  void clockWord(std::uint32_t word);
  // The 24-bit answer latched by the last read request (0 before the first).
  std::uint32_t answer() const { return answer_; }

  // /LOAD: low, x1 writes take effect at once; high, they wait for a pulse or the low level.
  void setLoadHigh(bool high);
  bool loadHigh() const { return loadHigh_; }
  void pulseLoad();

  // Registers.
  std::uint32_t systemControl() const { return system_; }
  std::uint32_t pmu(int channel) const;                 // bits 21..7 as written (no CLEAR bit)
  const DacLevel& dac(int channel, int address) const;  // address 8..45 (see dacExists)
  std::uint16_t offsetCode() const { return offset_.x1; }
  std::uint16_t offsetOutput() const { return offset_.output; }
  static bool dacExists(int address);
  // The answers the status registers give now (bits 21..4, 1 = no alarm), without mode bits.
  std::uint32_t comparatorStatus() const;
  std::uint32_t alarmStatus() const;

  // Physics.
  ChannelState channel(int channel) const;
  // The voltage the board's ADC sees: the mean of the driven measure outputs, 0 V when none.
  double measureBusVolts() const;
  bool thermalShutdown() const;  // shutdown enabled and the die above its shutdown temperature
  bool overTemperature() const;  // the die above the shutdown temperature (temperature alarm)

  double referenceVolts() const { return environment_.referenceVolts; }
  void setDieTemperature(double celsius);
  double dieTemperature() const { return environment_.dieTemperatureC; }
  void setLoad(int channel, double ohms);  // ohms above 0
  double load(int channel) const;

  // The temperature sensor: volts at the measure output for a die temperature.
  static double temperatureSensorVolts(double celsius);

 private:
  struct Channel {
    std::uint32_t pmu = 0;
    std::array<DacLevel, kDacAddressCount> dacs{};
    bool clampLatched = false;
  };

  std::uint32_t readAnswer(std::uint32_t word) const;
  void writeDac(int channel, std::uint32_t mode, int address, std::uint16_t code);
  void takeEffect(DacLevel& level) const;
  void applyPending();
  // Latches alarm conditions after every change of state.
  void settle();
  double miGain() const;
  double offsetVolts() const;
  double levelVolts(std::uint16_t code) const;
  double levelAmps(std::uint16_t code, int range) const;

  ChipEnvironment environment_;
  std::uint32_t system_ = 0;
  std::array<Channel, 4> channels_{};
  DacLevel offset_{};
  bool loadHigh_ = false;
  bool temperatureLatched_ = false;
  std::uint32_t answer_ = 0;
};

}  // namespace kv4410::board
