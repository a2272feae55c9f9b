#include "device/text_format.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace kv4410 {

namespace {

char upper(char c) {
  return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// 1 to 8 hexadecimal digits, nothing else.
std::optional<std::uint32_t> parseHexDigits(std::string_view text) {
  if (text.empty() || text.size() > 8) {
    return std::nullopt;
  }
  std::uint32_t value = 0;
  for (const char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) {
      return std::nullopt;
    }
    const unsigned digit = isDigit(c) ? unsigned(c - '0') : unsigned(upper(c) - 'A' + 10);
    value = (value << 4) | digit;
  }
  return value;
}

// Shortest round-trip is not wanted here: the windows show a fixed number of significant
// digits, trailing zeros removed, like %g. to_chars keeps the text independent of the locale
// (Qt sets LC_NUMERIC from the environment).
std::string formatGeneral(double value, int significantDigits) {
  if (!std::isfinite(value)) {
    return std::isnan(value) ? "NaN" : (value > 0 ? "Infinity" : "-Infinity");
  }
  std::array<char, 64> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                    std::chars_format::general, significantDigits);
  return std::string(buffer.data(), result.ptr);
}

// For a text of valid decimal grammar without sign: true when its value is below 1, judged from
// the position of its first significant digit and its exponent.
bool magnitudeBelowOne(std::string_view text) {
  const auto exponentAt = text.find_first_of("eE");
  const std::string_view mantissa = text.substr(0, exponentAt);
  long exponent = 0;
  if (exponentAt != std::string_view::npos) {
    std::string_view digits = text.substr(exponentAt + 1);
    const bool minus = !digits.empty() && digits.front() == '-';
    if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
      digits.remove_prefix(1);
    }
    for (const char c : digits) {
      exponent = std::min(exponent * 10 + (c - '0'), 1000000L);  // saturate, never overflow
    }
    exponent = minus ? -exponent : exponent;
  }
  // Decimal position of the first significant digit: 1 for "5", 0 for "0.5", -2 for "0.005".
  const auto point = mantissa.find('.');
  const std::size_t pointAt = point == std::string_view::npos ? mantissa.size() : point;
  const auto first = mantissa.find_first_of("123456789");
  if (first == std::string_view::npos) {
    return true;  // zero
  }
  const long position = first < pointAt ? static_cast<long>(pointAt - first)
                                        : -static_cast<long>(first - pointAt - 1);
  return position + exponent <= 0;
}

}  // namespace

std::string NumberToHex(std::int32_t number, int length) {
  std::string text = HexText(number);
  if (length > static_cast<int>(text.size())) {
    text.insert(0, static_cast<std::size_t>(length) - text.size(), '0');
  }
  return text;
}

std::string HexText(std::int32_t number) {
  std::array<char, 8> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                                    static_cast<std::uint32_t>(number), 16);
  std::string text(buffer.data(), result.ptr);
  std::transform(text.begin(), text.end(), text.begin(), upper);
  return text;
}

std::string HexPad4(std::string_view text) {
  std::string result(text.size() == 8 ? text.substr(4) : text);
  std::transform(result.begin(), result.end(), result.begin(), upper);
  if (!result.empty() && result.size() < 4) {
    result.insert(0, 4 - result.size(), '0');
  }
  return result;
}

std::string ListTextBlock(const std::vector<std::string>& lines) {
  std::string block;
  for (const auto& line : lines) {
    block += line;
    block += "\r\n";
  }
  return block;
}

std::optional<std::int32_t> parseHexSigned(std::string_view text) {
  const auto value = parseHexDigits(text);
  if (!value) {
    return std::nullopt;
  }
  // Two's complement: eight digits from 80000000 stand for negative numbers.
  return static_cast<std::int32_t>(*value);
}

std::optional<std::uint32_t> parseHexUnsigned(std::string_view text) {
  return parseHexDigits(text);
}

std::optional<double> parseDecimal(std::string_view text) {
  const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && isBlank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && isBlank(text.back())) {
    text.remove_suffix(1);
  }
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  // Check the grammar first: from_chars alone would also take "inf", "nan" and hex floats.
  std::size_t i = 0;
  std::size_t digits = 0;
  for (; i < text.size() && isDigit(text[i]); ++i) {
    ++digits;
  }
  if (i < text.size() && text[i] == '.') {
    for (++i; i < text.size() && isDigit(text[i]); ++i) {
      ++digits;
    }
  }
  if (digits == 0) {
    return std::nullopt;
  }
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
      ++i;
    }
    std::size_t exponentDigits = 0;
    for (; i < text.size() && isDigit(text[i]); ++i) {
      ++exponentDigits;
    }
    if (exponentDigits == 0) {
      return std::nullopt;
    }
  }
  if (i != text.size()) {
    return std::nullopt;
  }
  double value = 0.0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec == std::errc::result_out_of_range && magnitudeBelowOne(text)) {
    value = 0.0;  // too small for a double (1e-400): as good as zero
  } else if (result.ec != std::errc() || result.ptr != text.data() + text.size() ||
             !std::isfinite(value)) {
    return std::nullopt;  // too large (1e999)
  }
  return negative ? -value : value;
}

std::string formatFixed(double value, int intDigits, int decimals) {
  if (!std::isfinite(value)) {
    return formatGeneral(value, 1);
  }
  decimals = std::clamp(decimals, 0, 30);
  double magnitude = std::fabs(value);
  // An exact half-way value rounds away from zero, as the windows' number formats always have
  // (to_chars alone would round it to even). Half-way at `decimals` digits means
  // magnitude * 2^(decimals + 1) is an odd integer: the value is k / 2^(decimals + 1) and
  // k * 5^decimals / 2 must have the fraction one half.
  if (std::fmod(std::ldexp(magnitude, decimals + 1), 2.0) == 1.0) {
    magnitude = std::nextafter(magnitude, std::numeric_limits<double>::infinity());
  }
  // Up to 309 integer digits for the largest doubles.
  std::array<char, 400> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude,
                                    std::chars_format::fixed, decimals);
  std::string text(buffer.data(), result.ptr);
  const auto point = text.find('.');
  const std::size_t integerLength = point == std::string::npos ? text.size() : point;
  if (intDigits > static_cast<int>(integerLength)) {
    text.insert(0, static_cast<std::size_t>(intDigits) - integerLength, '0');
  }
  // A negative value that rounds to zero is shown without its sign.
  const bool allZero = text.find_first_not_of("0.") == std::string::npos;
  if (value < 0 && !allZero) {
    text.insert(0, 1, '-');
  }
  return text;
}

std::string formatSingle(float value) {
  return formatGeneral(value, 7);
}

std::string formatDouble(double value) {
  return formatGeneral(value, 15);
}

}  // namespace kv4410
