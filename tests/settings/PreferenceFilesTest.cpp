#include "settings/Preference.h"

#include "settings/IniFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

class PreferenceFilesTest : public ::testing::Test {
protected:
    CPreference Load(const std::string& content) {
        WriteWholeFile(m_dir.file("Kestrune.ini"), content);
        return CPreference("./Kestrune.ini");
    }

    TempDir m_dir;
    CurrentDirGuard m_cwd{m_dir.path()};
};

} // namespace

TEST_F(PreferenceFilesTest, BackslashPathsWithoutASlashUseTheBackslashAsSeparator) {
    const CPreference pref = Load("[TERM]\nDefaultBackupPath=.\\Kestrune.txt\n"
                                  "[LOG]\nLogFilePath=.\\Kestrune.log\nArchiveLogFilePath=logs\\arch.log\n");
    EXPECT_EQ("./Kestrune.txt", pref.m_defaultBackupPath);
    EXPECT_EQ("./Kestrune.log", pref.m_logFilePath);
    EXPECT_EQ("logs/arch.log", pref.m_logArchiveFilePath);
    EXPECT_TRUE(std::filesystem::exists("Kestrune.txt"));
    EXPECT_FALSE(std::filesystem::exists(".\\Kestrune.txt"));
}

TEST_F(PreferenceFilesTest, PathsWithASlashKeepTheirBackslashesAsPartOfTheName) {
    const CPreference pref = Load("[LOG]\nLogFilePath=./a\\b.log\nArchiveLogFilePath=logs/arch.log\n");
    EXPECT_EQ("./a\\b.log", pref.m_logFilePath);
    EXPECT_EQ("logs/arch.log", pref.m_logArchiveFilePath);
}

TEST_F(PreferenceFilesTest, BufferLoopIsAlwaysOneTo1023AndZeroMeansTheLargest) {
    EXPECT_EQ(1023u, Load("[TERM]\n").m_termSetting.nbMaxiByte);
    EXPECT_EQ(1023u, Load("[TERM]\nMaxBytes=1024\n").m_termSetting.nbMaxiByte);
    EXPECT_EQ(1023u, Load("[TERM]\nMaxBytes=0\n").m_termSetting.nbMaxiByte);
    EXPECT_EQ(1023u, Load("[TERM]\nMaxBytes=none\n").m_termSetting.nbMaxiByte);
    EXPECT_EQ(1u, Load("[TERM]\nMaxBytes=1\n").m_termSetting.nbMaxiByte);
    EXPECT_EQ(1023u, ClampBufferLoop(0));
    EXPECT_EQ(1023u, ClampBufferLoop(1024));
    EXPECT_EQ(500u, ClampBufferLoop(500));
    // The largest loop still fits what a window may load back.
    EXPECT_LE(static_cast<unsigned long>(kLargestBufferLoop) * 1024u, 1048575u);
}

TEST_F(PreferenceFilesTest, AnIniFileSetAsideForATabLineKeepsTheLogOnWithStartValues) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const CPreference pref = Load("[COM]\nPort=COM4\n\n\tBaudRate=1200\n");
    testing::internal::GetCapturedStdout();
    const std::string error = testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, error.find("line 4")) << error;
    EXPECT_EQ(4, pref.m_iniDiscardedAtLine);
    EXPECT_EQ(PREF_LOG_FILE, pref.m_available);
    EXPECT_EQ("./Kestrune.log", pref.m_logFilePath);
    EXPECT_EQ(1, pref.m_logLevel);
    EXPECT_EQ("", pref.m_commSetting.port);
}

TEST_F(PreferenceFilesTest, AMissingIniFileIsNotCalledSetAside) {
    const CPreference pref("./Kestrune.ini");
    EXPECT_EQ(0, pref.m_iniDiscardedAtLine);
    EXPECT_EQ(0, pref.m_available);
}

TEST(IniFileIndex, LookupsKeepFirstSectionLastValueAndIgnoreCaseAcrossManyEntries) {
    TempDir dir;
    std::string content = "[Big]\n";
    for (int entry = 0; entry < 5000; ++entry)
        content += "Key" + std::to_string(entry) + "=" + std::to_string(entry) + "\n";
    content += "[BIG]\nkey17=late\n[other]\nKEY17=x\n[big]\nNew=1\n";
    WriteWholeFile(dir.file("k.ini"), content);
    CIniFile ini(dir.file("k.ini"));
    ASSERT_TRUE(ini.ReadFile());
    EXPECT_EQ(4u, ini.NumKeys());
    EXPECT_EQ(0, ini.FindKey("bIG"));
    EXPECT_EQ(2, ini.FindKey("OTHER"));
    EXPECT_EQ("late", ini.GetValue("big", "KEY17"));
    EXPECT_EQ("4999", ini.GetValue("Big", "key4999"));
    EXPECT_EQ("1", ini.GetValue("Big", "new"));
    EXPECT_EQ(17, ini.FindValue(0, "kEy17"));
    EXPECT_EQ(-1, ini.FindValue(1, "key17"));
    EXPECT_EQ("x", ini.GetValue("Other", "key17"));
    EXPECT_EQ(5001u, ini.Key(0)->names.size());
}
