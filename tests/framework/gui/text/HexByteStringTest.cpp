// The byte strings a user types to search a hex view: the usual ways of writing bytes, and everything
// that is not one.
#include "framework/gui/text/HexByteString.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Parsed(const std::string& text) {
    std::string bytes = "stale";
    return ParseHexByteString(text, bytes) ? bytes : "refused:" + bytes;
}

} // namespace

TEST(HexByteString, TheUsualWaysOfWritingBytes) {
    const std::string expected("\x7e\x01\x03", 3);
    for (const char* text : {"7e 01 03", "7E0103", "7e:01:03", "7e-01-03", "7e,01,03", "0x7e, 0x01, 0x03",
                             "\\x7e\\x01\\x03", "  7e\t01  03  ", "7e 1 3", "0X7E 0x1 3", "7e0103 "})
        EXPECT_EQ(Parsed(text), expected) << text;
    EXPECT_EQ(Parsed("00"), std::string(1, '\0'));
    EXPECT_EQ(Parsed("ff FF"), "\xff\xff");
    EXPECT_EQ(Parsed("cafe"), "\xca\xfe");
}

TEST(HexByteString, AnythingElseIsNoByteString) {
    for (const char* text : {"", " ", " , : - ", "7e0", "123", "7e 0 12345", "0x", "0x 7e", "\\", "\\7e",
                             "\\x", "7g", "hello", "7e 01 03 zz", "7e0x01", "x7e", "7e\\y01", "é"})
        EXPECT_EQ(Parsed(text), "refused:") << text;
}
