#pragma once

#include "framework/core/WinTypes.h"

#include <cstddef>
#include <iosfwd>
#include <string_view>

// The received text within its buffer loop. Cutting the front only moves a mark: the bytes before it are
// dropped once they outgrow the live text, so a loop that is full and cuts a little on every pass does not
// move its whole megabyte each time.
class CLoopText {
public:
    std::string_view View() const { return std::string_view(m_bytes).substr(m_front); }
    std::size_t Size() const { return m_bytes.size() - m_front; }
    CString Copy() const { return m_bytes.substr(m_front); }

    void Assign(const CString& text);
    void Clear();
    // Adds chunk at the end and keeps the last nbMaxiByte KB (all of it for 0); returns the bytes cut from
    // the front.
    std::size_t AppendWithinLoop(std::string_view chunk, DWORD nbMaxiByte);
    // The usual change of a copy of this text: count bytes cut at the front (all of them at most), added
    // at the end.
    void DropFrontAndAppend(std::size_t count, std::string_view added);

    friend bool operator==(const CLoopText& text, std::string_view other) { return text.View() == other; }
    friend bool operator!=(const CLoopText& text, std::string_view other) { return !(text == other); }
    friend std::ostream& operator<<(std::ostream& out, const CLoopText& text);

private:
    void DropFront(std::size_t count);

    CString m_bytes;
    std::size_t m_front = 0; // m_bytes[m_front] is the first live byte
};
