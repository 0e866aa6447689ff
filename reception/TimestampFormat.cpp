#include "reception/TimestampFormat.h"

#include <cstdio>

namespace {

// The format with every %L replaced by the three digits, other conversions left to strftime.
CString WithMilliseconds(const CString& format, unsigned milliseconds) {
    char digits[4];
    std::snprintf(digits, sizeof digits, "%03u", milliseconds % 1000);
    CString expanded;
    expanded.reserve(format.size());
    for (std::size_t at = 0; at < format.size(); ++at) {
        const char c = format[at];
        if (c != '%' || at + 1 == format.size()) {
            expanded += c;
            continue;
        }
        const char conversion = format[++at];
        if (conversion == 'L') {
            expanded += digits;
        } else {
            // "%%" is kept whole, so that the percent sign it stands for never opens a conversion.
            expanded += c;
            expanded += conversion;
        }
    }
    return expanded;
}

} // namespace

CString ExpandTimestampFormat(const CString& format, const std::tm& local, unsigned milliseconds) {
    if (format.empty())
        return CString();
    const CString expanded = WithMilliseconds(format, milliseconds);
    char area[kLongestTimestamp + 1];
    const std::size_t length = std::strftime(area, sizeof area, expanded.c_str(), &local);
    return CString(area, length);
}

CString FormatTimestampAt(const CString& format, std::chrono::system_clock::time_point when) {
    if (format.empty())
        return CString();
    // Seconds and milliseconds come from the one reading, so a stamp never pairs a second with the
    // milliseconds of the next.
    const auto second = std::chrono::floor<std::chrono::seconds>(when);
    const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(when - second).count();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(second);
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr)
        return CString();
    return ExpandTimestampFormat(format, local, static_cast<unsigned>(milliseconds));
}
