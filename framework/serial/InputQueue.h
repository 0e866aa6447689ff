#pragma once

#include "framework/core/WinTypes.h"
#include "framework/serial/Dcb.h"

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <vector>

// A serial port's input queue: a ring buffer of fixed capacity that the driver thread fills and reads take
// from, safe between the two. A full queue keeps what it holds and drops the new bytes, counting them, as a
// serial driver does on overrun. Once the device hangs up, the bytes queued before stay readable; only an
// empty queue then reports the failure.
class InputQueue {
public:
    explicit InputQueue(std::size_t capacity = 4096);

    // Sets the capacity; the oldest bytes are kept when fewer fit.
    void Resize(std::size_t capacity);
    std::size_t Capacity() const;

    // Called by the driver thread.
    void Push(const BYTE* data, std::size_t count);
    // The error code, and the errno behind it (0 for an end of input), that reads get once it is empty.
    void MarkHungUp(DWORD lastError, int errnoValue = 0);

    // The fill and the error flags (CE_RXOVER when bytes were dropped since the last query; the flags are
    // cleared). False, with the hang-up's error code, when the device hung up and the queue is empty.
    bool Query(DWORD* fill, DWORD* errors, DWORD* failure);

    // Takes up to count bytes, waiting as the timeouts say: the whole read may last multiplier * count +
    // constant milliseconds, and once a byte has arrived, a gap longer than the interval ends it. False,
    // with the hang-up's error code, when the device hung up and nothing was queued.
    bool Read(BYTE* out, std::size_t count, const COMMTIMEOUTS& timeouts, std::size_t* read, DWORD* failure);

    // The errno behind the hang-up's error code; 0 before a hang-up.
    int HangUpErrno() const;

    // Bytes dropped since the queue was made (saturates at the largest DWORD).
    DWORD Dropped() const;

private:
    std::size_t TakeLocked(BYTE* out, std::size_t count);

    mutable std::mutex m_lock;
    std::condition_variable m_arrived;
    std::vector<BYTE> m_ring;
    std::size_t m_head = 0; // index of the oldest byte
    std::size_t m_fill = 0;
    DWORD m_dropped = 0;
    bool m_overrunSinceQuery = false;
    bool m_hungUp = false;
    DWORD m_hangUpError = 0;
    int m_hangUpErrno = 0;
};
