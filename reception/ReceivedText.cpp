#include "reception/ReceivedText.h"

#include <algorithm>
#include <utility>

CString CReceivedText::Copy() {
    BufferLock guard(m_lock);
    return m_text.Copy();
}

void CReceivedText::Assign(const CString& text) {
    BufferLock guard(m_lock);
    m_text.Assign(text);
    m_start = 0;
    ++m_generation;
}

void CReceivedText::Prepend(const CString& older, DWORD loop) {
    BufferLock guard(m_lock);
    CLoopText merged;
    merged.Assign(older);
    merged.AppendWithinLoop(m_text.View(), loop);
    m_text = std::move(merged);
}

void CReceivedText::Clear() {
    BufferLock guard(m_lock);
    m_text.Clear();
    m_start = 0;
    ++m_generation;
}

void CReceivedText::Append(std::string_view chunk, DWORD loop) {
    BufferLock guard(m_lock);
    m_start += m_text.AppendWithinLoop(chunk, loop);
}

void CReceivedText::Changes(DataMark& mark, DataChanges& changes) {
    BufferLock guard(m_lock);
    const std::uint64_t end = m_start + m_text.Size();
    changes.replaced = mark.generation != m_generation;
    if (changes.replaced) {
        changes.cut = 0;
        changes.added = m_text.Copy();
    } else {
        changes.cut = static_cast<std::size_t>(m_start - mark.start);
        const std::uint64_t from = std::max(mark.end, m_start);
        changes.added.assign(m_text.View().substr(static_cast<std::size_t>(from - m_start)));
    }
    mark = DataMark{m_generation, m_start, end};
}
