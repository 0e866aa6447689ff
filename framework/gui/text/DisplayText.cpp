#include "framework/gui/text/DisplayText.h"

#include <QChar>
#include <QString>

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>

namespace {

// Windows-1252 for 0x80-0x9F; the five unassigned bytes show as the replacement character.
constexpr char16_t kHigh[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,
};

constexpr char16_t kBreak = u'\n';

// The byte each byte folds to when case does not matter.
const std::array<unsigned char, 256>& FoldTable() {
    static const std::array<unsigned char, 256> table = [] {
        std::array<unsigned char, 256> folded{};
        for (int b = 0; b < 256; ++b) {
            folded[b] = static_cast<unsigned char>(b);
            const char16_t lower =
                QChar(CDisplayText::CharForByte(static_cast<unsigned char>(b))).toLower().unicode();
            const int back = CDisplayText::ByteForChar(lower);
            if (back >= 0)
                folded[b] = static_cast<unsigned char>(back);
        }
        return folded;
    }();
    return table;
}

} // namespace

char16_t CDisplayText::CharForByte(unsigned char byte) {
    if (byte == '\t')
        return u'\t';
    if (byte < 0x20)
        return static_cast<char16_t>(0x2400 + byte);
    if (byte == 0x7F)
        return 0x2421;
    if (byte >= 0x80 && byte < 0xA0)
        return kHigh[byte - 0x80];
    return static_cast<char16_t>(byte);
}

int CDisplayText::ByteForChar(char16_t ch) {
    if (ch == u'\t')
        return '\t';
    if (ch == u'\n')
        return '\n';
    if (ch >= 0x2400 && ch < 0x2420)
        return ch - 0x2400;
    if (ch == 0x2421)
        return 0x7F;
    if ((ch >= 0x20 && ch < 0x7F) || (ch >= 0xA0 && ch <= 0xFF))
        return ch;
    if (ch == 0xFFFD)
        return -1;
    for (int i = 0; i < 32; ++i) {
        if (kHigh[i] == ch)
            return 0x80 + i;
    }
    return -1;
}

void CDisplayText::SetReading(CharacterSet characters, EscapeSequences escapes) {
    if (characters == m_decoder.Characters() && escapes == m_decoder.Escapes())
        return;
    m_decoder = CShownDecoder(characters, escapes);
    Redecode();
}

void CDisplayText::Redecode() {
    m_decoder.Reset();
    m_kinds.clear();
    m_styles.clear();
    m_decoded = m_front;
    DecodeTail();
}

char32_t CDisplayText::CodeAt(std::size_t j) const {
    // A character decoded before: its bytes are valid UTF-8.
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(Live()) + j;
    const unsigned char lead = bytes[0];
    const int follow = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
    char32_t code = lead & (0x3F >> follow);
    for (int k = 1; k <= follow; ++k)
        code = code << 6 | (bytes[k] & 0x3F);
    return code;
}

ShownStyle CDisplayText::StyleAt(std::size_t position) const {
    const std::size_t absolute = m_base + position;
    const auto after = std::upper_bound(m_styles.begin(), m_styles.end(), absolute,
                                        [](std::size_t at, const StyleRun& run) { return at < run.start; });
    return after == m_styles.begin() ? ShownStyle() : std::prev(after)->style;
}

ShownByte CDisplayText::Shown(std::size_t position) const {
    ShownByte shown;
    const unsigned char byte = static_cast<unsigned char>(m_bytes[m_front + position]);
    shown.code = byte;
    if (!Decodes())
        return shown;
    shown.kind = KindAt(position);
    shown.width = m_kinds[m_front + position] >> kWidthShift;
    if (shown.kind == ShownByte::kChar)
        shown.code = CodeAt(position);
    else if (shown.kind != ShownByte::kByte)
        shown.code = 0;
    shown.style = StyleAt(position);
    return shown;
}

