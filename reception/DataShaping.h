#pragma once

#include "framework/core/WinTypes.h"
#include "settings/SettingRec.h"

#include <chrono>
#include <functional>
#include <vector>

// The steps that turn the bytes of one read into display text, kept apart from the reception thread so that
// each can be driven with plain values. CCommThread::SynchronizeData runs them in this order: filter,
// translate line ends, timestamp, then append within the buffer loop.

// A millisecond tick count, 32 bits wide and wrapping, as the timestamp rule compares it.
using TickSource = std::function<DWORD()>;

// Milliseconds of the system's monotonic clock, cut to 32 bits. Not processor time, and never set back.
DWORD MonotonicTickCount();

// Removes from the bytes every value listed in FilteredBytesList when bFilteredByte is set; the remaining
// bytes keep their order. A list that parses to no values removes nothing.
void RemoveFilteredBytes(std::vector<BYTE>& bytes, const TermSettingRec& setting);

// Builds a chunk from the bytes: a LF (with bLF) or a CR (with bCR) becomes CR LF, every other byte passes
// unchanged, NUL included.
CString TranslateLineEnds(const std::vector<BYTE>& bytes, const TermSettingRec& setting);

// When the previous chunk of one window was shaped. Each window keeps its own, so traffic on one port never
// suppresses the timestamps of another.
class LastDataClock {
public:
    // TRUE when a chunk read at `now` follows a quiet time of at least `interval` milliseconds, or is the
    // first one. The difference of two readings is taken as a signed 32-bit number, so the rule holds
    // across the wrap of the counter.
    bool IsQuietSince(DWORD now, DWORD interval) const;
    void Mark(DWORD now);
    bool HasData() const { return m_hasData; }
    DWORD LastTick() const { return m_lastTick; }

private:
    bool m_hasData = false;
    DWORD m_lastTick = 0;
};

// Expands a timestamp format (strftime conversions and %L, see TimestampFormat.h) with the current local
// time into at most 127 characters. A format whose expansion does not fit, or is empty, gives an empty text.
CString FormatTimestamp(const CString& format);

// Puts CR LF and a timestamp in front of the chunk when bTimestamp is set and the line was quiet long
// enough; in every case with bTimestamp set, the clock then records this chunk.
void StampChunk(CString& chunk, const TermSettingRec& setting, LastDataClock& clock, const TickSource& ticks);

// Where the device's line stands after the bytes seen so far, for a timestamp on every line. A line ends
// with LF, CR LF or a lone CR, as the view breaks it; a CR that ends one read and the LF that opens the next
// are one line end. The first byte a window receives opens a line.
class LinePosition {
public:
    // Whether the byte opens a line; the byte then becomes the latest one seen.
    bool Opens(BYTE value) {
        const bool opens = m_atLineStart || (m_afterCR && value != 0x0A);
        Follow(value);
        return opens;
    }
    // Takes the bytes of a read without looking for line starts.
    void Follow(const std::vector<BYTE>& bytes) {
        if (!bytes.empty())
            Follow(bytes.back());
    }

private:
    void Follow(BYTE value) {
        m_atLineStart = value == 0x0A;
        m_afterCR = value == 0x0D;
    }

    bool m_atLineStart = true;
    bool m_afterCR = false;
};

// Whether the settings put a timestamp at the start of every line rather than after a quiet time.
inline bool StampsEveryLine(const TermSettingRec& setting) {
    return setting.bTimestamp != 0 && setting.bTimestampEachLine != 0;
}

// Builds the chunk as TranslateLineEnds does, with a timestamp in front of every line the bytes open, and no
// line break of its own. The bytes of one read arrived together: their stamps all read `arrived`. A line
// that goes on in the next read gets no second stamp there.
CString TranslateAndStampLines(const std::vector<BYTE>& bytes, const TermSettingRec& setting,
                               LinePosition& position, std::chrono::system_clock::time_point arrived);
