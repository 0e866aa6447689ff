#include "settings/IniFile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

class IniFileTest : public ::testing::Test {
protected:
    // Writes content as the INI file and reads it into ini; returns ReadFile's result.
    bool Read(const std::string& content) {
        WriteWholeFile(m_dir.file("test.ini"), content);
        ini.Path(m_dir.file("test.ini"));
        return ini.ReadFile();
    }

    TempDir m_dir;
    CIniFile ini{""};
};

TEST_F(IniFileTest, MissingEmptyAndCommentOnlyFilesReadAsFalseAndGiveDefaults) {
    ini.Path(m_dir.file("absent.ini"));
    EXPECT_FALSE(ini.ReadFile());
    EXPECT_EQ(0u, ini.NumKeys());
    EXPECT_EQ("dflt", ini.GetValue("COM", "Port", "dflt"));
    EXPECT_EQ(7, ini.GetValueI("COM", "Baud", 7));
    EXPECT_TRUE(ini.GetValueB("COM", "Flag", true));

    EXPECT_FALSE(Read(""));
    EXPECT_FALSE(Read("; first\n\n# second\r\n"));
    ASSERT_EQ(2u, ini.HeaderComments().size());
    EXPECT_EQ(" first", ini.HeaderComments()[0]);
    EXPECT_EQ(" second", ini.HeaderComments()[1]);
}

TEST_F(IniFileTest, EntryBeforeAnySectionGoesToTheUnnamedSection) {
    EXPECT_TRUE(Read("Port=COM2"));
    EXPECT_EQ("none", ini.GetValue("COM", "Port", "none"));
    EXPECT_EQ("COM2", ini.GetValue("", "Port", "none"));
}

TEST_F(IniFileTest, NothingIsTrimmedAndCaseIsFoldedOnlyForAsciiLetters) {
    EXPECT_TRUE(Read("[COM]\nPort = COM2\n[com2]\nPORT=COM3\n[\xC9t\xE9]\nk=v\n"));
    EXPECT_EQ("dflt", ini.GetValue("COM", "Port", "dflt"));
    EXPECT_EQ(" COM2", ini.GetValue("com", "Port ", "dflt"));
    EXPECT_EQ("COM3", ini.GetValue("COM2", "port", "dflt"));
    EXPECT_EQ("v", ini.GetValue("\xC9t\xE9", "K", "dflt"));
    EXPECT_EQ("dflt", ini.GetValue("\xE9t\xE9", "k", "dflt"));
}

TEST_F(IniFileTest, FirstMarkOfTheLineDecidesWhatItIs) {
    EXPECT_TRUE(Read("[COM] ; serial\nx;y=1\na=b;c\nb=c=d#e\n[bad\n]odd[\n"));
    EXPECT_EQ(1u, ini.NumKeys());
    EXPECT_EQ(0, ini.FindKey("COM"));
    EXPECT_EQ(-1, ini.FindValue(0, "x"));
    EXPECT_EQ("b;c", ini.GetValue("COM", "a"));
    EXPECT_EQ("c=d#e", ini.GetValue("COM", "b"));
    ASSERT_NE(nullptr, ini.Key(0));
    ASSERT_EQ(1u, ini.Key(0)->comments.size());
    EXPECT_EQ("y=1", ini.Key(0)->comments[0]);
}

TEST_F(IniFileTest, RepeatedSectionAndEntryMergeIntoTheFirstAndLaterValueWins) {
    EXPECT_TRUE(Read("[A]\nk=1\n[B]\nj=2\n[a]\nk=3\nm=4\n"));
    EXPECT_EQ(3u, ini.NumKeys());
    EXPECT_EQ("3", ini.GetValue("A", "k"));
    EXPECT_EQ("4", ini.GetValue("A", "m"));
    ASSERT_NE(nullptr, ini.Key(2));
    EXPECT_TRUE(ini.Key(2)->names.empty());
}

TEST_F(IniFileTest, NonPrintableFirstByteStopsReadingButKeepsWhatCameBefore) {
    testing::internal::CaptureStdout();
    EXPECT_FALSE(Read("[COM]\nPort=COM4\n\tBaudRate=1200\nStopBit=1\n"));
    EXPECT_EQ("Failing on char 9\n", testing::internal::GetCapturedStdout());
    EXPECT_EQ("COM4", ini.GetValue("COM", "Port"));
    EXPECT_EQ(-1, ini.FindValue(0, "StopBit"));

    CIniFile bom(m_dir.file("bom.ini"));
    WriteWholeFile(m_dir.file("bom.ini"), "\xEF\xBB\xBF[COM]\n");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(bom.ReadFile());
    EXPECT_EQ("Failing on char -17\n", testing::internal::GetCapturedStdout());
}

TEST_F(IniFileTest, SpaceIndentedLinesAndCrLfAndLastLineWithoutEndAreRead) {
    EXPECT_TRUE(Read("[COM]\r\n  Port=COM5\r\nBaud=300"));
    EXPECT_EQ("COM5", ini.GetValue("COM", "  Port"));
    EXPECT_EQ(300, ini.GetValueI("COM", "Baud", 0));
}

TEST_F(IniFileTest, NumbersAreReadAsStrtolReadsThem) {
    EXPECT_TRUE(Read("[N]\nhex=0x10\nspace= 42\ntail=12abc\nword=true\nneg=-5\nzero=0\nempty=\n"
                     "big=99999999999\nsmall=-99999999999\n"));
    EXPECT_EQ(0, ini.GetValueI("N", "hex", 9));
    EXPECT_EQ(42, ini.GetValueI("N", "space", 9));
    EXPECT_EQ(12, ini.GetValueI("N", "tail", 9));
    EXPECT_EQ(0, ini.GetValueI("N", "word", 9));
    EXPECT_EQ(2147483647, ini.GetValueI("N", "big", 9));
    EXPECT_EQ(-2147483647 - 1, ini.GetValueI("N", "small", 9));
    EXPECT_EQ(9, ini.GetValueI("N", "missing", 9));
    EXPECT_TRUE(ini.GetValueB("N", "neg", false));
    EXPECT_FALSE(ini.GetValueB("N", "word", true));
    EXPECT_FALSE(ini.GetValueB("N", "zero", true));
    EXPECT_FALSE(ini.GetValueB("N", "empty", true));
    EXPECT_TRUE(ini.GetValueB("N", "missing", true));
}

TEST_F(IniFileTest, SetValueCreatesOnlyWhenAskedAndReplacesAlways) {
    EXPECT_FALSE(ini.SetValue("S", "k", "v", false));
    EXPECT_EQ(0u, ini.NumKeys());
    EXPECT_TRUE(ini.SetValue("S", "k", "v", true));
    EXPECT_FALSE(ini.SetValue("S", "j", "w", false));
    EXPECT_TRUE(ini.SetValue("s", "K", "x", false));
    EXPECT_EQ("x", ini.GetValue("S", "k"));
    EXPECT_EQ(1u, ini.AddKeyName("S"));
    EXPECT_EQ(0, ini.FindKey("s"));
    EXPECT_EQ(-1, ini.FindValue(7, "k"));
    EXPECT_FALSE(ini.KeyComment(5u, "c"));
    EXPECT_FALSE(ini.KeyComment("T", "c"));
    EXPECT_TRUE(ini.KeyComment("S", "c"));
}

} // namespace
