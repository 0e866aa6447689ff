#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The bytes of a text as the rows of a conventional hex dump:
//
//   00000010  48 65 6c 6c 6f 0d 0a 00  01 02 03 04 05 06 07 08  |Hello...........|
//
// the offset, sixteen bytes in two groups of eight, and the bytes as characters between bars ('.' for
// anything but printable ASCII). Offsets count the bytes since the text was started afresh, cut ones
// included, so they stay true when the front of the text is cut: row r holds the bytes at offsets 16r to
// 16r + 15, and a row whose bytes were partly cut away shows them blank.
// Everything is arithmetic on the row numbers: nothing is kept per row, so the dump of a text of any size
// costs nothing until a row is shown.
class CHexDump {
public:
    static constexpr std::size_t kRowBytes = 16;
    static constexpr std::size_t kLeastOffsetDigits = 8;

    // bytes: the text; firstOffset: the offset of its first byte.
    CHexDump(std::string_view bytes, std::size_t firstOffset);

    // The rows that hold bytes of the text (none for an empty text).
    std::size_t RowCount() const { return m_rows; }
    // The number of the first row: its offset divided by 16.
    std::size_t FirstRowNumber() const { return m_firstRow; }
    // The text positions (from the text's first byte) row i of the dump holds, i = 0 being the first.
    std::size_t RowBegin(std::size_t row) const;
    std::size_t RowEnd(std::size_t row) const;
    // The row a text position lies in; the end of the text lies in the last row.
    std::size_t RowOf(std::size_t position) const;
    // The column (0 to 15) of the byte at a text position; 16 for the end of a full last row.
    std::size_t ColumnOf(std::size_t position) const;

    // Where a row's byte k (0 to 15) stands in its line: its two hexadecimal digits, its character.
    std::size_t HexColumn(std::size_t k) const { return m_digits + 2 + 3 * k + (k >= 8 ? 1 : 0); }
    std::size_t CharColumn(std::size_t k) const { return m_digits + 2 + 3 * kRowBytes + 3 + k; }
    // The length of a full row's line.
    std::size_t LineLength() const { return CharColumn(kRowBytes) + 1; }
    // The byte k (0 to 15) whose two digits, or the blank after them, hold a column left of the characters;
    // 16 for a column past them.
    std::size_t ByteAtHexColumn(std::size_t column) const;
    // The text position of row i's byte k, kept to the bytes the row holds.
    std::size_t PositionIn(std::size_t row, std::size_t k) const;
    // The column a caret at a text position stands in: on its byte's first digit, or just after the last
    // digits for the end of a full row.
    std::size_t CaretColumn(std::size_t position) const;

    // The line of row i, showing only the bytes at text positions from..to (the others blank).
    std::string Line(std::size_t row, std::size_t from = 0, std::size_t to = std::string_view::npos) const;
    // The lines of the rows that hold the bytes from start to end, showing those bytes only, joined by
    // "\n" (no break after the last).
    std::string Lines(std::size_t start, std::size_t end) const;

    // The character a byte shows as in the character column.
    static char ShownChar(unsigned char byte) {
        return byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '.';
    }

private:
    std::string_view m_bytes;
    std::size_t m_lead;     // offset of the text's first byte within its row
    std::size_t m_firstRow; // row number of the first row
    std::size_t m_rows;
    std::size_t m_digits; // offset digits: eight, more once the offsets need them
};
