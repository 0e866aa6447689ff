#pragma once

#include <cstdint>
#include <string>

// What the simulated device prints. Each source hands out its next bytes on request; the caller paces them.
class Stream {
public:
    virtual ~Stream() = default;
    // Appends up to `maxBytes` of the next output to `out`, as much as is due at `elapsedMs` since the
    // stream began.
    virtual void Produce(std::string& out, std::uint64_t maxBytes, std::uint64_t elapsedMs) = 0;
    // True when nothing more will ever come.
    virtual bool Finished() const = 0;
    // Whether bytes the terminal cannot take right now may be dropped (a device printing into a closed
    // port loses them) rather than waited for.
    virtual bool MayDrop() const = 0;
    // How many more bytes complete the record in hand (a line of the pattern); 0 when there is none.
    virtual std::uint64_t UntilRecordEnd() const { return 0; }
};

// A board's log, three CR LF lines per second as microcontroller frameworks print them: the level coloured
// by escape sequences, readings in UTF-8 ("23.4 °C", "812 µs"), now and then a warning in German, an
// error in Chinese, and a short binary frame.
class DemoStream final : public Stream {
public:
    void Produce(std::string& out, std::uint64_t maxBytes, std::uint64_t elapsedMs) override;
    bool Finished() const override { return false; }
    bool MayDrop() const override { return true; }

private:
    std::uint64_t m_lines = 0;
};

// The bytes of a file, optionally again and again.
class FileStream final : public Stream {
public:
    FileStream(std::string content, bool loop) : m_content(std::move(content)), m_loop(loop) {}
    void Produce(std::string& out, std::uint64_t maxBytes, std::uint64_t elapsedMs) override;
    bool Finished() const override { return !m_loop && m_position >= m_content.size(); }
    bool MayDrop() const override { return false; }

private:
    std::string m_content;
    bool m_loop;
    std::size_t m_position = 0;
};

// A checkable pattern of `count` bytes (0: endless) from line `firstLine` on: 64-byte lines of an
// eight-digit line number, a space, 53 letters and digits shifted by the line number, and CR LF; without
// line ends, the CR LF of each record gives way to a letter and '|', so that the stream is one endless
// line. PatternByte gives any byte of it.
class PatternStream final : public Stream {
public:
    PatternStream(std::uint64_t count, std::uint64_t firstLine = 0, bool lineEnds = true)
        : m_position(firstLine * 64), m_end(count != 0 ? m_position + count : 0), m_lineEnds(lineEnds) {}
    void Produce(std::string& out, std::uint64_t maxBytes, std::uint64_t elapsedMs) override;
    bool Finished() const override { return m_end != 0 && m_position >= m_end; }
    bool MayDrop() const override { return false; }
    std::uint64_t UntilRecordEnd() const override;

private:
    std::uint64_t m_position;
    std::uint64_t m_end;
    bool m_lineEnds;
};

char PatternByte(std::uint64_t index, bool lineEnds = true);

// `count` bytes (0: endless) of a coloured UTF-8 log: lines of 60 to 120 bytes, each with a select graphic
// rendition sequence at either end, a level, a line number, readings with "°C" and "µs", a German and a
// Chinese word, and CR LF. The same count always gives the same bytes.
class LogStream final : public Stream {
public:
    explicit LogStream(std::uint64_t count) : m_end(count) {}
    void Produce(std::string& out, std::uint64_t maxBytes, std::uint64_t elapsedMs) override;
    bool Finished() const override { return m_end != 0 && m_position >= m_end; }
    bool MayDrop() const override { return false; }
    std::uint64_t UntilRecordEnd() const override;

private:
    void NextLine();

    std::uint64_t m_position = 0; // bytes produced
    std::uint64_t m_end;
    std::uint64_t m_lines = 0;
    std::string m_line; // the line in hand
    std::size_t m_taken = 0;
};
