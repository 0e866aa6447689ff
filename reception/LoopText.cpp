#include "reception/LoopText.h"

#include <algorithm>
#include <cstdint>
#include <ostream>

void CLoopText::Assign(const CString& text) {
    m_bytes = text;
    m_front = 0;
}

void CLoopText::Clear() {
    m_bytes.clear();
    m_front = 0;
}

std::size_t CLoopText::AppendWithinLoop(std::string_view chunk, DWORD nbMaxiByte) {
    m_bytes.append(chunk);
    if (nbMaxiByte == 0)
        return 0;
    // Counted in 64 bits: a loop size near the top of its 32-bit range must not wrap to a small limit.
    const std::uint64_t limit = static_cast<std::uint64_t>(nbMaxiByte) * 1024u;
    if (Size() <= limit)
        return 0;
    const std::size_t cut = Size() - static_cast<std::size_t>(limit);
    DropFront(cut);
    return cut;
}

void CLoopText::DropFrontAndAppend(std::size_t count, std::string_view added) {
    DropFront(std::min(count, Size()));
    m_bytes.append(added);
}

void CLoopText::DropFront(std::size_t count) {
    m_front += count;
    if (m_front > m_bytes.size() - m_front) {
        m_bytes.erase(0, m_front);
        m_front = 0;
    }
}

std::ostream& operator<<(std::ostream& out, const CLoopText& text) {
    return out << text.View();
}
