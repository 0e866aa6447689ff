#pragma once

#include <cstdint>
#include <string>

// The record of bytes a port's full input queue dropped. An episode runs from the first poll pass that
// finds new drops to the first one that finds none (or to the port's close); it is logged once, when it
// ends, with the bytes it lost.
class DropEpisode {
public:
    // Takes the window's running drop total at a poll pass. Returns the bytes of an episode that this
    // pass ended (no new drops after some), else 0.
    std::uint64_t Observe(std::uint64_t total);
    // Ends a running episode at the port's close; returns its bytes (0 when none runs).
    std::uint64_t End();
    // The total of the last pass.
    std::uint64_t LastTotal() const { return m_lastTotal; }

private:
    std::uint64_t m_lastTotal = 0;
    std::uint64_t m_episodeBytes = 0;
};

// "COM9: 1234 bytes lost, input queue full."
std::string DropEpisodeText(const std::string& port, std::uint64_t lost);
// "COM9 closed: 1000 bytes received, 24 bytes lost."
std::string PortClosedText(const std::string& port, std::uint64_t received, std::uint64_t lost);
