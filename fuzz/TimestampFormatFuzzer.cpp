// Feeds arbitrary timestamp formats (an INI value) to the expansion and checks its bounds: never more
// than the longest timestamp, and a text without a conversion comes back as it is when it fits.
#include "reception/TimestampFormat.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const unsigned milliseconds = (data[0] | (data[1] << 8)) % 1000;
    const std::string format(reinterpret_cast<const char*>(data) + 2, size - 2);
    std::tm local{};
    local.tm_year = 126;
    local.tm_mon = 11;
    local.tm_mday = 9;
    local.tm_hour = 17;
    local.tm_min = 45;
    local.tm_sec = 12;
    local.tm_wday = 3;
    local.tm_yday = 342;
    const std::string stamp = ExpandTimestampFormat(format, local, milliseconds);
    if (stamp.size() > kLongestTimestamp)
        std::abort();
    const bool plain = format.find('%') == std::string::npos && format.find('\0') == std::string::npos;
    if (plain && format.size() <= kLongestTimestamp && stamp != format)
        std::abort();
    return 0;
}
