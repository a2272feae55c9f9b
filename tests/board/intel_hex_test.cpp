// The Intel HEX reader: what a good file gives, and every kind of malformed file it refuses.
#include "board/intel_hex.h"

#include <gtest/gtest.h>

#include <cctype>

#include "board/hex_records.h"

namespace kv4410::board {
namespace {

using testing::hexRecord;
using testing::kEndRecord;

TEST(IntelHex, ReadsDataRecordsIntoContiguousBlocks) {
  const std::string text = hexRecord(0, 0x0000, {0x02, 0x00, 0x06}) + "\r\n" +
                           hexRecord(0, 0x0003, {0x12, 0x34}) + "\r\n" +
                           hexRecord(0, 0x0100, {0xAA}) + "\r\n" +
                           hexRecord(0x03, 0, {0, 0, 0x01, 0x00}) + "\r\n" + kEndRecord + "\r\n";
  const HexImage image = parseIntelHex(text);
  ASSERT_TRUE(image.ok) << image.error;
  ASSERT_EQ(image.blocks.size(), 2u);
  EXPECT_EQ(image.blocks[0].address, 0x0000);
  EXPECT_EQ(image.blocks[0].bytes, (std::vector<std::uint8_t>{0x02, 0x00, 0x06, 0x12, 0x34}));
  EXPECT_EQ(image.blocks[1].address, 0x0100);
  EXPECT_EQ(image.blocks[1].bytes, (std::vector<std::uint8_t>{0xAA}));
}

TEST(IntelHex, AcceptsLowerCaseLfEndingsAndNoFinalLineEnd) {
  std::string record = hexRecord(0, 0xFFFE, {0xAB, 0xCD});
  for (char& c : record) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  const HexImage image = parseIntelHex(record + "\n" + kEndRecord);
  ASSERT_TRUE(image.ok) << image.error;
  ASSERT_EQ(image.blocks.size(), 1u);
  EXPECT_EQ(image.blocks[0].address, 0xFFFE);
}

TEST(IntelHex, AddressRecordsSetTheBase) {
  // Segment base 0x0100 * 16 = 0x1000; linear base 0 keeps the low 64 KiB.
  const std::string text = hexRecord(0x02, 0, {0x01, 0x00}) + "\n" + hexRecord(0, 0x0010, {1}) +
                           "\n" + hexRecord(0x04, 0, {0x00, 0x00}) + "\n" +
                           hexRecord(0, 0x0020, {2}) + "\n" + hexRecord(0x05, 0, {0, 0, 0, 0}) +
                           "\n" + kEndRecord + "\n";
  const HexImage image = parseIntelHex(text);
  ASSERT_TRUE(image.ok) << image.error;
  ASSERT_EQ(image.blocks.size(), 2u);
  EXPECT_EQ(image.blocks[0].address, 0x1010);
  EXPECT_EQ(image.blocks[1].address, 0x0020);
}

TEST(IntelHex, RefusesMalformedFiles) {
  const std::string good = hexRecord(0, 0x0000, {0x01, 0x02});
  std::string badChecksum = good;
  badChecksum.back() = badChecksum.back() == '0' ? '1' : '0';
  std::string badDigit = good;
  badDigit[3] = 'G';
  struct Case {
    const char* what;
    std::string text;
  };
  const Case cases[] = {
      {"empty file", ""},
      {"no end record", good + "\n"},
      {"checksum", badChecksum + "\n" + kEndRecord},
      {"hex digit", badDigit + "\n" + kEndRecord},
      {"missing colon", good.substr(1) + "\n" + kEndRecord},
      {"blank line", good + "\n\n" + kEndRecord},
      {"length mismatch", ":0300000001022A\n" + kEndRecord},
      {"odd length", good + "0\n" + kEndRecord},
      {"too short", ":0000\n" + kEndRecord},
      {"unknown type", hexRecord(0x06, 0, {}) + "\n" + kEndRecord},
      {"end with length", hexRecord(0x01, 0, {0}) + "\n"},
      {"end with address", hexRecord(0x01, 0x0010, {}) + "\n"},
      {"segment length", hexRecord(0x02, 0, {0x01}) + "\n" + kEndRecord},
      {"segment address", hexRecord(0x02, 0x0004, {0x00, 0x00}) + "\n" + kEndRecord},
      {"linear length", hexRecord(0x04, 0, {0, 0, 0}) + "\n" + kEndRecord},
      {"start length", hexRecord(0x03, 0, {0, 0}) + "\n" + kEndRecord},
      {"linear start length", hexRecord(0x05, 0, {0}) + "\n" + kEndRecord},
      {"beyond 0xFFFF", hexRecord(0, 0xFFFF, {1, 2}) + "\n" + kEndRecord},
      {"beyond by base",
       hexRecord(0x04, 0, {0x00, 0x01}) + "\n" + hexRecord(0, 0, {1}) + "\n" + kEndRecord},
      {"beyond by segment",
       hexRecord(0x02, 0, {0x10, 0x00}) + "\n" + hexRecord(0, 0, {1}) + "\n" + kEndRecord},
      {"data after end", kEndRecord + "\n" + good + "\n"},
      {"trailing blank", good + " \n" + kEndRecord},
  };
  for (const auto& c : cases) {
    const HexImage image = parseIntelHex(c.text);
    EXPECT_FALSE(image.ok) << c.what;
    EXPECT_FALSE(image.error.empty()) << c.what;
    EXPECT_TRUE(image.blocks.empty()) << c.what;
  }
}

}  // namespace
}  // namespace kv4410::board