void CDisplayText::ShownRange(std::size_t from, std::size_t count, std::vector<ShownByte>& out) const {
    out.resize(count);
    if (count == 0)
        return;
    const std::size_t absolute = m_base + from;
    auto run = std::upper_bound(m_styles.begin(), m_styles.end(), absolute,
                                [](std::size_t at, const StyleRun& r) { return at < r.start; });
    ShownStyle style = run == m_styles.begin() ? ShownStyle() : std::prev(run)->style;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(Live());
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t j = from + i;
        while (run != m_styles.end() && run->start <= absolute + i) {
            style = run->style;
            ++run;
        }
        ShownByte& shown = out[i];
        const std::uint8_t packed = m_kinds[m_front + j];
        shown.kind = packed & kKindMask;
        shown.width = packed >> kWidthShift;
        shown.code = shown.kind == ShownByte::kByte   ? bytes[j]
                     : shown.kind == ShownByte::kChar ? CodeAt(j)
                                                      : 0;
        shown.style = style;
    }
}

std::size_t CDisplayText::CharacterStart(std::size_t position) const {
    const std::size_t size = Size();
    if (!Decodes())
        return std::min(position, size);
    while (position < size && KindAt(position) == ShownByte::kFollow)
        ++position;
    return std::min(position, size);
}

void CDisplayText::DecodeTail() {
    if (!Decodes()) {
        m_kinds.clear();
        m_styles.clear();
        return;
    }
    // In blocks, so that a whole text decodes through a small scratch buffer; a sequence that waits at the
    // end of a block is given again at the start of the next.
    constexpr std::size_t kBlock = 64 * 1024;
    m_decoded = std::max(m_decoded, m_front);
    m_kinds.resize(m_bytes.size());
    const std::size_t fromAbsolute = m_base + (m_decoded - m_front);
    while (!m_styles.empty() && m_styles.back().start >= fromAbsolute)
        m_styles.pop_back();
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(m_bytes.data());
    while (m_decoded < m_bytes.size()) {
        const std::size_t count = std::min(kBlock, m_bytes.size() - m_decoded);
        m_scratch.resize(count);
        const std::size_t done = m_decoder.Decode(bytes + m_decoded, count, m_scratch.data());
        const bool last = m_decoded + count == m_bytes.size();
        // What waits is recorded only at the very end; inside the text it is decoded with the next block.
        const std::size_t recorded = last ? count : done;
        const std::size_t absolute = m_base + (m_decoded - m_front);
        for (std::size_t i = 0; i < recorded; ++i) {
            const ShownByte& shown = m_scratch[i];
            m_kinds[m_decoded + i] = static_cast<std::uint8_t>(shown.kind | shown.width << kWidthShift);
            if (m_styles.empty() || m_styles.back().style != shown.style)
                m_styles.push_back(StyleRun{absolute + i, shown.style});
        }
        m_decoded += done;
        if (last)
            break;
    }
}

void CDisplayText::ShowCutRemains() {
    if (!Decodes() || m_kinds.empty())
        return;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(m_bytes.data());
    const std::size_t size = std::min(m_decoded, m_bytes.size());
    const std::uint8_t asByte = ShownByte::kByte | 1 << kWidthShift;
    std::size_t j = m_front;
    const int kind = j < size ? m_kinds[j] & kKindMask : static_cast<int>(ShownByte::kChar);
    if (kind == ShownByte::kFollow) {
        for (; j < size && (m_kinds[j] & kKindMask) == ShownByte::kFollow; ++j)
            m_kinds[j] = asByte;
    } else if (kind == ShownByte::kHidden && bytes[j] != 0x1B) {
        for (; j < size && (m_kinds[j] & kKindMask) == ShownByte::kHidden && bytes[j] != 0x1B; ++j)
            m_kinds[j] = asByte;
    }
}

void CDisplayText::Assign(const CString& bytes) {
    m_bytes = bytes;
    m_front = 0;
    m_base = 0;
    m_runLength = 0;
    m_lines.Clear(0);
    Redecode();
    MapTail(0);
}

void CDisplayText::Add(const char* data, std::size_t length) {
    const std::size_t from = Size();
    m_bytes.append(data, length);
    DecodeTail();
    MapTail(from);
}

