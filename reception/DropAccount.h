#pragma once

#include "comm/comm.h"
#include "reception/DropReport.h"

#include <atomic>
#include <cstdint>
#include <mutex>

// The bytes a window's port dropped because its input queue was full: those of the ports closed before,
// which a close would otherwise lose, plus the open port's own count; the mark of the last clear; and the
// running drop episode. The totals are safe from any thread.
class CDropAccount {
public:
    explicit CDropAccount(TCommPort& port) : m_port(port) {}
    CDropAccount(const CDropAccount&) = delete;
    CDropAccount& operator=(const CDropAccount&) = delete;

    // Since the window opened, also while it is frozen.
    std::uint64_t Total() const;
    // Since the last MarkClear.
    std::uint64_t SinceClear() const { return Total() - m_atClear.load(); }
    void MarkClear() { m_atClear.store(Total()); }

    // Closes the port, keeping the count of the bytes its queue dropped; an ECommError passes on.
    void ClosePort();

    // After a poll pass: whether the total changed since the last look, and the size of an episode that
    // has just ended (0 for none).
    struct Look {
        bool fresh = false;
        std::uint64_t ended = 0;
    };
    Look Observe();
    // Ends a running episode, at a close; returns its size (0 for none).
    std::uint64_t EndEpisode();

private:
    TCommPort& m_port;
    // Drops of the ports closed before (the open port counts its own); guarded with the close itself.
    mutable std::mutex m_lock;
    std::uint64_t m_closed = 0;
    std::atomic<std::uint64_t> m_atClear{0};
    DropEpisode m_episode;
};
