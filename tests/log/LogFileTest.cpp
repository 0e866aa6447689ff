#include "log/LogFile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

namespace {

// One 144-byte line with the given fields, NUL-filled as the log writes them.
std::string Line(const std::string& proc, const std::string& description) {
    LogRecord record;
    std::memset(&record, 0, sizeof record);
    CopyLogField(record.cDate, sizeof record.cDate, "01/02/2026");
    CopyLogField(record.cTime, sizeof record.cTime, "10:11:12");
    CopyLogField(record.cModuleName, sizeof record.cModuleName, "Kestrune");
    CopyLogField(record.cProcName, sizeof record.cProcName, proc.c_str());
    CopyLogField(record.cDescription, sizeof record.cDescription, description.c_str());
    record.sep_1 = record.sep_2 = record.sep_3 = record.sep_4 = '|';
    return std::string(reinterpret_cast<const char*>(&record), sizeof record) + "\r\n";
}

std::string HeaderLine() {
    LogRecord record;
    std::memset(&record, 0, sizeof record);
    CopyLogField(record.cDate, 10, "DATE");
    CopyLogField(record.cTime, 8, "TIME");
    CopyLogField(record.cModuleName, 20, "MODULE");
    CopyLogField(record.cProcName, 20, "PROCEDURE");
    CopyLogField(record.cDescription, 80, "DESCRIPTION");
    record.sep_1 = record.sep_2 = record.sep_3 = record.sep_4 = '|';
    return std::string(reinterpret_cast<const char*>(&record), sizeof record) + "\r\n";
}

// A log of the header and count records described "old N".
std::string LogWith(int count) {
    std::string bytes = HeaderLine();
    for (int index = 1; index <= count; ++index)
        bytes += Line("Old", "old " + std::to_string(index));
    return bytes;
}

std::string DescriptionOf(const std::string& file, size_t line) {
    const std::string field = file.substr(line * kLogLineSize + 62, 80);
    return std::string(field.c_str());
}

class LogFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::strcpy(log.cFileName, m_dir.file("k.log").c_str());
        std::strcpy(log.cModuleName, "Kestrune");
        std::strncpy(log.cProcName, "Proc", sizeof log.cProcName);
    }
    std::string LogBytes() const { return ReadWholeFile(m_dir.file("k.log")); }

    TempDir m_dir;
    CLogFile log;
};

TEST_F(LogFileTest, FirstRecordCreatesTheFileWithHeaderAndFixedFields) {
    ASSERT_TRUE(log.AddRecord("Hello"));
    const std::string bytes = LogBytes();
    ASSERT_EQ(288u, bytes.size());
    EXPECT_EQ(HeaderLine(), bytes.substr(0, 144));
    const std::string line = bytes.substr(144);
    EXPECT_EQ('/', line[2]);
    EXPECT_EQ('/', line[5]);
    EXPECT_EQ('|', line[10]);
    EXPECT_EQ(':', line[13]);
    EXPECT_EQ('|', line[19]);
    EXPECT_EQ(std::string("Kestrune\0\0\0\0\0\0\0\0\0\0\0\0|", 21), line.substr(20, 21));
    EXPECT_EQ(std::string("Proc\0", 5), line.substr(41, 5));
    EXPECT_EQ('|', line[61]);
    EXPECT_EQ(std::string("Hello\0", 6), line.substr(62, 6));
    EXPECT_EQ("\r\n", line.substr(142));
    EXPECT_EQ(2, log.GetRecordCount());
}

