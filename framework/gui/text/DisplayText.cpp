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

void CDisplayText::Assign(const CString& bytes) {
    m_bytes = bytes;
    m_front = 0;
    m_base = 0;
    m_runLength = 0;
    m_lines.Clear(0);
    MapTail(0);
}

void CDisplayText::Add(const char* data, std::size_t length) {
    const std::size_t from = Size();
    m_bytes.append(data, length);
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
            if (m_runLength == kMaxRun) {
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
        m_front = 0;
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
    for (std::size_t j = start; j < end; ++j) {
        const unsigned char b = bytes[j];
        if (b == '\n') {
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
