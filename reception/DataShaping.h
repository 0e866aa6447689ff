#pragma once

#include "framework/core/WinTypes.h"
#include "settings/SettingRec.h"

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

// Expands a strftime format with the current local time into at most 127 characters. A format whose
// expansion does not fit, or is empty, gives an empty text.
CString FormatTimestamp(const CString& format);

// Puts CR LF and a timestamp in front of the chunk when bTimestamp is set and the line was quiet long
// enough; in every case with bTimestamp set, the clock then records this chunk.
void StampChunk(CString& chunk, const TermSettingRec& setting, LastDataClock& clock, const TickSource& ticks);
