#include "reception/DataShaping.h"

#include "reception/TimestampFormat.h"
#include "settings/tools.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>

namespace {

// A LF (with bLF) or a CR (with bCR) becomes CR LF; every other byte passes unchanged.
bool BecomesLineEnd(BYTE value, const TermSettingRec& setting) {
    return (setting.bLF && value == 0x0A) || (setting.bCR && value == 0x0D);
}

void AppendTranslated(CString& chunk, BYTE value, const TermSettingRec& setting) {
    if (BecomesLineEnd(value, setting))
        chunk += "\r\n";
    else
        chunk += static_cast<char>(value);
}

} // namespace

DWORD MonotonicTickCount() {
    const auto sinceStart = std::chrono::steady_clock::now().time_since_epoch();
    const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(sinceStart).count();
    return static_cast<DWORD>(static_cast<std::uint64_t>(milliseconds));
}

void RemoveFilteredBytes(std::vector<BYTE>& bytes, const TermSettingRec& setting) {
    if (!setting.bFilteredByte)
        return;

    // The list is parsed on every read so that a changed list takes effect with the next read.
    BYTE* listed = nullptr;
    DWORD count = 0;
    HexaStringToBytes(setting.FilteredBytesList, &listed, &count);
    std::unique_ptr<BYTE[]> owner(listed);
    if (count == 0)
        return;

    // Removing each listed value in turn and removing them all in one pass leave the same bytes; one pass
    // keeps the cost of a large read independent of the length of the list.
    std::array<bool, 256> filtered{};
    for (DWORD i = 0; i < count; ++i)
        filtered[listed[i]] = true;

    std::size_t kept = 0;
    for (BYTE value : bytes) {
        if (!filtered[value])
            bytes[kept++] = value;
    }
    bytes.resize(kept);
}

CString TranslateLineEnds(const std::vector<BYTE>& bytes, const TermSettingRec& setting) {
    const char* data = reinterpret_cast<const char*>(bytes.data());
    if (!setting.bLF && !setting.bCR)
        return CString(data, bytes.size());
    // Copied in runs between the bytes that become CR LF: a read of a fast device is a few copies, not an
    // append per byte.
    CString chunk;
    chunk.reserve(bytes.size() + bytes.size() / 8);
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (BecomesLineEnd(bytes[i], setting)) {
            chunk.append(data + runStart, i - runStart);
            chunk += "\r\n";
            runStart = i + 1;
        }
    }
    chunk.append(data + runStart, bytes.size() - runStart);
    return chunk;
}

bool LastDataClock::IsQuietSince(DWORD now, DWORD interval) const {
    if (!m_hasData)
        return true;
    // Widened before the comparison so that an interval beyond the signed range never turns a negative
    // difference (a reading from before the previous one) into a large positive one.
    const std::int64_t elapsed = static_cast<std::int32_t>(now - m_lastTick);
    return elapsed >= static_cast<std::int64_t>(interval);
}

void LastDataClock::Mark(DWORD now) {
    m_hasData = true;
    m_lastTick = now;
}

CString FormatTimestamp(const CString& format) {
    return FormatTimestampAt(format, std::chrono::system_clock::now());
}

void StampChunk(CString& chunk, const TermSettingRec& setting, LastDataClock& clock,
                const TickSource& ticks) {
    if (!setting.bTimestamp)
        return;
    const DWORD now = ticks();
    const bool quiet = clock.IsQuietSince(now, setting.timestampInterval);
    clock.Mark(ticks());
    if (quiet)
        chunk = "\r\n" + FormatTimestamp(setting.timestampFormat) + chunk;
}

CString TranslateAndStampLines(const std::vector<BYTE>& bytes, const TermSettingRec& setting,
                               LinePosition& position, std::chrono::system_clock::time_point arrived) {
    CString chunk;
    chunk.reserve(bytes.size());
    CString stamp;
    bool stampMade = false;
    for (BYTE value : bytes) {
        if (position.Opens(value)) {
            // Expanded once per read, and only when a line opens in it.
            if (!stampMade) {
                stamp = FormatTimestampAt(setting.timestampFormat, arrived);
                stampMade = true;
            }
            chunk += stamp;
        }
        AppendTranslated(chunk, value, setting);
    }
    return chunk;
}
