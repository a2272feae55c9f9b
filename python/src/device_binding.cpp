// What needs no board: decoding words and readbacks, and the conversions between DAC codes and
// volts or amps, with the checks and refusal texts of `kv4410ctl decode` and `convert`.
#include <pybind11/stl.h>

#include "bindings.h"
#include "device/conversion_report.h"
#include "device/conversions.h"
#include "device/register_map.h"
#include "device/serial_word.h"
#include "device/word_description.h"
#include "names.h"

namespace kv4410::python {

namespace {

constexpr std::int64_t kMaxCode = 0xFFFF;
constexpr std::int64_t kMaxAnswer = 0xFFFFFF;

std::string hexOf(const py::int_& value) {
  return py::str(py::module_::import("builtins").attr("format")(value, "X")).cast<std::string>();
}

// The checks of `kv4410ctl convert`, on Python's values.
ConversionRequest conversionRequest(double vref, const py::int_& offset,
                                    const std::optional<std::string>& range, double miGain,
                                    double rsense) {
  ConversionRequest request;
  if (vref != 2.5 && vref != 5.0) {
    throw py::value_error("vref must be 2.5 or 5, not " +
                          py::repr(py::float_(vref)).cast<std::string>());
  }
  request.vref = static_cast<float>(vref);
  request.offsetCode = static_cast<std::int32_t>(checkedInteger(
      offset, 0, kMaxCode, "offset must be a code from 0 to 0xFFFF, not " + hexOf(offset)));
  if (range) {
    request.rangeIndex = valueOf(rangeNames(), *range);
  }
  if (miGain != 10.0 && miGain != 5.0) {
    throw py::value_error("mi_gain must be 10 or 5, not " +
                          py::repr(py::float_(miGain)).cast<std::string>());
  }
  request.miGain = static_cast<float>(miGain);
  // The PMU control window's limits for the external sense resistor.
  if (!(rsense >= 12.5 && rsense <= 10000.0)) {
    throw py::value_error("rsense must be from 12.5 to 10000 ohms, not " +
                          py::repr(py::float_(rsense)).cast<std::string>());
  }
  request.externalOhms = rsense;
  return request;
}

std::int32_t checkedCode(const py::int_& code) {
  return static_cast<std::int32_t>(checkedInteger(code, 0, kMaxCode, kCodeOutOfRange));
}

// The FIN code of a level (volts, or amps on a current range), or ValueError with the texts of
// `kv4410ctl convert`.
std::int32_t codeOfLevel(ConversionRequest request, double level) {
  const bool voltage = !request.rangeIndex;
  const int range = request.rangeIndex.value_or(0);
  request.level = voltage ? level : level / currentUnitToAmps(range);
  const ConversionReport report = describeConversion(request);
  if (!report.ok) {
    throw py::value_error(report.error);
  }
  const auto code =
      voltage
          ? codeForVoltage(level, request.vref, request.offsetCode)
          : codeForCurrent(*request.level * currentUnitToAmps(range), request.vref, request.miGain,
                           senseResistorOhms(range, request.externalOhms).value_or(1.0));
  return code.value_or(0);  // checked by the report
}

}  // namespace

py::dict fieldsOf(const RegisterDef& reg, std::uint32_t value) {
  py::dict fields;
  for (const FieldDef& f : reg.fields) {
    if (f.key != "UNUSED") {
      fields[py::str(std::string(f.key))] = fieldValue(value, f);
    }
  }
  return fields;
}

py::dict decodeWord(const py::int_& word) {
  const auto value = static_cast<std::uint32_t>(checkedInteger(
      word, 0, kWordMask, "word " + hexOf(word) + " is not a 29-bit word (0 to 1FFFFFFF)"));
  const WordTarget target = classifyWord(value);
  py::dict decoded;
  decoded["register"] = registerKindName(target.kind);
  decoded["read"] = target.read;
  decoded["channels"] = channelList(target.channels);
  py::dict fields;
  if (!target.read) {
    switch (target.kind) {
      case RegisterKind::SystemControl:
        fields = fieldsOf(systemControlRegister(), value);
        break;
      case RegisterKind::Pmu:
        fields = fieldsOf(pmuRegister(), value);
        break;
      case RegisterKind::DacX1:
      case RegisterKind::DacC:
      case RegisterKind::DacM:
        fields = fieldsOf(dacRegister(), value);
        break;
      default:
        break;
    }
  }
  if (target.kind == RegisterKind::DacX1 || target.kind == RegisterKind::DacC ||
      target.kind == RegisterKind::DacM) {
    if (const auto dac = dacAddressOf(target.dacAddress)) {
      decoded["dac"] = nameOf(dacGroupNames(), static_cast<int>(dac->group));
      decoded["level"] = dac->level;
    }
  }
  decoded["fields"] = fields;
  return decoded;
}

void bindDevice(py::module_& m) {
  m.def("decode", &decodeWord, py::arg("word"),
        "Which register a 29-bit serial word writes or reads, its channels and, for a write, "
        "every field's value by name (the unused bits left out).");
  m.def(
      "describe",
      [](const py::int_& word) {
        decodeWord(word);  // the same checks
        return describeWord(word.cast<std::uint32_t>());
      },
      py::arg("word"), "The word described line by line, as `kv4410ctl decode` prints it.");
  m.def(
      "decode_readback",
      [](const std::string& reg, const py::int_& answer) {
        const auto value = static_cast<std::uint32_t>(
            checkedInteger(answer, 0, kMaxAnswer, "a readback has 24 bits: 0 to 0xFFFFFF"));
        static const NameTable kRegisters{"register", {"system", "pmu", "comparator", "alarm"}};
        switch (valueOf(kRegisters, reg)) {
          case 0:
            return fieldsOf(systemControlRegister(), value);
          case 1:
            return fieldsOf(pmuReadbackRegister(), value);
          case 2:
            return fieldsOf(comparatorStatusRegister(), value);
          default:
            return fieldsOf(alarmStatusRegister(), value);
        }
      },
      py::arg("register"), py::arg("answer"),
      "The fields of a 24-bit answer of the system, pmu, comparator or alarm register.");

  m.def(
      "code_for_voltage",
      [](double volts, double vref, const py::int_& offset) {
        return codeOfLevel(conversionRequest(vref, offset, std::nullopt, 10.0, 100.0), volts);
      },
      py::arg("volts"), py::arg("vref") = 5.0, py::arg("offset") = kDefaultOffsetCode,
      "FIN DAC code of a forced voltage: [(V + 3.5 VREF OFFSET / 65536) 65536 / (4.5 VREF)], "
      "nearest integer, ties to even. ValueError outside Z/S to F/S.");
  m.def(
      "voltage_of_code",
      [](const py::int_& code, double vref, const py::int_& offset) {
        const ConversionRequest r = conversionRequest(vref, offset, std::nullopt, 10.0, 100.0);
        return voltageOfCode(checkedCode(code), r.vref, r.offsetCode);
      },
      py::arg("code"), py::arg("vref") = 5.0, py::arg("offset") = kDefaultOffsetCode,
      "Volts of a voltage-range code: 4.5 VREF code / 65536 - 3.5 VREF OFFSET / 65536.");
  m.def(
      "code_for_current",
      [](double amps, const std::string& range, double vref, double miGain, double rsense) {
        return codeOfLevel(conversionRequest(vref, kDefaultOffsetCode, range, miGain, rsense),
                           amps);
      },
      py::arg("amps"), py::arg("range"), py::arg("vref") = 5.0, py::arg("mi_gain") = 10.0,
      py::arg("rsense") = 100.0,
      "FIN DAC code of a forced current in amps on a current range (rsense: the external "
      "range's resistor): [65536 I Rsense gain / (4.5 VREF) + 32768].");
  m.def(
      "current_of_code",
      [](const py::int_& code, const std::string& range, double vref, double miGain,
         double rsense) {
        const ConversionRequest r =
            conversionRequest(vref, kDefaultOffsetCode, range, miGain, rsense);
        const double ohms = senseResistorOhms(*r.rangeIndex, r.externalOhms).value_or(1.0);
        return currentOfCode(checkedCode(code), r.vref, r.miGain, ohms);
      },
      py::arg("code"), py::arg("range"), py::arg("vref") = 5.0, py::arg("mi_gain") = 10.0,
      py::arg("rsense") = 100.0, "Amps of a current-range code.");
  m.def(
      "range_limits",
      [](const std::string& range, double vref, const py::int_& offset, double miGain,
         double rsense) {
        const bool voltage = range == "voltage";
        const ConversionRequest r = conversionRequest(
            vref, offset, voltage ? std::nullopt : std::optional(range), miGain, rsense);
        if (voltage) {
          const RangeLimits l = voltageRangeLimits(r.vref, r.offsetCode);
          return py::make_tuple(l.zeroScale, l.fullScale);
        }
        const int index = *r.rangeIndex;
        const RangeLimits l = currentRangeLimits(
            r.vref, r.miGain, senseResistorDisplay(index, r.externalOhms).value_or(1.0));
        // The window's unit (uA or mA) to amps.
        const double toAmps = rangeInMicroamps(index) ? 1e-6 : 1e-3;
        return py::make_tuple(static_cast<double>(l.zeroScale) * toAmps,
                              static_cast<double>(l.fullScale) * toAmps);
      },
      py::arg("range") = "voltage", py::arg("vref") = 5.0, py::arg("offset") = kDefaultOffsetCode,
      py::arg("mi_gain") = 10.0, py::arg("rsense") = 100.0,
      "(Z/S, F/S) of the voltage range in volts or of a current range in amps, as the PMU "
      "control window computes them (single precision).");
  m.def(
      "adc_volts",
      [](const py::int_& code, double vref) {
        const auto a = checkedInteger(code, 0, kMaxCode, "an ADC code is 0 to 0xFFFF");
        return adcVolts(static_cast<std::int32_t>(a), referenceOf(vref));
      },
      py::arg("code"), py::arg("vref") = 5.0,
      "Volts of a board ADC code: code VREF / 65536 (the ADC spans 0 to VREF).");
}

}  // namespace kv4410::python
