// The Intel HEX reader: what a good file gives, and every kind of malformed file it refuses.
#include "board/intel_hex.h"

#include <gtest/gtest.h>

#include <string>

namespace kv4410::board {
namespace {

const std::string kData = ":020000000102FB";  // 01 02 at 0x0000
const std::string kEnd = ":00000001FF";

TEST(IntelHex, ReadsAddressRecordsLowerCaseAndBothLineEnds) {
  // Segment base 0x0100 * 16 = 0x1000; linear base 0 keeps the low 64 KiB; 03 and 05 are
  // ignored; no line end after the end record.
  const HexImage image = parseIntelHex(
      ":020000020100FB\r\n:0100100001EE\r\n:0400000300000100F8\r\n:020000040000FA\n"
      ":0100200002DD\n:0400000500000000F7\n:02fffe00abcd89\n:00000001ff");
  ASSERT_EQ(image.blocks.size(), 3u) << image.error;
  EXPECT_EQ(image.blocks[0].address, 0x1010);
  EXPECT_EQ(image.blocks[1].address, 0x0020);
  EXPECT_EQ(image.blocks[1].bytes, (std::vector<std::uint8_t>{0x02}));
  EXPECT_EQ(image.blocks[2].address, 0xFFFE);
  EXPECT_EQ(image.blocks[2].bytes, (std::vector<std::uint8_t>{0xAB, 0xCD}));
}

TEST(IntelHex, RefusesMalformedFiles) {
  const std::pair<const char*, std::string> cases[] = {
      {"empty file", ""},
      {"no end record", kData + "\n"},
      {"checksum", ":020000000102FC\n" + kEnd},
      {"hex digit", ":02000000010GFB\n" + kEnd},
      {"missing colon", "020000000102FB\n" + kEnd},
      {"blank line", kData + "\n\n" + kEnd},
      {"length mismatch", ":0300000001022A\n" + kEnd},
      {"odd length", kData + "0\n" + kEnd},
      {"too short", ":0000\n" + kEnd},
      {"unknown type", ":00000006FA\n" + kEnd},
      {"end with length", ":0100000100FE\n"},
      {"end with address", ":00001001EF\n"},
      {"segment length", ":0100000201FC\n" + kEnd},
      {"segment address", ":020004020000F8\n" + kEnd},
      {"linear length", ":03000004000000F9\n" + kEnd},
      {"start length", ":020000030000FB\n" + kEnd},
      {"linear start length", ":0100000500FA\n" + kEnd},
      {"beyond 0xFFFF", ":02FFFF000102FD\n" + kEnd},
      {"beyond by base", ":020000040001F9\n:0100000001FE\n" + kEnd},
      {"beyond by segment", ":020000021000EC\n:0100000001FE\n" + kEnd},
      {"data after end", kEnd + "\n" + kData + "\n"},
      {"trailing blank", kData + " \n" + kEnd},
  };
  for (const auto& [what, text] : cases) {
    const HexImage image = parseIntelHex(text);
    EXPECT_FALSE(image.ok) << what;
    EXPECT_FALSE(image.error.empty()) << what;
    EXPECT_TRUE(image.blocks.empty()) << what;
  }
  EXPECT_TRUE(parseIntelHex(kData + "\n" + kEnd).ok) << "the good record the cases spoil";
}

}  // namespace
}  // namespace kv4410::board
