#include "settings/tools.h"
#include "framework/core/LogFont.h"
#include "framework/core/StockFont.h"
#include "settings/StringTokenizer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

std::vector<int> Bytes(const std::string& list) {
    BYTE* buf = nullptr;
    DWORD count = 99;
    HexaStringToBytes(list, &buf, &count);
    EXPECT_NE(nullptr, buf);
    std::vector<int> bytes(buf, buf + count);
    delete[] buf;
    return bytes;
}

TEST(StringTokenizerTest, EmptyTextOrDelimiterYieldsNoToken) {
    StringTokenizer noDelimiter("a,b", "");
    EXPECT_EQ(0, noDelimiter.countTokens());
    EXPECT_EQ("", noDelimiter.nextToken());
    StringTokenizer noText("", ",");
    EXPECT_EQ(0, noText.countTokens());
}

TEST(StringTokenizerTest, RunsAndEndsOfDelimitersAreDropped) {
    StringTokenizer tokens("\\x07\\x\\x00\\x", "\\x");
    EXPECT_EQ(2, tokens.countTokens());
    EXPECT_EQ("07", tokens.nextToken());
    EXPECT_EQ("00", tokens.nextToken());
    EXPECT_EQ("", tokens.nextToken());
    EXPECT_EQ(0, tokens.countTokens());

    StringTokenizer abc("a,b,c", ",");
    EXPECT_EQ("a", abc.nextToken());
    EXPECT_EQ(2, abc.countTokens());

    StringTokenizer word("ab--cd----ef", "--");
    EXPECT_EQ(3, word.countTokens());
    EXPECT_EQ("ab", word.nextToken());
    EXPECT_EQ("cd", word.nextToken());
    EXPECT_EQ("ef", word.nextToken());

    StringTokenizer onlyDelimiters(",,,", ",");
    EXPECT_EQ(0, onlyDelimiters.countTokens());
}

TEST(HexaStringToBytesTest, ListsGiveOneBytePerToken) {
    EXPECT_EQ((std::vector<int>{0x07, 0x00}), Bytes("\\x07\\x00"));
    EXPECT_EQ((std::vector<int>{}), Bytes(""));
    EXPECT_EQ((std::vector<int>{0x41}), Bytes("\\x\\x\\x41"));
    EXPECT_EQ((std::vector<int>{0x41}), Bytes("\\x41\\x"));
    EXPECT_EQ((std::vector<int>{0x00, 0x41}), Bytes("\\xzz\\x41"));
    EXPECT_EQ((std::vector<int>{0x04}), Bytes("\\x4G"));
    EXPECT_EQ((std::vector<int>{0x41}), Bytes("\\x0x41"));
    EXPECT_EQ((std::vector<int>{0xFF, 0xFF}), Bytes("\\xff\\xFF"));
    EXPECT_EQ((std::vector<int>{0xFF, 0x00}), Bytes("\\x1FF\\x100"));
    EXPECT_EQ((std::vector<int>{0x07, 0x00}), Bytes("07\\x00"));
    EXPECT_EQ((std::vector<int>{0x1B, 0x0D, 0x7F}), Bytes("\\x1b\\x0D\\x7F"));
    // An upper-case X is no delimiter: the whole text is one token read as far as its digits go.
    EXPECT_EQ((std::vector<int>{0x00}), Bytes("\\X41"));
}

TEST(HexaStringToBytesTest, PointerAlreadySetIsAProgrammingError) {
    BYTE existing[1] = {0};
    BYTE* buf = existing;
    DWORD count = 0;
    EXPECT_DEATH(HexaStringToBytes("\\x01", &buf, &count), "NULL == \\*buf");
}

TEST(HexaTCharToIntTest, ReadsLeadingDigitsInThirtyTwoBits) {
    EXPECT_EQ(0, HexaTCharToInt(""));
    EXPECT_EQ(0, HexaTCharToInt("g1"));
    EXPECT_EQ(0x1A, HexaTCharToInt("0X1a"));
    EXPECT_EQ(0, HexaTCharToInt("0x"));
    EXPECT_EQ(0x23456789, HexaTCharToInt("123456789"));
    EXPECT_EQ(static_cast<int>(0xFFFFFFFFu), HexaTCharToInt("ffffffff"));
}

TEST(GetSystemLogFontTest, FixedFontIsDescribedWithoutDisplayAndUnknownIdLeavesStructure) {
    LOGFONTA font;
    std::memset(&font, 0x5A, sizeof font);
    GetSystemLogFont(SYSTEM_FIXED_FONT, &font);
    EXPECT_NE(0, font.lfHeight);
    EXPECT_EQ(FIXED_PITCH, font.lfPitchAndFamily & 0x3);
    EXPECT_LT(std::strlen(font.lfFaceName), static_cast<size_t>(LF_FACESIZE));

    LOGFONTA untouched;
    std::memset(&untouched, 0x5A, sizeof untouched);
    GetSystemLogFont(DEFAULT_PALETTE, &untouched);
    LOGFONTA expected;
    std::memset(&expected, 0x5A, sizeof expected);
    EXPECT_EQ(0, std::memcmp(&expected, &untouched, sizeof expected));
}

TEST(GetSystemLogFontTest, InstalledSourceDescribesTheFont) {
    SetStockFontSource([](UINT id, LOGFONTA& font) {
        if (id != SYSTEM_FIXED_FONT)
            return false;
        std::memset(&font, 0, sizeof font);
        font.lfHeight = -13;
        std::strcpy(font.lfFaceName, "Screen Mono");
        return true;
    });
    LOGFONTA font{};
    GetSystemLogFont(SYSTEM_FIXED_FONT, &font);
    SetStockFontSource(nullptr);
    EXPECT_EQ(-13, font.lfHeight);
    EXPECT_STREQ("Screen Mono", font.lfFaceName);
}

} // namespace
