#include "reception/DropAccount.h"

std::uint64_t CDropAccount::Total() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_closed + m_port.GetDroppedBytes();
}

void CDropAccount::ClosePort() {
    std::lock_guard<std::mutex> guard(m_lock);
    const DWORD dropped = m_port.GetDroppedBytes();
    m_port.CloseCommPort();
    m_closed += dropped;
}

CDropAccount::Look CDropAccount::Observe() {
    const std::uint64_t total = Total();
    Look look;
    look.fresh = total != m_episode.LastTotal();
    look.ended = m_episode.Observe(total);
    return look;
}

std::uint64_t CDropAccount::EndEpisode() {
    m_episode.Observe(Total());
    return m_episode.End();
}
