#include "framework/serial/InputQueue.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>

namespace {

// Copies count bytes of a ring from index from on, wrapping at its end, in at most two pieces.
void CopyOutOfRing(const std::vector<BYTE>& ring, std::size_t from, BYTE* out, std::size_t count) {
    if (count == 0)
        return;
    const std::size_t first = std::min(count, ring.size() - from);
    std::memcpy(out, ring.data() + from, first);
    std::memcpy(out + first, ring.data(), count - first);
}

void CopyIntoRing(std::vector<BYTE>& ring, std::size_t at, const BYTE* data, std::size_t count) {
    if (count == 0)
        return;
    const std::size_t first = std::min(count, ring.size() - at);
    std::memcpy(ring.data() + at, data, first);
    std::memcpy(ring.data(), data + first, count - first);
}

} // namespace

InputQueue::InputQueue(std::size_t capacity) : m_ring(std::max<std::size_t>(capacity, 1)) {}

void InputQueue::Resize(std::size_t capacity) {
    std::lock_guard<std::mutex> guard(m_lock);
    std::vector<BYTE> ring(std::max<std::size_t>(capacity, 1));
    const std::size_t kept = std::min(m_fill, ring.size());
    CopyOutOfRing(m_ring, m_head, ring.data(), kept);
    m_ring.swap(ring);
    m_head = 0;
    m_fill = kept;
}

std::size_t InputQueue::Capacity() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_ring.size();
}

void InputQueue::Push(const BYTE* data, std::size_t count) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        const std::size_t room = m_ring.size() - m_fill;
        const std::size_t taken = std::min(room, count);
        CopyIntoRing(m_ring, (m_head + m_fill) % m_ring.size(), data, taken);
        m_fill += taken;
        if (taken < count) {
            const std::size_t lost = count - taken;
            const DWORD limit = std::numeric_limits<DWORD>::max();
            m_dropped = lost >= static_cast<std::size_t>(limit - m_dropped)
                            ? limit
                            : m_dropped + static_cast<DWORD>(lost);
            m_overrunSinceQuery = true;
        }
    }
    m_arrived.notify_all();
}

void InputQueue::MarkHungUp(DWORD lastError, int errnoValue) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_hungUp = true;
        m_hangUpError = lastError;
        m_hangUpErrno = errnoValue;
    }
    m_arrived.notify_all();
}

int InputQueue::HangUpErrno() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_hangUpErrno;
}

bool InputQueue::Query(DWORD* fill, DWORD* errors, DWORD* failure) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (errors)
        *errors = m_overrunSinceQuery ? CE_RXOVER : 0;
    m_overrunSinceQuery = false;
    if (m_fill == 0 && m_hungUp) {
        *failure = m_hangUpError;
        return false;
    }
    *fill = static_cast<DWORD>(m_fill);
    return true;
}

std::size_t InputQueue::TakeLocked(BYTE* out, std::size_t count) {
    const std::size_t taken = std::min(count, m_fill);
    CopyOutOfRing(m_ring, m_head, out, taken);
    m_head = (m_head + taken) % m_ring.size();
    m_fill -= taken;
    return taken;
}

bool InputQueue::Read(BYTE* out, std::size_t count, const COMMTIMEOUTS& timeouts, std::size_t* read,
                      DWORD* failure) {
    using Clock = std::chrono::steady_clock;
    const DWORD noWait = std::numeric_limits<DWORD>::max();
    const bool returnAtOnce = timeouts.ReadIntervalTimeout == noWait &&
                              timeouts.ReadTotalTimeoutMultiplier == 0 &&
                              timeouts.ReadTotalTimeoutConstant == 0;
    const std::uint64_t totalMs = static_cast<std::uint64_t>(timeouts.ReadTotalTimeoutMultiplier) * count +
                                  timeouts.ReadTotalTimeoutConstant;
    const bool hasTotal = totalMs > 0;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(totalMs);
    const bool hasInterval = timeouts.ReadIntervalTimeout != 0 && timeouts.ReadIntervalTimeout != noWait;
    const auto interval = std::chrono::milliseconds(timeouts.ReadIntervalTimeout);

    std::unique_lock<std::mutex> guard(m_lock);
    std::size_t done = TakeLocked(out, count);
    while (done < count && !returnAtOnce && !m_hungUp) {
        Clock::time_point wakeAt = Clock::time_point::max();
        if (hasTotal)
            wakeAt = deadline;
        if (hasInterval && done > 0)
            wakeAt = std::min(wakeAt, Clock::now() + interval);
        bool arrived;
        if (wakeAt == Clock::time_point::max()) {
            m_arrived.wait(guard, [this] { return m_fill > 0 || m_hungUp; });
            arrived = true;
        } else {
            arrived = m_arrived.wait_until(guard, wakeAt, [this] { return m_fill > 0 || m_hungUp; });
        }
        done += TakeLocked(out + done, count - done);
        if (!arrived)
            break;
    }
    if (done == 0 && m_hungUp && count > 0) {
        *failure = m_hangUpError;
        return false;
    }
    *read = done;
    return true;
}

DWORD InputQueue::Dropped() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_dropped;
}
