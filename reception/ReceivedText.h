#pragma once

#include "framework/core/WinTypes.h"
#include "reception/LoopText.h"
#include "reception/ThreadMutex.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

// A window's received text and the marks its readers keep in it. Every operation takes the buffer lock, so
// the reception thread may append while the user-interface thread reads, replaces or clears.
class CReceivedText {
public:
    explicit CReceivedText(CThreadMutex& lock) : m_lock(lock) {}
    CReceivedText(const CReceivedText&) = delete;
    CReceivedText& operator=(const CReceivedText&) = delete;

    // A reader's place in the buffer: which content it holds (Assign and Clear start a new one) and the
    // absolute positions of that content's first byte and of its end.
    struct DataMark {
        std::uint64_t generation = 0;
        std::uint64_t start = 0;
        std::uint64_t end = 0;
    };
    // What changed since a mark: cut bytes went from the front and added came at the end; or, when
    // replaced, the reader's content is gone and added is the whole buffer.
    struct DataChanges {
        bool replaced = false;
        std::size_t cut = 0;
        CString added;
    };

    CString Copy();
    // Replaces the text with new content.
    void Assign(const CString& text);
    // Puts older text before the present text, keeping the last loop KB.
    void Prepend(const CString& older, DWORD loop);
    void Clear();
    // Adds a chunk at the end, keeping the last loop KB.
    void Append(std::string_view chunk, DWORD loop);

    // Hands over only what changed since the mark and moves the mark to the present state.
    void Changes(DataMark& mark, DataChanges& changes);

private:
    CThreadMutex& m_lock;
    CLoopText m_text;
    // The absolute position of m_text's first byte, and which content it holds (see DataMark).
    std::uint64_t m_start = 0;
    std::uint64_t m_generation = 1;
};
