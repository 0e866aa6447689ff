#include "reception/DropReport.h"

std::uint64_t DropEpisode::Observe(std::uint64_t total) {
    // A total below the last one comes only from a new count; it starts from there.
    const std::uint64_t fresh = total > m_lastTotal ? total - m_lastTotal : 0;
    m_lastTotal = total;
    if (fresh > 0) {
        m_episodeBytes += fresh;
        return 0;
    }
    return End();
}

std::uint64_t DropEpisode::End() {
    const std::uint64_t ended = m_episodeBytes;
    m_episodeBytes = 0;
    return ended;
}

std::string DropEpisodeText(const std::string& port, std::uint64_t lost) {
    return port + ": " + std::to_string(lost) + " bytes lost, input queue full.";
}

std::string PortClosedText(const std::string& port, std::uint64_t received, std::uint64_t lost) {
    return port + " closed: " + std::to_string(received) + " bytes received, " + std::to_string(lost) +
           " bytes lost.";
}