void CDisplayText::MapTail(std::size_t from) {
    const std::size_t size = Size();
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(Live());
    for (std::size_t j = from; j < size; ++j) {
        const unsigned char b = bytes[j];
        if (b == '\n') {
            if (j > 0 && bytes[j - 1] == '\r') {
                // The CR already made the break of this pair.
                m_lines.ExtendLastBreak(m_base + j + 1);
            } else {
                m_lines.AddBreak(m_base + j, m_base + j + 1);
            }
            m_runLength = 0;
        } else if (b == '\r') {
            m_lines.AddBreak(m_base + j, m_base + j + 1);
            m_runLength = 0;
        } else {
            // A soft break never parts the bytes of a character: it waits for the continuation bytes of
            // the longest one, which are all 0x80-0xBF.
            if (m_runLength >= kMaxRun && !(b >= 0x80 && b < 0xC0 && m_runLength < kMaxRun + 3)) {
                m_lines.AddBreak(m_base + j, m_base + j);
                m_runLength = 0;
            }
            ++m_runLength;
        }
    }
}

void CDisplayText::DropFront(std::size_t count) {
    count = std::min(count, Size());
    if (count == 0)
        return;
    const std::size_t absolute = m_base + count;
    m_front += count;
    if (m_front > m_bytes.size() - m_front) {
        m_bytes.erase(0, m_front);
        if (!m_kinds.empty())
            m_kinds.erase(m_kinds.begin(), m_kinds.begin() + static_cast<std::ptrdiff_t>(m_front));
        m_decoded -= std::min(m_decoded, m_front);
        m_front = 0;
    }
    m_base = absolute;
    if (Decodes()) {
        // The style of the new first byte stays; the runs before it go.
        while (m_styles.size() > 1 && m_styles[1].start <= absolute)
            m_styles.pop_front();
        if (m_decoded < m_front) {
            // What waited for its end lost its start: it reads afresh from the new front.
            m_decoded = m_front;
            DecodeTail();
        }
        ShowCutRemains();
    }
    m_lines.DropFront(absolute);
    m_runLength = std::min(m_runLength, Size());
}

QString CDisplayText::ShownText(std::size_t start, std::size_t end) const {
    end = std::min(end, Size());
    QString out;
    if (start >= end)
        return out;
    out.reserve(static_cast<qsizetype>(end - start));
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(Live());
    const bool decodes = Decodes();
    for (std::size_t j = start; j < end; ++j) {
        const unsigned char b = bytes[j];
        const int kind = decodes ? KindAt(j) : static_cast<int>(ShownByte::kByte);
        if (kind != ShownByte::kByte) {
            if (kind == ShownByte::kChar) {
                const char32_t code = CodeAt(j);
                out.append(QString::fromUcs4(&code, 1));
            }
        } else if (b == '\n') {
            if (j > start && bytes[j - 1] == '\r')
                continue;
            out.append(QChar(kBreak));
        } else if (b == '\r') {
            out.append(QChar(kBreak));
        } else {
            out.append(QChar(CharForByte(b)));
        }
    }
    return out;
}

std::size_t CDisplayText::ShownUnits(std::size_t j) const {
    const int kind = Decodes() ? KindAt(j) : static_cast<int>(ShownByte::kByte);
    if (kind != ShownByte::kByte)
        return kind != ShownByte::kChar ? 0 : CodeAt(j) > 0xFFFF ? 2 : 1;
    return Live()[j] == '\n' && j > 0 && Live()[j - 1] == '\r' ? 0 : 1;
}

std::size_t CDisplayText::ShownOffset(std::size_t position) const {
    position = std::min(position, Size());
    std::size_t offset = 0;
    for (std::size_t j = 0; j < position; ++j)
        offset += ShownUnits(j);
    return offset;
}

std::size_t CDisplayText::PositionOfShown(std::size_t offset) const {
    const std::size_t size = Size();
    std::size_t j = 0;
    for (std::size_t shown = 0; j < size && shown < offset; ++j)
        shown += ShownUnits(j);
    return CharacterStart(j);
}

