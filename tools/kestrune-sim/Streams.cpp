#include "Streams.h"

#include <algorithm>
#include <cstdio>

void DemoStream::Produce(std::string& out, std::uint64_t maxBytes, std::uint64_t elapsedMs) {
    (void)maxBytes; // A line is printed whole or, when the terminal is full, dropped whole.
    const std::uint64_t due = elapsedMs / 333 + 1;
    while (m_lines < due) {
        ++m_lines;
        const unsigned long long ms = m_lines * 333;
        const double temperature = 21.0 + static_cast<double>((m_lines * 7) % 31) / 10.0;
        const unsigned loop = static_cast<unsigned>(780 + (m_lines * 37) % 90);
        char line[160];
        switch (m_lines % 8) {
        case 3:
            // A warning in German, as a board sold there logs it.
            std::snprintf(line, sizeof line,
                          "\x1b[0;33mW (%llu) buffer: \xc3\x9c"
                          "berlauf, %u Bytes verworfen\x1b[0m\r\n",
                          ms, static_cast<unsigned>(m_lines % 5 + 1));
            break;
        case 5:
            // An error in Chinese: "network" and "timeout".
            std::snprintf(
                line, sizeof line,
                "\x1b[0;31mE (%llu) \xe7\xbd\x91\xe7\xbb\x9c: \xe8\xb6\x85\xe6\x97\xb6 (retry %u)\x1b[0m\r\n",
                ms, static_cast<unsigned>(m_lines % 3 + 1));
            break;
        case 7:
            // A short binary frame of the device's own protocol, control bytes and all.
            std::snprintf(line, sizeof line, "\x1b[0;36mD (%llu) frame:\x1b[0m ", ms);
            out += line;
            out += std::string("\x7e\x01\x03\x00\x10\x02", 6);
            out += static_cast<char>(0x20 + m_lines % 0x50);
            out += "\x7e\r\n";
            continue;
        default:
            std::snprintf(line, sizeof line,
                          "\x1b[0;32mI (%llu) sensor: temp=%.1f \xc2\xb0"
                          "C loop=%u \xc2\xb5s\x1b[0m\r\n",
                          ms, temperature, loop);
            break;
        }
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

void LogStream::NextLine() {
    static const char* const kLevels[4] = {"\x1b[0;32mI", "\x1b[0;33mW", "\x1b[1;31mE", "\x1b[0;36mD"};
    const std::uint64_t n = m_lines++;
    char head[96];
    std::snprintf(head, sizeof head,
                  "%s %08llu net: temp=%.1f \xc2\xb0"
                  "C loop=%u \xc2\xb5s ",
                  kLevels[n % 4], static_cast<unsigned long long>(n),
                  20.0 + static_cast<double>(n % 97) / 10.0, static_cast<unsigned>(700 + n % 300));
    m_line = head;
    m_line += n % 3 == 0 ? "\xc3\x9c"
                           "berlauf "
                         : "\xe7\xbd\x91\xe7\xbb\x9c ";
    // Filler to a length of 60 to 120 bytes with both sequences and the line end.
    const std::size_t length = 60 + static_cast<std::size_t>((n * 37) % 61);
    const std::string tail = "\x1b[0m\r\n";
    while (m_line.size() + tail.size() < length)
        m_line += static_cast<char>('a' + (n + m_line.size()) % 26);
    m_line += tail;
    m_taken = 0;
}

void LogStream::Produce(std::string& out, std::uint64_t maxBytes, std::uint64_t elapsedMs) {
    (void)elapsedMs;
    std::uint64_t end = m_position + maxBytes;
    if (m_end != 0)
        end = std::min(end, m_end);
    while (m_position < end) {
        if (m_taken == m_line.size())
            NextLine();
        const std::size_t take =
            static_cast<std::size_t>(std::min<std::uint64_t>(end - m_position, m_line.size() - m_taken));
        out.append(m_line, m_taken, take);
        m_taken += take;
        m_position += take;
    }
}

std::uint64_t LogStream::UntilRecordEnd() const {
    const std::uint64_t rest = m_line.size() - m_taken;
    return m_end != 0 ? std::min(rest, m_end - m_position) : rest;
}
