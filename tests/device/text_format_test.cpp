#include "device/text_format.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>

namespace kv4410 {
namespace {

TEST(DeviceTextFormat, HexTexts) {
  // NumberToHex never cuts: a length below the digit count keeps every digit.
  const std::tuple<std::int32_t, int, const char*> hex[] = {
      {0x3FE4A0, 8, "003FE4A0"}, {-1, 8, "FFFFFFFF"},   {0x7, 4, "0007"},
      {0xC0A492, 6, "C0A492"},   {0x12345, 4, "12345"}, {-0xC00000 + 0xA492, 8, "FF40A492"}};
  for (const auto& [number, length, text] : hex) {
    EXPECT_EQ(NumberToHex(number, length), text) << number;
  }
  EXPECT_EQ(HexText(0xabc), "ABC");
  // Eight characters keep their last four; one to three are padded to four.
  const std::pair<const char*, const char*> pads[] = {{"0012ab34", "AB34"}, {"7", "0007"},
                                                      {"abc", "0ABC"},      {"ffff", "FFFF"},
                                                      {"1fffe", "1FFFE"},   {"", ""}};
  for (const auto& [in, out] : pads) {
    EXPECT_EQ(HexPad4(in), out) << in;
  }
  EXPECT_EQ(ListTextBlock({"a", "b"}), "a\r\nb\r\n");
  EXPECT_EQ(ListTextBlock({}), "");
}

// The serial-word field reads unsigned, the DAC and code fields signed: one grammar.
TEST(DeviceTextFormat, ParseHex) {
  const std::tuple<const char*, std::uint32_t, std::int32_t> good[] = {
      {"0", 0u, 0},
      {"A492", 0xA492u, 42130},
      {"0000abcd", 0xABCDu, 0xABCD},
      {"1fffffff", 0x1FFFFFFFu, 0x1FFFFFFF},
      {"80000000", 0x80000000u, std::numeric_limits<std::int32_t>::min()},
      {"FFFFABCD", 0xFFFFABCDu, -0x5433}};
  for (const auto& [text, asUnsigned, asSigned] : good) {
    EXPECT_EQ(parseHexUnsigned(text), asUnsigned) << text;
    EXPECT_EQ(parseHexSigned(text), asSigned) << text;
  }
  for (const char* bad :
       {"", "123456789", " 12", "12 ", "-1", "+1", "0x12", "&H12", "12g", "1.5", "xyz"}) {
    EXPECT_FALSE(parseHexUnsigned(bad).has_value()) << '"' << bad << '"';
    EXPECT_FALSE(parseHexSigned(bad).has_value()) << '"' << bad << '"';
  }
}

// Too small for a double (1e-400) is zero, not an error; too large is refused.
TEST(DeviceTextFormat, ParseDecimal) {
  const std::pair<const char*, double> good[] = {{"1.5", 1.5},
                                                 {"-2.25", -2.25},
                                                 {"+3", 3.0},
                                                 {" 12.5 ", 12.5},
                                                 {".5", 0.5},
                                                 {"5.", 5.0},
                                                 {"-1E-3", -0.001},
                                                 {"1e3", 1000.0},
                                                 {"-1e-400", -0.0},
                                                 {"1e-300", 1e-300},
                                                 {"0.0001e-99999999999999999999", 0.0}};
  for (const auto& [text, value] : good) {
    EXPECT_EQ(parseDecimal(text), value) << '"' << text << '"';
  }
  for (const char* bad : {"", " ", "-", ".", "abc", "1a", "1e", "1e+", "nan", "-infinity", "0x10",
                          "1,5", "1e999", "123e99999999999999999999", "--1", "1 2"}) {
    EXPECT_FALSE(parseDecimal(bad).has_value()) << '"' << bad << '"';
  }
}

// "00.000" (F/S and Z/S), "0.000000000" and "0.0000" (the chart's point picking). Exact
// half-way values round away from zero; 2.675 is really 2.67499999...; a negative value that
// shows as zero has no sign.
TEST(DeviceTextFormat, NumberFormats) {
  const std::tuple<double, int, int, const char*> fixed[] = {
      {5.624866, 2, 3, "05.625"}, {-0.0001, 2, 3, "00.000"}, {123.4567, 2, 3, "123.457"},
      {-2.8125, 2, 3, "-02.813"}, {0.125, 1, 2, "0.13"},     {2.5, 1, 0, "3"},
      {-0.5, 1, 0, "-1"},         {2.675, 1, 2, "2.67"},     {-0.25, 1, 4, "-0.2500"}};
  for (const auto& [value, intDigits, decimals, text] : fixed) {
    EXPECT_EQ(formatFixed(value, intDigits, decimals), text) << value;
  }
  EXPECT_EQ(formatFixed(0.000123456789, 1, 9), "0.000123457");
  // Extremes stay well-formed and do not overflow a buffer.
  EXPECT_EQ(formatFixed(1e300, 2, 3).size(), 301u + 4u);
  EXPECT_EQ(formatFixed(std::numeric_limits<double>::quiet_NaN(), 2, 3), "NaN");
  EXPECT_EQ(formatFixed(-std::numeric_limits<double>::infinity(), 2, 3), "-Infinity");
  // Short forms: 7 significant digits in single precision, 15 in double.
  EXPECT_EQ(formatSingle(0.1F), "0.1");
  EXPECT_EQ(formatSingle(1.23456789F), "1.234568");
  EXPECT_EQ(formatDouble(1.0 / 3.0), "0.333333333333333");
  EXPECT_EQ(formatDouble(-11.2499237060547), "-11.2499237060547");
}

}  // namespace
}  // namespace kv4410
