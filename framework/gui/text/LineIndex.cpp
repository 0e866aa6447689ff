#include "framework/gui/text/LineIndex.h"

#include <algorithm>

void CLineIndex::Clear(std::size_t base) {
    m_breaks.clear();
    m_base = base;
    m_longest = 0;
}

void CLineIndex::AddBreak(std::size_t textEnd, std::size_t nextStart) {
    m_longest = std::max(m_longest, textEnd - LineStart(m_breaks.size()));
    m_breaks.push_back(Break{textEnd, nextStart});
}

void CLineIndex::ExtendLastBreak(std::size_t nextStart) {
    if (!m_breaks.empty())
        m_breaks.back().nextStart = nextStart;
}

std::size_t CLineIndex::DropFront(std::size_t base) {
    std::size_t removed = 0;
    while (!m_breaks.empty() && m_breaks.front().nextStart <= base) {
        m_breaks.pop_front();
        ++removed;
    }
    // A cut between the CR and the LF of a pair leaves a lone LF, which is a break of its own.
    if (!m_breaks.empty() && m_breaks.front().textEnd < base)
        m_breaks.front().textEnd = base;
    m_base = base;
    return removed;
}

std::size_t CLineIndex::LineOf(std::size_t position) const {
    const auto after = std::upper_bound(m_breaks.begin(), m_breaks.end(), position,
                                        [](std::size_t pos, const Break& b) { return pos < b.nextStart; });
    return static_cast<std::size_t>(after - m_breaks.begin());
}

std::size_t CLineIndex::Longest(std::size_t end) const {
    return std::max(m_longest, end - LineStart(m_breaks.size()));
}
