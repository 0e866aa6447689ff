#include "settings/Preference.h"

#include "comm/comm.h"
#include "framework/core/LogFont.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

namespace {

constexpr int kAllBits = 0x8000 | 0x1 | 0x2 | 0x4 | 0x8 | 0x10;

class PreferenceTest : public ::testing::Test {
protected:
    // Loads preferences from an INI file holding content, in the test's own current directory.
    CPreference Load(const std::string& content) {
        WriteWholeFile(m_dir.file("Kestrune.ini"), content);
        return CPreference("./Kestrune.ini");
    }

    TempDir m_dir;
    CurrentDirGuard m_cwd{m_dir.path()};
};

TEST_F(PreferenceTest, WithoutIniFileStartValuesStayAndNothingIsAvailable) {
    CPreference pref("./Kestrune.ini");
    EXPECT_EQ(0, pref.m_available);
    EXPECT_EQ(0, pref.m_used);
    EXPECT_EQ("./Kestrune.log", pref.m_logFilePath);
    EXPECT_EQ("./ARCH_Kestrune.log", pref.m_logArchiveFilePath);
    EXPECT_EQ(1, pref.m_logLevel);
    EXPECT_EQ("Courier New", pref.m_lfFaceName);
    EXPECT_EQ(100, pref.m_lfSize);
    EXPECT_EQ("", pref.m_defaultBackupPath);
    EXPECT_FALSE(std::filesystem::exists("Kestrune.txt"));
}

TEST_F(PreferenceTest, OnlyComSectionGivesEveryDefaultAndAllBits) {
    CPreference pref = Load("[COM]\n");
    EXPECT_EQ(kAllBits, pref.m_available);
    EXPECT_EQ("COM1", pref.m_commSetting.port);
    EXPECT_EQ(9600u, pref.m_commSetting.baud);
    EXPECT_EQ(8, pref.m_commSetting.byteSize);
    EXPECT_EQ(0, pref.m_commSetting.parity);
    EXPECT_EQ(0, pref.m_commSetting.stopBit);
    EXPECT_EQ(1023u, pref.m_termSetting.nbMaxiByte);
    EXPECT_EQ(1, pref.m_termSetting.bLF);
    EXPECT_EQ(0, pref.m_termSetting.bCR);
    EXPECT_EQ(0, pref.m_termSetting.bTimestamp);
    EXPECT_EQ("%d/%m/%Y - %H:%M:%S = ", pref.m_termSetting.timestampFormat);
    EXPECT_EQ(100u, pref.m_termSetting.timestampInterval);
    EXPECT_EQ(0, pref.m_termSetting.bTimestampEachLine);
    EXPECT_EQ(0, pref.m_termSetting.bFilteredByte);
    EXPECT_EQ("\\x07\\x00", pref.m_termSetting.FilteredBytesList);
    EXPECT_EQ(60u, pref.m_termSetting.autoSaveDelay);
    EXPECT_FALSE(pref.m_bHexView);
    EXPECT_EQ("./Kestrune.txt", pref.m_defaultBackupPath);
    EXPECT_EQ(1, pref.m_logLevel);
    ASSERT_TRUE(std::filesystem::exists("Kestrune.txt"));
    EXPECT_EQ(0u, std::filesystem::file_size("Kestrune.txt"));
}

TEST_F(PreferenceTest, HexViewStartsWindowsAsADumpOnlyWhenSet) {
    EXPECT_TRUE(Load("[TERM]\nHexView=1\n").m_bHexView);
    EXPECT_FALSE(Load("[TERM]\nHexView=0\n").m_bHexView);
    EXPECT_FALSE(Load("[TERM]\nHexView=\n").m_bHexView);
    EXPECT_FALSE(CPreference("./none.ini").m_bHexView);
}

TEST_F(PreferenceTest, ExistingBackupFileKeepsItsContent) {
    WriteWholeFile(m_dir.file("backup.txt"), "kept text");
    CPreference pref = Load("[TERM]\nDefaultBackupPath=backup.txt\n");
    EXPECT_NE(0, pref.m_available & 0x4);
    EXPECT_EQ("kept text", ReadWholeFile(m_dir.file("backup.txt")));
}

TEST_F(PreferenceTest, ValuesAreClampedAndConvertedAsStored) {
    EXPECT_EQ(8, Load("[COM]\nByteSize=264\n").m_commSetting.byteSize);
    EXPECT_EQ(8, Load("[COM]\nByteSize=9\n").m_commSetting.byteSize);
    EXPECT_EQ(5, Load("[COM]\nByteSize=5\n").m_commSetting.byteSize);
    EXPECT_EQ(0, Load("[COM]\nByteSize=-256\n").m_commSetting.byteSize);
    EXPECT_EQ(2, Load("[COM]\nParity=258\n").m_commSetting.parity);
    EXPECT_EQ(1023u, Load("[TERM]\nMaxBytes=-1\n").m_termSetting.nbMaxiByte);
    EXPECT_EQ(12u, Load("[TERM]\nMaxBytes=12\n").m_termSetting.nbMaxiByte);
    EXPECT_EQ(0, Load("[TERM]\nTrapLF=true\n").m_termSetting.bLF);
    EXPECT_EQ(1, Load("[TERM]\nTrapLF=1\n").m_termSetting.bLF);
    EXPECT_EQ(1, Load("[TERM]\nTrapCR=-5\n").m_termSetting.bCR);
    EXPECT_EQ(1, Load("[TERM]\nTimestampEachLine=1\n").m_termSetting.bTimestampEachLine);
    EXPECT_EQ(1, Load("[TERM]\nTimestampEachLine=2\n").m_termSetting.bTimestampEachLine);
    EXPECT_EQ(0, Load("[TERM]\nTimestampEachLine=0\n").m_termSetting.bTimestampEachLine);
    EXPECT_EQ(7, Load("[LOG]\nLogLevel=7\n").m_logLevel);
    EXPECT_EQ(0u, Load("[COM]\nBaudRate=fast\n").m_commSetting.baud);
}

TEST_F(PreferenceTest, AutoSaveOffOrEmptyBackupPathLeavesTheFileAlone) {
    CPreference off = Load("[TERM]\nAutoSaveFrequency=0\n");
    EXPECT_EQ(0, off.m_available & 0x4);
    EXPECT_FALSE(std::filesystem::exists("Kestrune.txt"));
    CPreference empty = Load("[TERM]\nDefaultBackupPath=\n");
    EXPECT_EQ(0, empty.m_available & 0x4);
    CPreference unreachable = Load("[TERM]\nDefaultBackupPath=no/such/dir/k.txt\n");
    EXPECT_EQ(0, unreachable.m_available & 0x4);
    EXPECT_NE(0, unreachable.m_available & 0x2);
}

TEST_F(PreferenceTest, EmptyLogPathOrFontKeysClearTheirBits) {
    CPreference noLog = Load("[LOG]\nLogFilePath=\n");
    EXPECT_EQ(0, noLog.m_available & 0x8);
    EXPECT_EQ("", noLog.m_logFilePath);
    EXPECT_EQ(0, Load("[FONT]\nFontSize=0\n").m_available & 0x10);
    EXPECT_EQ(0, Load("[FONT]\nFontFaceName=\n").m_available & 0x10);
    EXPECT_NE(0, Load("[FONT]\nFontSize=120\n").m_available & 0x10);
}

TEST_F(PreferenceTest, AFontSizeBeyondWhatAScreenShowsIsBroughtDownTo512Points) {
    EXPECT_EQ(3000, Load("[FONT]\nFontSize=3000\n").m_lfSize);
    EXPECT_EQ(5120, Load("[FONT]\nFontSize=5120\n").m_lfSize);
    EXPECT_EQ(5120, Load("[FONT]\nFontSize=40000\n").m_lfSize);
    EXPECT_EQ(-5120, Load("[FONT]\nFontSize=-2147483648\n").m_lfSize);
    EXPECT_NE(0, Load("[FONT]\nFontSize=40000\n").m_available & 0x10);
}

TEST_F(PreferenceTest, PreferredFontFillsHeightAndFaceOfAZeroedStructure) {
    CPreference pref =
        Load("[FONT]\nFontFaceName=An extremely long font face name beyond limits\nFontSize=90\n");
    LOGFONTA font;
    std::memset(&font, 0x7F, sizeof font);
    pref.GetPrefFont(font);
    EXPECT_EQ(90, font.lfHeight);
    EXPECT_EQ(0, font.lfWidth);
    EXPECT_EQ(0, font.lfWeight);
    EXPECT_EQ(0, font.lfPitchAndFamily);
    EXPECT_EQ(std::string("An extremely long font face nam"), font.lfFaceName);
}

TEST_F(PreferenceTest, ReleasingThePortFreesOnlyTheSameName) {
    CPreference pref = Load("[COM]\nPort=COM3\n");
    pref.ReleaseTCommPort(nullptr);
    pref.m_used = 1;
    TCommPort other;
    other.SetCommPort("com3");
    pref.ReleaseTCommPort(&other);
    EXPECT_EQ(1, pref.m_used);
    TCommPort same;
    same.SetCommPort("COM3");
    pref.ReleaseTCommPort(&same);
    EXPECT_EQ(0, pref.m_used);
}

} // namespace

