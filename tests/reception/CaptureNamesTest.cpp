#include "reception/CaptureNames.h"

#include <gtest/gtest.h>

#include <ctime>

namespace {

// 9 December 2026, 17:45:12 local time.
std::time_t SampleTime() {
    std::tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 11;
    local.tm_mday = 9;
    local.tm_hour = 17;
    local.tm_min = 45;
    local.tm_sec = 12;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

} // namespace

TEST(CaptureNames, TheDefaultPatternNamesThePortAndTheStartTime) {
    EXPECT_EQ(ProposedCaptureName("COM3", SampleTime()), "COM3-20261209-174512.log");
}

TEST(CaptureNames, PortNamesAreMadeFitForAFileNameAndOnlyPercentPIsThePort) {
    EXPECT_EQ(SubstitutePortName("%p.log", "rfc2217://host:2217"), "rfc2217:__host:2217.log");
    EXPECT_EQ(SubstitutePortName("%p", "a%Yb"), "a%%Yb");
    EXPECT_EQ(ExpandTimePattern(SubstitutePortName("%p", "a%Yb"), SampleTime()), "a%Yb");
    // "%%p" is a literal "%p", and a lone '%' at the end stays.
    EXPECT_EQ(ExpandTimePattern(SubstitutePortName("%%p-%p-%", "COM1"), SampleTime()), "%p-COM1-%");
    // The AM/PM conversion strftime has under %p is never reached.
    EXPECT_EQ(ExpandTimePattern(SubstitutePortName("%H%p", "COM1"), SampleTime()), "17COM1");
}

TEST(CaptureNames, AnEmptyOrOverlongExpansionGivesNoName) {
    EXPECT_EQ(ExpandTimePattern("", SampleTime()), "");
    EXPECT_EQ(ExpandTimePattern(std::string(5000, 'x'), SampleTime()), "");
    EXPECT_EQ(ExpandTimePattern("%Y", SampleTime()), "2026");
}

TEST(CaptureNames, TakenNamesAreNumberedBeforeTheExtension) {
    EXPECT_EQ(NumberedName("dir/COM3-1.log", 0), "dir/COM3-1.log");
    EXPECT_EQ(NumberedName("dir/COM3-1.log", 2), "dir/COM3-1-2.log");
    EXPECT_EQ(NumberedName("dir.d/capture", 1), "dir.d/capture-1");
    EXPECT_EQ(NumberedName(".hidden", 1), ".hidden-1");
    EXPECT_EQ(NumberedName("a.tar.gz", 3), "a.tar-3.gz");
}

TEST(CaptureNames, TheFolderGoesBeforeARelativeName) {
    EXPECT_EQ(JoinCapturePath(".", "x.log"), "./x.log");
    EXPECT_EQ(JoinCapturePath("logs/", "x.log"), "logs/x.log");
    EXPECT_EQ(JoinCapturePath("", "x.log"), "x.log");
    EXPECT_EQ(JoinCapturePath("logs", "/abs/x.log"), "/abs/x.log");
}
