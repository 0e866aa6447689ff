#include "ActivityLogTestSupport.h"

#include "framework/core/Resource.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

std::string IniWithLevel(int level) {
    return "[LOG]\nLogLevel=" + std::to_string(level) + "\nArchiveLogFilePath=\n";
}

// Writes one event of each level and returns the descriptions that reached the file.
std::vector<std::string> LoggedAtLevel(int level) {
    ActivityLogFixture fixture(IniWithLevel(level));
    fixture.App().WriteToLog("one", "P", LEVELONE);
    fixture.App().WriteToLog("two", "P", LEVELTWO);
    fixture.App().WriteToLog("three", "P", LEVELTHREE);
    std::vector<std::string> descriptions;
    for (const LoggedRecord& record : RecordsOf(fixture.LogBytes()))
        descriptions.push_back(record.description);
    return descriptions;
}

TEST(ActivityLogTest, ConfiguredLevelFiltersEvents) {
    EXPECT_EQ((std::vector<std::string>{}), LoggedAtLevel(0));
    EXPECT_EQ((std::vector<std::string>{"one"}), LoggedAtLevel(1));
    EXPECT_EQ((std::vector<std::string>{"one", "two"}), LoggedAtLevel(2));
    EXPECT_EQ((std::vector<std::string>{"one", "two", "three"}), LoggedAtLevel(3));
    EXPECT_EQ((std::vector<std::string>{}), LoggedAtLevel(-1));
}

TEST(ActivityLogTest, RecordsCarryModuleAndProcedureNamesAndEmptyNameRepeatsThePrevious) {
    ActivityLogFixture fixture(IniWithLevel(3));
    EXPECT_TRUE(fixture.App().WriteToLog("first", "InitInstance", LEVELONE));
    EXPECT_TRUE(fixture.App().WriteToLog("second", "", LEVELONE));
    EXPECT_TRUE(fixture.App().WriteToLog("third", "AVeryLongProcedureNameIndeed", LEVELONE));
    fixture.Close();
    const std::string bytes = fixture.LogBytes();
    const std::vector<LoggedRecord> records = RecordsOf(bytes);
    ASSERT_EQ(4u, records.size());
    EXPECT_EQ("InitInstance", records[0].procName);
    EXPECT_EQ("InitInstance", records[1].procName);
    EXPECT_EQ("second", records[1].description);
    EXPECT_EQ("AVeryLongProcedureNa", records[2].procName);
    EXPECT_EQ("--------------------", records[3].procName);
    EXPECT_EQ("Close application.", records[3].description);
    EXPECT_EQ(std::string("Kestrune\0", 9), bytes.substr(144 + 20, 9));
}

TEST(ActivityLogTest, WithoutIniOrLogPathNothingIsLogged) {
    {
        TempDir dir;
        CurrentDirGuard cwd(dir.path());
        CMainApp app;
        EXPECT_FALSE(app.SetLogFile());
        EXPECT_FALSE(app.WriteToLog("lost", "P", LEVELONE));
    }
    ActivityLogFixture fixture("[LOG]\nLogFilePath=\n");
    EXPECT_FALSE(fixture.App().m_logEnable);
    EXPECT_FALSE(fixture.App().WriteToLog("lost", "P", LEVELONE));
    EXPECT_EQ(0, fixture.Boxes());
}

TEST(ActivityLogTest, FailedWriteShowsOneBoxThenLoggingStaysOff) {
    ActivityLogFixture fixture("[LOG]\nLogFilePath=logdir\n");
    std::filesystem::create_directory(fixture.Dir().file("logdir"));
    EXPECT_FALSE(fixture.App().WriteToLog("lost", "P", LEVELONE));
    EXPECT_EQ(1, fixture.Boxes());
    EXPECT_EQ(0u, fixture.LastBoxText().find("The log file could not be opened because of this error: "));
    EXPECT_FALSE(fixture.App().m_logEnable);
    std::filesystem::remove(fixture.Dir().file("logdir"));
    EXPECT_FALSE(fixture.App().WriteToLog("still lost", "P", LEVELONE));
    EXPECT_EQ(1, fixture.Boxes());
    EXPECT_FALSE(std::filesystem::exists(fixture.Dir().file("logdir")));
}

TEST(ActivityLogTest, OverlongPathsAreRefusedWithOneMessage) {
    const std::string longName(261, 'n');
    ActivityLogFixture longLog("[LOG]\nLogFilePath=" + longName + "\n");
    EXPECT_FALSE(longLog.App().m_logEnable);
    EXPECT_EQ(1, longLog.Boxes());
    EXPECT_NE(std::string::npos, longLog.LastBoxText().find(longName));
    EXPECT_FALSE(longLog.App().WriteToLog("lost", "P", LEVELONE));

    ActivityLogFixture longArchive("[LOG]\nArchiveLogFilePath=" + longName + "\n");
    EXPECT_FALSE(longArchive.App().m_logEnable);
    EXPECT_EQ(1, longArchive.Boxes());

    // 260 characters still fit the name field with its NUL.
    ActivityLogFixture fits("[LOG]\nLogFilePath=" + std::string(260, 'f') + "\n");
    EXPECT_TRUE(fits.App().m_logEnable);
    EXPECT_EQ(0, fits.Boxes());
}

TEST(ActivityLogTest, StringTableHoldsTheLogTexts) {
    EXPECT_STREQ("Open application - Log level: %d", AfxLoadString(2500));
    EXPECT_STREQ("Suspend connection and close com port", AfxLoadString(2523));
    EXPECT_STREQ("The screen was 'unfreezed' by the user", AfxLoadString(2528));
    for (UINT id = 2500; id <= 2528; ++id)
        EXPECT_NE(nullptr, AfxLoadString(id)) << id;
}

} // namespace
