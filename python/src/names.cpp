#include "names.h"

#include <algorithm>
#include <cctype>

#include "board/board_link.h"

namespace kv4410::python {

namespace {

bool sameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

std::string statusText(int status) {
  const auto text = board::usbErrorText(status);
  return text ? std::string(*text) : "status " + std::to_string(status);
}

void registerErrors(py::module_& m) {
  // The class lives in kv4410._errors, so that Python code can catch and build it too.
  m.attr("BoardError") = py::module_::import("kv4410._errors").attr("BoardError");
  // pybind11 takes a translator of exactly this signature.
  // NOLINTNEXTLINE(performance-unnecessary-value-param)
  py::register_exception_translator([](std::exception_ptr thrown) {
    try {
      if (thrown) {
        std::rethrow_exception(thrown);
      }
    } catch (const BoardFailure& failure) {
      const py::object type = py::module_::import("kv4410._errors").attr("BoardError");
      const py::object error = type(failure.status, failure.text, failure.detail);
      PyErr_SetObject(type.ptr(), error.ptr());
    }
  });
}

int valueOf(const NameTable& table, const std::string& name) {
  for (std::size_t i = 0; i < table.names.size(); ++i) {
    if (sameName(table.names[i], name)) {
      return static_cast<int>(i);
    }
  }
  std::string allowed;
  for (const std::string_view n : table.names) {
    allowed += (allowed.empty() ? "" : ", ") + std::string(n);
  }
  throw py::value_error(std::string(table.what) + " must be one of " + allowed + ", not '" + name +
                        "'");
}

std::string nameOf(const NameTable& table, int value) {
  if (value < 0 || value >= static_cast<int>(table.names.size())) {
    return std::to_string(value);
  }
  return std::string(table.names[static_cast<std::size_t>(value)]);
}

const NameTable& rangeNames() {
  static const NameTable t{"current range", {"5uA", "20uA", "200uA", "2mA", "ext"}};
  return t;
}
const NameTable& measureNames() {
  static const NameTable t{"measure", {"current", "voltage", "temperature", "hiz"}};
  return t;
}
const NameTable& compareNames() {
  static const NameTable t{"compare", {"current", "voltage"}};
  return t;
}
const NameTable& thermalNames() {
  static const NameTable t{"thermal shutdown",
                           {"disabled", "enabled", "130C", "120C", "110C", "100C"}};
  return t;
}
const NameTable& latchNames() {
  static const NameTable t{"alarm latch", {"unlatched", "latched"}};
  return t;
}
const NameTable& cycleDelayNames() {
  static const NameTable t{"cycle delay", {"none", "100ms", "200ms", "300ms", "400ms", "500ms"}};
  return t;
}
const NameTable& forceNames() {
  static const NameTable t{"force", {"voltage", "current", "hiz-voltage", "hiz-current"}};
  return t;
}
const NameTable& dacGroupNames() {
  // In the order of DacGroup.
  static const NameTable t{"DAC", {"offset", "fin", "cll", "clh", "cpl", "cph"}};
  return t;
}
const NameTable& dacRegisterNames() {
  // In the order of DacRegister.
  static const NameTable t{"DAC register", {"x1", "m", "c"}};
  return t;
}

std::uint8_t channelMask(const std::vector<int>& channels) {
  unsigned mask = 0;
  for (const int c : channels) {
    if (c < 0 || c > 3) {
      throw py::value_error("channels are 0 to 3, not " + std::to_string(c));
    }
    mask |= 1U << static_cast<unsigned>(c);
  }
  if (mask == 0) {
    throw py::value_error("Please select at least One PMU channel");
  }
  return static_cast<std::uint8_t>(mask);
}

std::vector<int> channelList(unsigned mask) {
  std::vector<int> list;
  for (int c = 0; c < 4; ++c) {
    if ((mask & (1U << static_cast<unsigned>(c))) != 0) {
      list.push_back(c);
    }
  }
  return list;
}

std::int64_t checkedInteger(const py::int_& value, std::int64_t low, std::int64_t high,
                            const std::string& message) {
  // Compared as Python integers, so that no size of integer can wrap before the check.
  if (value < py::int_(low) || value > py::int_(high)) {
    throw py::value_error(message);
  }
  return value.cast<std::int64_t>();
}

float referenceOf(double volts) {
  if (volts != 5.0 && volts != 2.5) {
    throw py::value_error("vref must be 2.5 or 5, not " +
                          py::repr(py::float_(volts)).cast<std::string>());
  }
  return static_cast<float>(volts);
}

}  // namespace kv4410::python
