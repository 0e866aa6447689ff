#include "framework/gui/text/DisplayText.h"

#include <QChar>
#include <QString>

#include <algorithm>
#include <array>
#include <cstring>

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
    m_shown.clear();
    m_decoded = m_front;
    DecodeTail();
}

ShownByte CDisplayText::Shown(std::size_t position) const {
    if (!m_shown.empty())
        return m_shown[m_front + position];
    ShownByte shown;
    shown.code = static_cast<unsigned char>(m_bytes[m_front + position]);
    return shown;
}

std::size_t CDisplayText::CharacterStart(std::size_t position) const {
    const std::size_t size = Size();
    if (m_shown.empty())
        return std::min(position, size);
    while (position < size && m_shown[m_front + position].kind == ShownByte::kFollow)
        ++position;
    return std::min(position, size);
}

void CDisplayText::DecodeTail() {
    if (m_decoder.ShowsEveryByte()) {
        m_shown.clear();
        return;
    }
    if (m_shown.empty()) {
        m_decoder.Reset();
        m_decoded = m_front;
    }
    m_shown.resize(m_bytes.size());
    m_decoded = std::max(m_decoded, m_front);
    m_decoded += m_decoder.Decode(reinterpret_cast<const unsigned char*>(m_bytes.data()) + m_decoded,
                                  m_bytes.size() - m_decoded, m_shown.data() + m_decoded);
}

void CDisplayText::ShowCutRemains() {
    if (m_shown.empty())
        return;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(m_bytes.data());
    const std::size_t size = std::min(m_decoded, m_bytes.size());
    std::size_t j = m_front;
    const int kind = j < size ? m_shown[j].kind : static_cast<int>(ShownByte::kChar);
    if (kind == ShownByte::kFollow) {
        for (; j < size && m_shown[j].kind == ShownByte::kFollow; ++j) {
            m_shown[j].kind = ShownByte::kByte;
            m_shown[j].code = bytes[j];
            m_shown[j].width = 1;
        }
    } else if (kind == ShownByte::kHidden && bytes[j] != 0x1B) {
        for (; j < size && m_shown[j].kind == ShownByte::kHidden && bytes[j] != 0x1B; ++j) {
            m_shown[j].kind = ShownByte::kByte;
            m_shown[j].code = bytes[j];
            m_shown[j].width = 1;
        }
    }
}

void CDisplayText::Assign(const CString& bytes) {
    m_bytes = bytes;
    m_front = 0;
    m_base = 0;
    m_runLength = 0;
    m_lines.Clear(0);
    m_shown.clear();
    DecodeTail();
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
        if (!m_shown.empty()) {
            m_shown.erase(m_shown.begin(), m_shown.begin() + static_cast<std::ptrdiff_t>(m_front));
            m_decoded -= std::min(m_decoded, m_front);
        }
        m_front = 0;
    }
    if (!m_shown.empty()) {
        if (m_decoded < m_front) {
            // What waited for its end lost its start: it reads afresh from the new front.
            m_decoded = m_front;
            DecodeTail();
        }
        ShowCutRemains();
    }
    m_base = absolute;
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
    const ShownByte* shown = ShownFrom(0);
    for (std::size_t j = start; j < end; ++j) {
        const unsigned char b = bytes[j];
        if (shown != nullptr && shown[j].kind != ShownByte::kByte) {
            if (shown[j].kind == ShownByte::kChar) {
                const char32_t code = shown[j].code;
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
    const ShownByte* shown = ShownFrom(0);
    if (shown != nullptr && shown[j].kind != ShownByte::kByte)
        return shown[j].kind != ShownByte::kChar ? 0 : shown[j].code > 0xFFFF ? 2 : 1;
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
        while (next < size && Shown(next).kind == ShownByte::kFollow)
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
