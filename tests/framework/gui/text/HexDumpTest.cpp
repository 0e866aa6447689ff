// The rows of a hex dump: the conventional layout, offsets that stay true when the front of the text is
// cut, rows partly cut away or partly filled, and the lines of a selection.
#include "framework/gui/text/HexDump.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Bytes(std::size_t count, unsigned char first = 0) {
    std::string bytes;
    for (std::size_t i = 0; i < count; ++i)
        bytes += static_cast<char>(static_cast<unsigned char>(first + i));
    return bytes;
}

} // namespace

TEST(HexDump, RowsHaveTheConventionalLayout) {
    const char row1[] = "Hello\r\n\0\x01\x02\x7f\x80\xff  ~";
    const std::string text = std::string("0123456789abcdef") + std::string(row1, sizeof row1 - 1) + "xyz";
    const CHexDump dump(text, 0);
    ASSERT_EQ(dump.RowCount(), 3u);
    EXPECT_EQ(dump.Line(0), "00000000  30 31 32 33 34 35 36 37  38 39 61 62 63 64 65 66  |0123456789abcdef|");
    EXPECT_EQ(dump.Line(1), "00000010  48 65 6c 6c 6f 0d 0a 00  01 02 7f 80 ff 20 20 7e  |Hello........  ~|");
    // A short last row closes its bar right after its last byte.
    EXPECT_EQ(dump.Line(2), "00000020  78 79 7a                                          |xyz|");
    EXPECT_EQ(dump.Line(0).size(), dump.LineLength());
    EXPECT_EQ(dump.Lines(0, text.size()), dump.Line(0) + "\n" + dump.Line(1) + "\n" + dump.Line(2));
    EXPECT_EQ(CHexDump(std::string(), 0).RowCount(), 0u);
    EXPECT_EQ(CHexDump(std::string(), 0).Lines(0, 10), "");
}

TEST(HexDump, OffsetsStayTrueWhenTheFrontIsCut) {
    // 40 bytes received, the first 21 cut by the buffer loop: the text starts at offset 0x15.
    const std::string all = Bytes(40, 0x40);
    const CHexDump dump(std::string_view(all).substr(21), 21);
    ASSERT_EQ(dump.FirstRowNumber(), 1u);
    ASSERT_EQ(dump.RowCount(), 2u);
    EXPECT_EQ(dump.Line(0),
              "00000010                 55 56 57  58 59 5a 5b 5c 5d 5e 5f  |     UVWXYZ[\\]^_|");
    EXPECT_EQ(dump.Line(1), "00000020  60 61 62 63 64 65 66 67                           |`abcdefg|");
    EXPECT_EQ(dump.RowBegin(0), 0u);
    EXPECT_EQ(dump.RowEnd(0), 11u);
    EXPECT_EQ(dump.RowBegin(1), 11u);
    EXPECT_EQ(dump.RowEnd(1), 19u);
    EXPECT_EQ(dump.RowOf(10), 0u);
    EXPECT_EQ(dump.RowOf(11), 1u);
    EXPECT_EQ(dump.RowOf(19), 1u); // the end of the text lies in the last row
    EXPECT_EQ(dump.ColumnOf(0), 5u);
    EXPECT_EQ(dump.ColumnOf(11), 0u);
    // The same bytes read from a dump that starts afresh at the cut: offsets from 0, no blank columns.
    const CHexDump fresh(std::string_view(all).substr(21), 0);
    EXPECT_EQ(fresh.Line(0).substr(0, 14), "00000000  55 5");
}

TEST(HexDump, LongSessionsWidenTheOffsetInsteadOfWrappingIt) {
    const std::string text = Bytes(20);
    const CHexDump dump(text, 0x100000000ull - 16);
    ASSERT_EQ(dump.RowCount(), 2u);
    EXPECT_EQ(dump.Line(0).substr(0, 11), "0fffffff0  ");
    EXPECT_EQ(dump.Line(1).substr(0, 11), "100000000  ");
    EXPECT_EQ(dump.HexColumn(0), 11u);
    EXPECT_EQ(dump.Line(0).size(), dump.LineLength());
}

TEST(HexDump, TheLinesOfASelectionShowOnlyItsBytes) {
    const std::string text = Bytes(48, 0x41);
    const CHexDump dump(text, 0);
    // Bytes 14 to 17: the end of the first row and the start of the second.
    EXPECT_EQ(dump.Lines(14, 18),
              "00000000                                             4f 50  |              OP|\n"
              "00000010  51 52                                             |QR|");
    EXPECT_EQ(dump.Lines(18, 18), "");
    // A selection past the end takes what there is.
    EXPECT_EQ(dump.Lines(40, 100), dump.Line(2, 40, 48));
    EXPECT_EQ(dump.Lines(40, 100).substr(0, 10 + 25 + 5), "00000020" + std::string(27, ' ') + "69 6a");
    EXPECT_EQ(CHexDump::ShownChar(' '), ' ');
    EXPECT_EQ(CHexDump::ShownChar('\t'), '.');
    EXPECT_EQ(CHexDump::ShownChar(0x7f), '.');
    EXPECT_EQ(CHexDump::ShownChar(0xe9), '.');
}
