#include "device/text_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>

namespace kv4410 {
namespace {

TEST(DeviceTextFormat, NumberToHex) {
  struct Case {
    std::int32_t number;
    int length;
    const char* text;
  };
  const Case cases[] = {
      {0x3FE4A0, 8, "003FE4A0"},
      {-1, 8, "FFFFFFFF"},
      {0, 8, "00000000"},
      {0xA492, 4, "A492"},
      {0x7, 4, "0007"},
      {0xC0A492, 6, "C0A492"},
      {0x12345, 4, "12345"},  // a length below the digit count does not cut
      {-0xC00000 + 0xA492, 8, "FF40A492"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NumberToHex(c.number, c.length), c.text) << c.number;
  }
}

TEST(DeviceTextFormat, HexText) {
  EXPECT_EQ(HexText(0), "0");
  EXPECT_EQ(HexText(0xabc), "ABC");
  EXPECT_EQ(HexText(std::numeric_limits<std::int32_t>::min()), "80000000");
}

TEST(DeviceTextFormat, HexPad4) {
  const std::pair<const char*, const char*> cases[] = {
      {"1fffe", "1FFFE"},
      {"0012ab34", "AB34"},
      {"7", "0007"},
      {"a", "000A"},
      {"abc", "0ABC"},
      {"ffff", "FFFF"},
      {"0000abcd", "ABCD"},
      {"", ""},
      {"123456789", "123456789"},
      {"abcdef", "ABCDEF"},
  };
  for (const auto& [in, out] : cases) {
    EXPECT_EQ(HexPad4(in), out) << in;
  }
}

TEST(DeviceTextFormat, ListTextBlock) {
  EXPECT_EQ(ListTextBlock({"a", "b"}), "a\r\nb\r\n");
  EXPECT_EQ(ListTextBlock({"only"}), "only\r\n");
  EXPECT_EQ(ListTextBlock({}), "");
}

TEST(DeviceTextFormat, ParseHexUnsigned) {
  const std::pair<const char*, std::optional<std::uint32_t>> cases[] = {
      {"FFFFFFFF", 4294967295u},
      {"1fffffff", 0x1FFFFFFFu},
      {"0", 0u},
      {"20000000", 0x20000000u},
      {"00000000", 0u},
      {"123456789", std::nullopt},  // nine digits
      {"", std::nullopt},
      {" 12", std::nullopt},
      {"12 ", std::nullopt},
      {"-1", std::nullopt},
      {"+1", std::nullopt},
      {"0x12", std::nullopt},
      {"&H12", std::nullopt},
      {"12g", std::nullopt},
      {"1.5", std::nullopt},
  };
  for (const auto& [text, value] : cases) {
    EXPECT_EQ(parseHexUnsigned(text), value) << '"' << text << '"';
  }
}

TEST(DeviceTextFormat, ParseHexSigned) {
  const std::pair<const char*, std::optional<std::int32_t>> cases[] = {
      {"8000", 32768},
      {"A492", 42130},
      {"ffff", 0xFFFF},
      {"10000", 0x10000},
      {"0000abcd", 0xABCD},
      {"7FFFFFFF", 0x7FFFFFFF},
      {"80000000", std::numeric_limits<std::int32_t>::min()},
      {"FFFFFFFF", -1},
      {"FFFFABCD", -0x5433},
      {"", std::nullopt},
      {"123456789", std::nullopt},
      {" a", std::nullopt},
      {"-a", std::nullopt},
      {"0xA", std::nullopt},
      {"xyz", std::nullopt},
  };
  for (const auto& [text, value] : cases) {
    EXPECT_EQ(parseHexSigned(text), value) << '"' << text << '"';
  }
}

TEST(DeviceTextFormat, ParseDecimal) {
  const std::pair<const char*, std::optional<double>> cases[] = {
      {"1.5", 1.5},
      {"-2.25", -2.25},
      {"+3", 3.0},
      {" 12.5 ", 12.5},
      {".5", 0.5},
      {"5.", 5.0},
      {"1e3", 1000.0},
      {"-1E-3", -0.001},
      {"10000", 10000.0},
      {"0", 0.0},
      {"", std::nullopt},
      {" ", std::nullopt},
      {"-", std::nullopt},
      {".", std::nullopt},
      {"abc", std::nullopt},
      {"1a", std::nullopt},
      {"1e", std::nullopt},
      {"1e+", std::nullopt},
      {"nan", std::nullopt},
      {"NaN", std::nullopt},
      {"inf", std::nullopt},
      {"-infinity", std::nullopt},
      {"0x10", std::nullopt},
      {"1,5", std::nullopt},
      {"1e999", std::nullopt},
      {"--1", std::nullopt},
      {"1 2", std::nullopt},
      {"-1e-400", -0.0},  // too small for a double: zero, not an error
      {"0.0001e-99999999999999999999", 0.0},
      {"123e99999999999999999999", std::nullopt},
      {"0.5e0", 0.5},
      {"1e-300", 1e-300},
  };
  for (const auto& [text, value] : cases) {
    EXPECT_EQ(parseDecimal(text), value) << '"' << text << '"';
  }
}

TEST(DeviceTextFormat, FixedFormats) {
  struct Case {
    double value;
    int intDigits, decimals;
    const char* text;
  };
  const Case cases[] = {
      // "00.000": the F/S and Z/S fields.
      {11.249733, 2, 3, "11.250"},
      {-11.249924, 2, 3, "-11.250"},
      {5.624866, 2, 3, "05.625"},
      {-5.624962, 2, 3, "-05.625"},
      {22.4993, 2, 3, "22.499"},
      {-22.5, 2, 3, "-22.500"},
      {2.2499313, 2, 3, "02.250"},
      {-2.25, 2, 3, "-02.250"},
      {0.0, 2, 3, "00.000"},
      {-0.0001, 2, 3, "00.000"},
      {123.4567, 2, 3, "123.457"},
      // Exact half-way values round away from zero.
      {-2.8125, 2, 3, "-02.813"},
      {2.8125, 2, 3, "02.813"},
      {0.125, 1, 2, "0.13"},
      {2.5, 1, 0, "3"},
      {-0.5, 1, 0, "-1"},
      {0.0625, 1, 3, "0.063"},
      {0.1, 1, 0, "0"},
      {2.675, 1, 2, "2.67"},  // 2.675 is really 2.67499999...
      // "0.000000000" and "0.0000": the chart's point picking.
      {0.000123456789, 1, 9, "0.000123457"},
      {-1.5, 1, 9, "-1.500000000"},
      {2.5, 1, 4, "2.5000"},
      {-0.25, 1, 4, "-0.2500"},
      {12.34567, 1, 4, "12.3457"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(formatFixed(c.value, c.intDigits, c.decimals), c.text) << c.value;
  }
  // Extremes stay well-formed and do not overflow a buffer.
  EXPECT_EQ(formatFixed(1e300, 2, 3).size(), 301u + 4u);
  EXPECT_EQ(formatFixed(std::numeric_limits<double>::quiet_NaN(), 2, 3), "NaN");
  EXPECT_EQ(formatFixed(-std::numeric_limits<double>::infinity(), 2, 3), "-Infinity");
}

TEST(DeviceTextFormat, ShortFormats) {
  EXPECT_EQ(formatSingle(1.0F), "1");
  EXPECT_EQ(formatSingle(0.1F), "0.1");
  EXPECT_EQ(formatSingle(-2.25F), "-2.25");
  EXPECT_EQ(formatSingle(1.23456789F), "1.234568");  // 7 significant digits
  EXPECT_EQ(formatSingle(11.249733F), "11.24973");
  EXPECT_EQ(formatSingle(1e-7F), "1e-07");
  EXPECT_EQ(formatDouble(0.1), "0.1");
  EXPECT_EQ(formatDouble(1.0 / 3.0), "0.333333333333333");  // 15 significant digits
  EXPECT_EQ(formatDouble(-11.2499237060547), "-11.2499237060547");
  EXPECT_EQ(formatDouble(1e300), "1e+300");
  // Every short form reads back within its precision.
  for (const double v : {3.14159265358979, -2.5e-12, 123456789.123}) {
    EXPECT_NEAR(*parseDecimal(formatDouble(v)), v, std::fabs(v) * 1e-14);
  }
}

}  // namespace
}  // namespace kv4410
