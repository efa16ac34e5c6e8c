#include <gtest/gtest.h>

#include "firmware/hex_records.h"
#include "service/intel_hex.h"

namespace cvk::service {
namespace {

using test::hexEnd;
using test::hexImage;
using test::hexRecord;

TEST(IntelHex, AcceptsAnImageWithItsRangeAndBytes)
{
    for (const char* eol : {"\n", "\r\n"}) {
        HexCheck c = checkIntelHex(hexImage(0x0100, 40, eol));
        ASSERT_TRUE(c.ok) << c.message();
        EXPECT_EQ(c.image.low, 0x0100u);
        EXPECT_EQ(c.image.high, 0x0127u);
        EXPECT_EQ(c.image.count, 40u);
        EXPECT_EQ(c.image.bytes[0x0110], test::hexImageByte(0x0110));
        EXPECT_FALSE(c.image.used[0x00FF]);
        EXPECT_FALSE(c.image.used[0x0128]);
    }
}

TEST(IntelHex, AcceptsTheRecordsThatCarryNothingForThisChip)
{
    const std::string text = hexRecord(4, 0, {0, 0}) + "\n" + hexRecord(2, 0, {0, 0}) + "\n" +
                             hexRecord(3, 0, {0, 0, 0, 0}) + "\n" + hexRecord(5, 0, {0, 0, 0, 0}) + "\n" +
                             hexRecord(0, 0x2FFE, {1, 2}) + "\n" +
                             // the same bytes again are no conflict
                             hexRecord(0, 0x2FFF, {2}) + "\n" + hexEnd() + "\n\n";
    HexCheck c = checkIntelHex(text);
    ASSERT_TRUE(c.ok) << c.message();
    EXPECT_EQ(c.image.low, 0x2FFEu);
    EXPECT_EQ(c.image.high, 0x2FFFu);
}

struct BadHex {
    const char* what;
    std::string text;
    int line;
    const char* fault;  // a part of the message
};

TEST(IntelHex, RefusesABadFileNamingTheLineAndTheFault)
{
    const std::string data = hexRecord(0, 0, {1, 2, 3, 4}) + "\n";
    std::string badSum = hexRecord(0, 0x10, {9, 9});
    badSum.back() = badSum.back() == '0' ? '1' : '0';
    const std::vector<BadHex> cases = {
        {"checksum", data + badSum + "\n" + hexEnd(), 2, "checksum"},
        {"no colon", data + "00000001FF\n", 2, "start with ':'"},
        {"not hex", data + ":0400000001G20304F2\n" + hexEnd(), 2, "character 12 ('G')"},
        {"control character", data + ":00000001FF\t\n", 2, "byte 0x09"},
        {"space", data + ":0000000 1FF\n", 2, "character 9 (' ') is not a hex digit"},
        {"odd digits", data + ":00000001F\n", 2, "odd number"},
        {"count too large", data + ":0500000001020304F1\n" + hexEnd(), 2, "says 5 data bytes but holds 4"},
        {"too short", data + ":0000\n" + hexEnd(), 2, "too short"},
        {"empty line", data + "\n" + hexEnd(), 2, "empty"},
        {"after the end", data + hexEnd() + "\n" + hexRecord(0, 0x20, {1}) + "\n", 3,
         "after the end-of-file"},
        {"no end", data, 0, "end-of-file record is missing"},
        {"end with data", data + hexRecord(1, 0, {0}), 2, "must hold no data"},
        {"no data", hexEnd() + "\n", 0, "no data"},
        {"unknown type", data + hexRecord(6, 0, {}) + "\n" + hexEnd(), 2, "record type 06"},
        {"extended linear", data + hexRecord(4, 0, {0, 1}) + "\n" + hexEnd(), 2,
         "beyond the device's 16 KiB"},
        {"extended segment", data + hexRecord(2, 0, {0x10, 0}) + "\n" + hexEnd(), 2, "beyond"},
        {"bootloader area", data + hexRecord(0, 0x2FFF, {1, 2}) + "\n" + hexEnd(), 2, "data at 0x3000"},
        {"above flash", data + hexRecord(0, 0x8000, {1}) + "\n" + hexEnd(), 2,
         "outside the application area"},
        {"wraps", data + hexRecord(0, 0xFFFE, {1, 2, 3}) + "\n" + hexEnd(), 2, "past address 0xFFFF"},
        {"conflict", data + hexRecord(0, 0x0002, {9}) + "\n" + hexEnd(), 2, "0x0002 is given twice"},
        {"too large", std::string(kMaxHexFileBytes + 1, '0'), 0, "too large"},
    };
    for (const BadHex& c : cases) {
        HexCheck check = checkIntelHex(c.text);
        EXPECT_FALSE(check.ok) << c.what;
        EXPECT_EQ(check.line, c.line) << c.what << ": " << check.message();
        EXPECT_NE(check.message().find(c.fault), std::string::npos) << c.what << ": " << check.message();
        if (c.line > 0) {
            EXPECT_EQ(check.message().rfind("line " + std::to_string(c.line) + ": ", 0), 0u) << c.what;
        }
    }
}

}  // namespace
}  // namespace cvk::service
