#include "framework/core/Time.h"

#include <vector>

namespace {

CString FormatTm(const std::tm& parts, const char* format) {
    if (format == nullptr || *format == '\0')
        return CString();
    // strftime gives 0 both when the buffer is too small and when the result is empty (a lone "%p" in
    // some locales), so the buffer grows a few times before the result is taken as empty.
    for (size_t size = 256; size <= 64 * 1024; size *= 4) {
        std::vector<char> buffer(size);
        const size_t length = std::strftime(buffer.data(), buffer.size(), format, &parts);
        if (length != 0)
            return CString(buffer.data(), length);
    }
    return CString();
}

} // namespace

CTime::CTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec, int nDST) {
    std::tm parts{};
    parts.tm_year = nYear - 1900;
    parts.tm_mon = nMonth - 1;
    parts.tm_mday = nDay;
    parts.tm_hour = nHour;
    parts.tm_min = nMin;
    parts.tm_sec = nSec;
    parts.tm_isdst = nDST;
    m_time = std::mktime(&parts);
}

CTime CTime::GetCurrentTime() {
    return CTime(std::time(nullptr));
}

std::tm CTime::Local() const {
    std::tm parts{};
    localtime_r(&m_time, &parts);
    return parts;
}

CString CTime::Format(const char* pszFormat) const {
    return FormatTm(Local(), pszFormat);
}

int CTime::GetYear() const {
    return Local().tm_year + 1900;
}
int CTime::GetMonth() const {
    return Local().tm_mon + 1;
}
int CTime::GetDay() const {
    return Local().tm_mday;
}
int CTime::GetHour() const {
    return Local().tm_hour;
}
int CTime::GetMinute() const {
    return Local().tm_min;
}
int CTime::GetSecond() const {
    return Local().tm_sec;
}
