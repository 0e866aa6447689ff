#include "ActivityLogTestSupport.h"

#include "settings/Preference.h"

#include <gtest/gtest.h>

namespace {

std::string IniWithLog(const std::string& logPath, const std::string& archivePath) {
    return "[LOG]\nLogLevel=3\nLogFilePath=" + logPath + "\nArchiveLogFilePath=" + archivePath + "\n";
}

} // namespace

TEST(ActivityLogTargetTest, TheNullDeviceLogsNowhereWithoutAnyBox) {
    ActivityLogFixture fixture(IniWithLog("/dev/null", ""));
    for (int record = 0; record < 5; ++record)
        EXPECT_TRUE(fixture.App().WriteToLog("gone", "P", LEVELONE));
    EXPECT_EQ(0, fixture.Boxes());
}

TEST(ActivityLogTargetTest, ADeviceThatCannotHoldALogIsReportedOnceInWords) {
    ActivityLogFixture fixture(IniWithLog("/dev/zero", ""));
    EXPECT_FALSE(fixture.App().WriteToLog("first", "P", LEVELONE));
    EXPECT_FALSE(fixture.App().WriteToLog("second", "P", LEVELONE));
    EXPECT_EQ(1, fixture.Boxes());
    EXPECT_NE(std::string::npos, fixture.LastBoxText().find("/dev/zero"));
    EXPECT_NE(std::string::npos, fixture.LastBoxText().find("device or a pipe"));
}

TEST(ActivityLogTargetTest, AnArchiveThatIsTheLogIsReportedOnceAndLoggingGoesOn) {
    ActivityLogFixture fixture(IniWithLog("x.log", "./x.log"));
    for (int record = 0; record < 230; ++record)
        EXPECT_TRUE(fixture.App().WriteToLog("r" + std::to_string(record), "P", LEVELONE));
    EXPECT_EQ(1, fixture.Boxes());
    EXPECT_NE(std::string::npos, fixture.LastBoxText().find("archive is the log file itself"));
    // The log keeps to its 100 newest records, as without an archive.
    const auto records = RecordsOf(ReadWholeFile(fixture.Dir().file("x.log")));
    ASSERT_EQ(100u, records.size());
    EXPECT_EQ("r229", records.back().description);
}

TEST(ActivityLogTargetTest, BackslashPathsNameFilesInFolders) {
    ActivityLogFixture fixture("[LOG]\nLogLevel=1\nLogFilePath=.\\Kestrune.log\n"
                               "ArchiveLogFilePath=logs\\arch.log\n");
    EXPECT_EQ("./Kestrune.log", fixture.App().m_PrefApp->m_logFilePath);
    EXPECT_EQ("logs/arch.log", fixture.App().m_PrefApp->m_logArchiveFilePath);
    EXPECT_TRUE(fixture.App().WriteToLog("here", "P", LEVELONE));
    EXPECT_EQ(1u, RecordsOf(ReadWholeFile(fixture.Dir().file("Kestrune.log"))).size());
}

TEST(ActivityLogTargetTest, AnIniFileSetAsideStillLogsAtLevelOneToTheStartFile) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    ActivityLogFixture fixture("[LOG]\nLogLevel=3\n\tLogFilePath=elsewhere.log\n");
    testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find("line 3"));
    EXPECT_EQ(3, fixture.App().m_PrefApp->m_iniDiscardedAtLine);
    EXPECT_TRUE(fixture.App().WriteToLog("kept", "P", LEVELONE));
    EXPECT_FALSE(fixture.App().WriteToLog("filtered", "P", LEVELTWO));
    const std::vector<LoggedRecord> records = RecordsOf(fixture.LogBytes());
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ("kept", records[0].description);
}
