#pragma once

#include <cstddef>
#include <deque>

// Where the display lines of a text of bytes begin and end, in absolute byte positions (positions that
// stay the same when the front of the text is cut, so a cut costs nothing for the lines that remain).
// Each break ends the text of one line at textEnd and starts the next at nextStart: a line break spans its
// bytes (one for CR or LF, two for CR LF), a display-only break spans none.
class CLineIndex {
public:
    struct Break {
        std::size_t textEnd;
        std::size_t nextStart;
    };

    // An empty text that starts at base.
    void Clear(std::size_t base);
    void AddBreak(std::size_t textEnd, std::size_t nextStart);
    // The last break swallows one more byte: the LF that completes a CR LF pair.
    void ExtendLastBreak(std::size_t nextStart);
    // The text now starts at base; returns how many lines went.
    std::size_t DropFront(std::size_t base);

    std::size_t LineCount() const { return m_breaks.size() + 1; }
    std::size_t LineStart(std::size_t line) const {
        return line == 0 ? m_base : m_breaks[line - 1].nextStart;
    }
    // The end of a line's shown characters; end is where the whole text ends.
    std::size_t LineEnd(std::size_t line, std::size_t end) const {
        return line < m_breaks.size() ? m_breaks[line].textEnd : end;
    }
    // The line that holds a position: the last one that starts at or before it.
    std::size_t LineOf(std::size_t position) const;
    // The most characters any line has had since the text was last cleared.
    std::size_t Longest(std::size_t end) const;

private:
    std::deque<Break> m_breaks;
    std::size_t m_base = 0;
    std::size_t m_longest = 0;
};
