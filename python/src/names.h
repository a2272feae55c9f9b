#pragma once
// The names Python callers give the program's choices ("2mA", "voltage", "100ms", ...), the
// errors the module raises, and the checks every call shares. A refused name or value raises
// ValueError naming what is allowed, before anything is sent.
#include <pybind11/pybind11.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bench/settings.h"
#include "device/dac_words.h"

namespace kv4410::python {

namespace py = pybind11;

// A board failure: raised in Python as kv4410.BoardError(status, text).
struct BoardFailure {
  int status = 0;
  std::string text;    // "3005 - XFER INCOMPLETE", or "status N" for a status without text
  std::string detail;  // more lines for str(), e.g. where the firmware file was looked for
};
std::string statusText(int status);
// Registers the translation of BoardFailure into kv4410.BoardError (defined in Python).
void registerErrors(py::module_& m);

// The text choices of one kind, in the order of their values.
struct NameTable {
  std::string_view what;  // "current range", for messages
  std::vector<std::string_view> names;
};
// The value of `name` in `table` (case-insensitive), else ValueError
// "current range must be one of 5uA, 20uA, 200uA, 2mA, ext, not '3mA'".
int valueOf(const NameTable& table, const std::string& name);
std::string nameOf(const NameTable& table, int value);

const NameTable& rangeNames();        // 5uA 20uA 200uA 2mA ext
const NameTable& measureNames();      // current voltage temperature hiz
const NameTable& compareNames();      // current voltage
const NameTable& thermalNames();      // disabled enabled 130C 120C 110C 100C
const NameTable& latchNames();        // unlatched latched
const NameTable& cycleDelayNames();   // none 100ms .. 500ms
const NameTable& forceNames();        // voltage current hiz-voltage hiz-current
const NameTable& dacGroupNames();     // offset fin cll clh cpl cph
const NameTable& dacRegisterNames();  // x1 m c

// Channels 0..3 as the channel-select mask (bit i: PMU i); ValueError for a channel outside
// 0..3 and for no channel at all.
std::uint8_t channelMask(const std::vector<int>& channels);
std::vector<int> channelList(unsigned mask);

// An integer from Python that must lie within low..high (a DAC code, a word), else ValueError
// `message`; checked before it is narrowed, so no value can wrap.
std::int64_t checkedInteger(const py::int_& value, std::int64_t low, std::int64_t high,
                            const std::string& message);
// A reference voltage of 2.5 or 5 V, as the sweep window's VREF options and kv4410ctl take it.
float referenceOf(double volts);

inline constexpr const char* kCodeOutOfRange =
    "Number too large. Please reenter code between 0 and xFFFF.";
inline constexpr const char* kLevelOutOfRange =
    "Number too large. Please reenter voltage between Z/S and F/S.";

}  // namespace kv4410::python
