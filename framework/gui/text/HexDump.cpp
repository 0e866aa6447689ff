#include "framework/gui/text/HexDump.h"

#include <algorithm>

namespace {

constexpr char kDigits[] = "0123456789abcdef";

std::size_t DigitsFor(std::size_t value) {
    std::size_t digits = 1;
    while (value >>= 4)
        ++digits;
    return digits;
}

} // namespace

CHexDump::CHexDump(std::string_view bytes, std::size_t firstOffset) : m_bytes(bytes) {
    const std::size_t offset = firstOffset;
    m_lead = offset % kRowBytes;
    m_firstRow = offset / kRowBytes;
    m_rows = bytes.empty() ? 0 : (m_lead + bytes.size() + kRowBytes - 1) / kRowBytes;
    const std::size_t lastOffset = m_rows == 0 ? 0 : (m_firstRow + m_rows - 1) * kRowBytes;
    m_digits = std::max(kLeastOffsetDigits, DigitsFor(lastOffset));
}

std::size_t CHexDump::RowBegin(std::size_t row) const {
    return row == 0 ? 0 : std::min(row * kRowBytes - m_lead, m_bytes.size());
}

std::size_t CHexDump::RowEnd(std::size_t row) const {
    return std::min((row + 1) * kRowBytes - m_lead, m_bytes.size());
}

std::size_t CHexDump::RowOf(std::size_t position) const {
    if (m_rows == 0)
        return 0;
    return std::min((std::min(position, m_bytes.size()) + m_lead) / kRowBytes, m_rows - 1);
}

std::size_t CHexDump::ColumnOf(std::size_t position) const {
    position = std::min(position, m_bytes.size());
    return position + m_lead - RowOf(position) * kRowBytes;
}

std::size_t CHexDump::ByteAtHexColumn(std::size_t column) const {
    for (std::size_t k = 0; k < kRowBytes; ++k)
        if (column < HexColumn(k) + 3)
            return k;
    return kRowBytes;
}

std::size_t CHexDump::PositionIn(std::size_t row, std::size_t k) const {
    const std::size_t begin = RowBegin(row);
    const std::size_t lead = ColumnOf(begin);
    return std::min(begin + (k > lead ? k - lead : 0), RowEnd(row));
}

std::size_t CHexDump::CaretColumn(std::size_t position) const {
    const std::size_t k = ColumnOf(position);
    return k < kRowBytes ? HexColumn(k) : HexColumn(k - 1) + 2;
}

std::string CHexDump::Line(std::size_t row, std::size_t from, std::size_t to) const {
    std::string line(LineLength(), ' ');
    std::size_t offset = (m_firstRow + row) * kRowBytes;
    for (std::size_t d = m_digits; d-- > 0; offset >>= 4)
        line[d] = kDigits[offset & 0xF];
    line[CharColumn(0) - 1] = '|';
    const std::size_t begin = std::max(RowBegin(row), from);
    const std::size_t end = std::min(RowEnd(row), to);
    // Conventionally the bar closes right after the last byte shown, as on a short last row.
    std::size_t close = CharColumn(0);
    if (row < m_rows) {
        for (std::size_t p = begin; p < end; ++p) {
            const std::size_t k = ColumnOf(p);
            const auto byte = static_cast<unsigned char>(m_bytes[p]);
            line[HexColumn(k)] = kDigits[byte >> 4];
            line[HexColumn(k) + 1] = kDigits[byte & 0xF];
            line[CharColumn(k)] = ShownChar(byte);
            close = CharColumn(k + 1);
        }
    }
    line[close] = '|';
    line.resize(close + 1);
    return line;
}

std::string CHexDump::Lines(std::size_t start, std::size_t end) const {
    end = std::min(end, m_bytes.size());
    std::string out;
    if (start >= end)
        return out;
    const std::size_t first = RowOf(start);
    const std::size_t last = RowOf(end - 1);
    out.reserve((last - first + 1) * (LineLength() + 1));
    for (std::size_t row = first; row <= last; ++row) {
        if (row > first)
            out += '\n';
        out += Line(row, start, end);
    }
    return out;
}
