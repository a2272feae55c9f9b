#pragma once
// Text helpers shared by the windows and the CLI: hexadecimal display and entry, number entry
// and the number formats the windows show.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv4410 {

// Upper-case hexadecimal with leading zeros to `length` digits; a negative number gives its
// eight-digit two's-complement form.
std::string NumberToHex(std::int32_t number, int length);
// Upper-case hexadecimal without leading zeros ("0" for zero; negatives as eight digits).
std::string HexText(std::int32_t number);
// Eight characters keep their last four; upper-cased; one to three characters are padded with
// leading zeros to four. Longer or empty texts are only upper-cased.
std::string HexPad4(std::string_view text);
// Each line followed by CR LF; no lines give "".
std::string ListTextBlock(const std::vector<std::string>& lines);

// 1 to 8 hexadecimal digits, either case, no prefix, sign or blanks, into a signed 32-bit
// integer: eight digits from 80000000 read as negative (DAC and code fields).
std::optional<std::int32_t> parseHexSigned(std::string_view text);
// The same grammar read as unsigned (serial-word field): FFFFFFFF is 4294967295.
std::optional<std::uint32_t> parseHexUnsigned(std::string_view text);
// A decimal number as the entry fields take it: optional blanks around, optional sign, digits
// with an optional decimal point and fraction, optional exponent. Finite values only.
std::optional<double> parseDecimal(std::string_view text);

// Fixed-point forms of the windows: "00.000" -> formatFixed(v, 2, 3), "0.000000000" ->
// formatFixed(v, 1, 9), "0.0000" -> formatFixed(v, 1, 4). At least intDigits integer digits,
// exactly `decimals` decimals, rounded; a leading minus for negative values (-02.250).
std::string formatFixed(double value, int intDigits, int decimals);
// Short forms: up to 7 significant digits for single precision, 15 for double precision, with
// an exponent only for very small or large magnitudes.
std::string formatSingle(float value);
std::string formatDouble(double value);

}  // namespace kv4410