TEST_F(LogFileTest, DescriptionsAndNamesAreCutAtTheirFieldWidths) {
    const std::string eighty(80, 'd');
    ASSERT_TRUE(log.AddRecord(eighty.c_str()));
    ASSERT_TRUE(log.AddRecord((eighty + "X").c_str()));
    ASSERT_TRUE(log.AddRecord(""));
    std::memcpy(log.cProcName, "ABCDEFGHIJKLMNOPQRST", 20);
    ASSERT_TRUE(log.AddRecord("full name"));
    const std::string bytes = LogBytes();
    ASSERT_EQ(5u * 144, bytes.size());
    EXPECT_EQ(eighty + "\r\n", bytes.substr(144 + 62, 82));
    EXPECT_EQ(eighty + "\r\n", bytes.substr(288 + 62, 82));
    EXPECT_EQ(std::string(80, '\0'), bytes.substr(432 + 62, 80));
    EXPECT_EQ("ABCDEFGHIJKLMNOPQRST|full name", bytes.substr(576 + 41, 30));
}

TEST_F(LogFileTest, NinetyNineRecordsStillAppend) {
    WriteWholeFile(m_dir.file("k.log"), LogWith(99));
    ASSERT_TRUE(log.AddRecord("new"));
    const std::string bytes = LogBytes();
    ASSERT_EQ(101u * 144, bytes.size());
    EXPECT_EQ(LogWith(99), bytes.substr(0, 100 * 144));
    EXPECT_EQ("new", DescriptionOf(bytes, 100));
}

TEST_F(LogFileTest, FullLogMovesItsRecordsToTheArchive) {
    std::strcpy(log.cArchiveName, m_dir.file("arch.log").c_str());
    log.bArchiveIfMaxReached = TRUE;
    WriteWholeFile(m_dir.file("k.log"), LogWith(100));
    ASSERT_TRUE(log.AddRecord("first of the new log"));
    EXPECT_EQ(LogWith(100), ReadWholeFile(m_dir.file("arch.log")));
    std::string bytes = LogBytes();
    ASSERT_EQ(288u, bytes.size());
    EXPECT_EQ(HeaderLine(), bytes.substr(0, 144));
    EXPECT_EQ("first of the new log", DescriptionOf(bytes, 1));

    // A second full log goes after the first one, without a second header.
    WriteWholeFile(m_dir.file("k.log"), LogWith(100));
    ASSERT_TRUE(log.AddRecord("again"));
    const std::string archive = ReadWholeFile(m_dir.file("arch.log"));
    ASSERT_EQ(201u * 144, archive.size());
    EXPECT_EQ(LogWith(100).substr(144), archive.substr(101 * 144));
}

TEST_F(LogFileTest, FullLogWithoutArchiveDropsItsOldestRecord) {
    WriteWholeFile(m_dir.file("k.log"), LogWith(100));
    ASSERT_TRUE(log.AddRecord("newest"));
    const std::string bytes = LogBytes();
    ASSERT_EQ(101u * 144, bytes.size());
    EXPECT_EQ(HeaderLine(), bytes.substr(0, 144));
    EXPECT_EQ("old 2", DescriptionOf(bytes, 1));
    EXPECT_EQ("old 100", DescriptionOf(bytes, 99));
    EXPECT_EQ("newest", DescriptionOf(bytes, 100));
}

TEST_F(LogFileTest, OverfullLogWithoutArchiveKeepsItsNewestRecords) {
    WriteWholeFile(m_dir.file("k.log"), LogWith(130));
    ASSERT_TRUE(log.AddRecord("newest"));
    const std::string bytes = LogBytes();
    ASSERT_EQ(101u * 144, bytes.size());
    EXPECT_EQ("old 32", DescriptionOf(bytes, 1));
    EXPECT_EQ("old 130", DescriptionOf(bytes, 99));
    EXPECT_EQ("newest", DescriptionOf(bytes, 100));
}

