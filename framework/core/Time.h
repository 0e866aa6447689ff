#pragma once

#include "framework/core/WinTypes.h"

#include <ctime>

// A moment in time, to the second, read and formatted in local time.
class CTime {
public:
    CTime() = default;
    explicit CTime(std::time_t time) : m_time(time) {}
    // A local date and time; month 1-12, day 1-31. A daylight-saving flag of -1 lets the system decide.
    CTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec, int nDST = -1);

    static CTime GetCurrentTime();

    // The moment formatted with strftime conversions in local time ("%d/%m/%Y", "%H:%M:%S" and so on).
    CString Format(const char* pszFormat) const;

    std::time_t GetTime() const { return m_time; }
    int GetYear() const;
    int GetMonth() const;
    int GetDay() const;
    int GetHour() const;
    int GetMinute() const;
    int GetSecond() const;

    bool operator==(const CTime& other) const { return m_time == other.m_time; }
    bool operator!=(const CTime& other) const { return m_time != other.m_time; }
    bool operator<(const CTime& other) const { return m_time < other.m_time; }

private:
    std::tm Local() const;
    std::time_t m_time = 0;
};