long long CDisplayText::FindShown(const QString& what, std::size_t from, bool forward, bool caseSensitive,
                                  std::size_t& end) const {
    if (what.isEmpty())
        return -1;
    // The shown text with the byte positions each of its units starts and ends at.
    const std::size_t size = Size();
    QString shown;
    std::vector<std::size_t> starts;
    std::vector<std::size_t> ends;
    shown.reserve(static_cast<qsizetype>(size));
    starts.reserve(size + 1);
    ends.reserve(size);
    for (std::size_t j = 0; j < size;) {
        std::size_t next = j + 1;
        while (next < size && Decodes() && KindAt(next) == ShownByte::kFollow)
            ++next;
        if (Live()[j] == '\r' && next < size && Live()[next] == '\n')
            ++next;
        const QString piece = ShownText(j, next);
        for (qsizetype k = 0; k < piece.size(); ++k) {
            starts.push_back(j);
            ends.push_back(next);
        }
        shown.append(piece);
        j = next;
    }
    starts.push_back(size);
    const Qt::CaseSensitivity sensitivity = caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const auto unitAt = [&](std::size_t position) {
        return static_cast<qsizetype>(std::lower_bound(starts.begin(), starts.end(), position) -
                                      starts.begin());
    };
    qsizetype found = -1;
    if (forward) {
        found = shown.indexOf(what, unitAt(from), sensitivity);
    } else {
        // The last match that ends at or before from.
        const qsizetype limit = unitAt(std::min(from, size)) - what.size();
        if (limit >= 0)
            found = shown.lastIndexOf(what, limit, sensitivity);
    }
    if (found < 0)
        return -1;
    end = ends[static_cast<std::size_t>(found + what.size() - 1)];
    return static_cast<long long>(starts[static_cast<std::size_t>(found)]);
}

long long CDisplayText::Find(const CString& what, std::size_t from, bool forward, bool caseSensitive) const {
    const std::string_view bytes = Bytes();
    if (what.empty() || what.size() > bytes.size())
        return -1;
    const auto& fold = FoldTable();
    auto same = [&](char a, char b) {
        if (caseSensitive)
            return a == b;
        return fold[static_cast<unsigned char>(a)] == fold[static_cast<unsigned char>(b)];
    };
    if (forward) {
        if (from > bytes.size())
            return -1;
        auto found = std::search(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end(), what.begin(),
                                 what.end(), same);
        return found == bytes.end() ? -1 : static_cast<long long>(found - bytes.begin());
    }
    // Backward: the last match that ends at or before from.
    const std::size_t limit = std::min(from, bytes.size());
    if (limit < what.size())
        return -1;
    auto found = std::find_end(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(limit),
                               what.begin(), what.end(), same);
    return found == bytes.begin() + static_cast<std::ptrdiff_t>(limit)
               ? -1
               : static_cast<long long>(found - bytes.begin());
}

BOOL CDisplayText::DiffTo(const CString& newBytes, std::size_t& drop, std::size_t& appendFrom) const {
    const std::size_t oldSize = Size();
    const std::size_t newSize = newBytes.size();
    if (oldSize <= newSize && std::memcmp(Live(), newBytes.data(), oldSize) == 0) {
        drop = 0;
        appendFrom = oldSize;
        return TRUE;
    }
    if (newSize == 0) {
        drop = oldSize;
        appendFrom = 0;
        return TRUE;
    }
    // The buffer loop cut the front: look for the start of the new text inside the old one, and accept the
    // first place from which the rest of the old text is where the new text begins. Repetitive data can put
    // a probe in many places, so only a few candidates are checked before everything is replaced.
    const std::size_t probe = std::min<std::size_t>(32, newSize);
    const char* base = Live();
    std::size_t offset = 1;
    for (int candidates = 0; candidates < 16 && offset + probe <= oldSize; ++candidates) {
        const void* hit = memmem(base + offset, oldSize - offset, newBytes.data(), probe);
        if (hit == nullptr)
            break;
        const std::size_t d = static_cast<std::size_t>(static_cast<const char*>(hit) - base);
        const std::size_t kept = oldSize - d;
        if (kept <= newSize && std::memcmp(base + d, newBytes.data(), kept) == 0) {
            drop = d;
            appendFrom = kept;
            return TRUE;
        }
        offset = d + 1;
    }
    // A kept part shorter than the probe: only the last few places of the old text can hold it.
    for (std::size_t d = oldSize > probe ? oldSize - probe + 1 : 1; d < oldSize; ++d) {
        const std::size_t kept = oldSize - d;
        if (kept <= newSize && std::memcmp(base + d, newBytes.data(), kept) == 0) {
            drop = d;
            appendFrom = kept;
            return TRUE;
        }
    }
    return FALSE;
}