TEST_F(LogFileTest, ArchiveThatCannotOpenKeepsEveryRecordInTheLog) {
    std::filesystem::create_directory(m_dir.file("arch.log"));
    std::strcpy(log.cArchiveName, m_dir.file("arch.log").c_str());
    log.bArchiveIfMaxReached = TRUE;
    WriteWholeFile(m_dir.file("k.log"), LogWith(100));
    ASSERT_TRUE(log.AddRecord("kept 1"));
    EXPECT_EQ(0u, log.m_error.find("The log file could not be opened because of this error: "));
    ASSERT_TRUE(log.AddRecord("kept 2"));
    EXPECT_EQ(LogWith(100), LogBytes().substr(0, 101 * 144));
    EXPECT_EQ(103u * 144, LogBytes().size());

    // Once the archive can be opened, all 102 records move there.
    std::filesystem::remove(m_dir.file("arch.log"));
    ASSERT_TRUE(log.AddRecord("after"));
    const std::string archive = ReadWholeFile(m_dir.file("arch.log"));
    ASSERT_EQ(103u * 144, archive.size());
    EXPECT_EQ("kept 2", DescriptionOf(archive, 102));
    EXPECT_EQ(288u, LogBytes().size());
}

TEST_F(LogFileTest, AFileThatIsNoLogIsLeftAsItIsAndRefusedInWords) {
    // Text that a mistaken path names, of a length that is no multiple of a line.
    std::string letter;
    for (int line = 0; line < 40; ++line)
        letter += "Dear reader, this is line " + std::to_string(line) + " of a letter.\n";
    ASSERT_NE(0u, letter.size() % kLogLineSize);
    WriteWholeFile(m_dir.file("k.log"), letter);
    EXPECT_FALSE(log.AddRecord("never"));
    EXPECT_EQ(letter, LogBytes());
    EXPECT_EQ(0u, log.m_error.find("The log file could not be opened because of this error: "));
    EXPECT_NE(std::string::npos, log.m_error.find("k.log\" holds something other than a log"));

    // A full log whose archive path names such a file: the file stays, the log keeps to its maximum.
    WriteWholeFile(m_dir.file("arch.log"), letter);
    std::strcpy(log.cArchiveName, m_dir.file("arch.log").c_str());
    log.bArchiveIfMaxReached = TRUE;
    WriteWholeFile(m_dir.file("k.log"), LogWith(100));
    ASSERT_TRUE(log.AddRecord("newest"));
    EXPECT_EQ(letter, ReadWholeFile(m_dir.file("arch.log")));
    EXPECT_NE(std::string::npos, log.m_error.find("arch.log\" holds something other than a log"));
    EXPECT_EQ(log.m_error, log.TakeNotice());
    ASSERT_EQ(101u * 144, LogBytes().size());
    EXPECT_EQ("old 2", DescriptionOf(LogBytes(), 1));
    EXPECT_EQ("newest", DescriptionOf(LogBytes(), 100));
}

TEST_F(LogFileTest, AHeaderLeftHalfWrittenIsMended) {
    WriteWholeFile(m_dir.file("k.log"), HeaderLine().substr(0, 30));
    ASSERT_TRUE(log.AddRecord("first"));
    ASSERT_EQ(288u, LogBytes().size());
    EXPECT_EQ(HeaderLine(), LogBytes().substr(0, 144));
    EXPECT_EQ("first", DescriptionOf(LogBytes(), 1));
}

TEST_F(LogFileTest, DeletedLogIsRecreatedAndDirectoryInItsPlaceFails) {
    ASSERT_TRUE(log.AddRecord("one"));
    std::filesystem::remove(m_dir.file("k.log"));
    ASSERT_TRUE(log.AddRecord("two"));
    EXPECT_EQ(288u, LogBytes().size());
    EXPECT_EQ("two", DescriptionOf(LogBytes(), 1));

    std::filesystem::remove(m_dir.file("k.log"));
    std::filesystem::create_directory(m_dir.file("k.log"));
    EXPECT_FALSE(log.AddRecord("three"));
    EXPECT_EQ(0u, log.m_error.find("The log file could not be opened because of this error: "));
    EXPECT_NE(std::string::npos, log.m_error.find("k.log"));
}

TEST_F(LogFileTest, EmptyFileNameWritesNothingAndKeepsTheError) {
    log.cFileName[0] = '\0';
    log.m_error = "earlier";
    EXPECT_FALSE(log.AddRecord("lost"));
    EXPECT_EQ("earlier", log.m_error);
}

} // namespace
