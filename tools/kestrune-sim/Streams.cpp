#include "Streams.h"

#include <algorithm>
#include <cstdio>

void DemoStream::Produce(std::string& out, std::uint64_t maxBytes, std::uint64_t elapsedMs) {
    (void)maxBytes; // A line is printed whole or, when the terminal is full, dropped whole.
    const std::uint64_t due = elapsedMs / 333 + 1;
    while (m_lines < due) {
        ++m_lines;
        const double uptime = static_cast<double>(m_lines) / 3.0;
        const double temperature = 21.0 + static_cast<double>((m_lines * 7) % 31) / 10.0;
        const unsigned humidity = static_cast<unsigned>(40 + (m_lines * 3) % 17);
        char line[96];
        std::snprintf(line, sizeof line, "KS-100 #%06llu t=%.1f s temp=%.1f C rh=%u %%\r\n",
                      static_cast<unsigned long long>(m_lines), uptime, temperature, humidity);
        out += line;
    }
}

void FileStream::Produce(std::string& out, std::uint64_t maxBytes, std::uint64_t elapsedMs) {
    (void)elapsedMs;
    while (maxBytes > 0 && !m_content.empty()) {
        if (m_position >= m_content.size()) {
            if (!m_loop)
                return;
            m_position = 0;
        }
        const std::size_t take =
            static_cast<std::size_t>(std::min<std::uint64_t>(maxBytes, m_content.size() - m_position));
        out.append(m_content, m_position, take);
        m_position += take;
        maxBytes -= take;
    }
}

char PatternByte(std::uint64_t index, bool lineEnds) {
    static const char kSymbols[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    constexpr std::uint64_t kSymbolCount = sizeof kSymbols - 1;
    const std::uint64_t line = index / 64;
    const std::uint64_t column = index % 64;
    if (column < 8) {
        std::uint64_t digits = line;
        for (std::uint64_t i = 7; i > column; --i)
            digits /= 10;
        return static_cast<char>('0' + digits % 10);
    }
    if (column == 8)
        return ' ';
    if (column == 62 && lineEnds)
        return '\r';
    if (column == 63)
        return lineEnds ? '\n' : '|';
    return kSymbols[(line + column - 9) % kSymbolCount];
}

void PatternStream::Produce(std::string& out, std::uint64_t maxBytes, std::uint64_t elapsedMs) {
    (void)elapsedMs;
    std::uint64_t end = m_position + maxBytes;
    if (m_end != 0)
        end = std::min(end, m_end);
    for (; m_position < end; ++m_position)
        out += PatternByte(m_position, m_lineEnds);
}

std::uint64_t PatternStream::UntilRecordEnd() const {
    const std::uint64_t rest = (64 - m_position % 64) % 64;
    return m_end != 0 ? std::min(rest, m_end - m_position) : rest;
}