TEST_F(PreferenceTest, CaptureSectionDefaultsWhenAbsent) {
    CPreference pref = Load("[COM]\n");
    EXPECT_EQ(0, pref.m_captureSetting.bAutoCapture);
    EXPECT_EQ(".", pref.m_captureSetting.folder);
    EXPECT_EQ("%p-%Y%m%d-%H%M%S.log", pref.m_captureSetting.namePattern);
    EXPECT_EQ(0, pref.m_captureSetting.bRaw);
    EXPECT_EQ(0, pref.m_captureSetting.bAppend);
    EXPECT_EQ(0u, pref.m_captureSetting.rollSizeMB);
}

TEST_F(PreferenceTest, CaptureSectionTakesBackslashPathsAsTheOtherPathsAre) {
    CPreference pref = Load("[CAPTURE]\nAutoCapture=1\nCaptureFolder=.\\captures\\bench\n"
                            "CaptureName=%p_%H.log\nCaptureRaw=1\nCaptureAppend=1\nCaptureRollSize=-5\n");
    EXPECT_EQ(1, pref.m_captureSetting.bAutoCapture);
    EXPECT_EQ("./captures/bench", pref.m_captureSetting.folder);
    EXPECT_EQ("%p_%H.log", pref.m_captureSetting.namePattern);
    EXPECT_EQ(1, pref.m_captureSetting.bRaw);
    EXPECT_EQ(1, pref.m_captureSetting.bAppend);
    // A negative size never rolls.
    EXPECT_EQ(0u, pref.m_captureSetting.rollSizeMB);
    CPreference slashed = Load("[CAPTURE]\nCaptureFolder=/tmp/a\\b\nCaptureRollSize=10\n");
    EXPECT_EQ("/tmp/a\\b", slashed.m_captureSetting.folder);
    EXPECT_EQ(10u, slashed.m_captureSetting.rollSizeMB);
}
