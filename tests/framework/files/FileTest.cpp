#include "framework/files/File.h"
#include "framework/core/Time.h"
#include "framework/core/WinError.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(FileTest, CreateWithoutTruncateKeepsContentAndPlainCreateEmpties) {
    TempDir dir;
    const std::string path = dir.file("f.bin");
    WriteWholeFile(path, "abcdef");
    {
        CFile file(path.c_str(), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite);
        EXPECT_EQ(6u, file.GetLength());
        EXPECT_EQ(6u, file.SeekToEnd());
        file.Write("gh", 2);
        file.Seek(1, CFile::begin);
        char buffer[4] = {};
        EXPECT_EQ(3u, file.Read(buffer, 3));
        EXPECT_STREQ("bcd", buffer);
        file.SetLength(3);
        EXPECT_EQ(3u, file.GetLength());
        file.Close();
        EXPECT_FALSE(file.IsOpen());
    }
    EXPECT_EQ("abc", ReadWholeFile(path));
    CFile emptied(path.c_str(), CFile::modeCreate | CFile::modeWrite);
    EXPECT_EQ(0u, emptied.GetLength());
}

TEST(FileTest, FailuresNameTheFileAndTheReason) {
    TempDir dir;
    CFile file;
    CFileException error;
    EXPECT_FALSE(file.Open(dir.file("missing").c_str(), CFile::modeRead, &error));
    EXPECT_EQ(CFileException::fileNotFound, error.m_cause);
    EXPECT_EQ(static_cast<LONG>(ERROR_FILE_NOT_FOUND), error.m_lOsError);
    char text[255];
    ASSERT_TRUE(error.GetErrorMessage(text, sizeof text));
    EXPECT_NE(nullptr, std::strstr(text, "missing"));
    EXPECT_NE(nullptr, std::strstr(text, std::strerror(ENOENT)));

    EXPECT_FALSE(file.Open(dir.path().c_str(), CFile::modeReadWrite, &error));
    EXPECT_EQ(CFileException::accessDenied, error.m_cause);
    EXPECT_FALSE(file.Open(dir.path().c_str(), CFile::modeRead, &error));

    EXPECT_THROW(CFile(dir.file("missing").c_str(), CFile::modeRead), CFileException);
    char small[4];
    ASSERT_TRUE(error.GetErrorMessage(small, sizeof small));
    EXPECT_EQ(3u, std::strlen(small));
}

TEST(FileTest, ExclusiveOpenRefusesASecondLockingOpener) {
    TempDir dir;
    const std::string path = dir.file("locked");
    CFile first(path.c_str(), CFile::modeCreate | CFile::modeReadWrite | CFile::shareExclusive);
    CFile second;
    CFileException error;
    EXPECT_FALSE(second.Open(path.c_str(), CFile::modeReadWrite | CFile::shareExclusive, &error));
    EXPECT_EQ(CFileException::sharingViolation, error.m_cause);
    EXPECT_TRUE(second.Open(path.c_str(), CFile::modeRead | CFile::shareDenyNone, &error));
    first.Close();
    second.Close();
    EXPECT_TRUE(second.Open(path.c_str(), CFile::modeReadWrite | CFile::shareExclusive, &error));
}

TEST(FileTest, RenameReplacesTheTargetInOneStep) {
    TempDir dir;
    WriteWholeFile(dir.file("new"), "new text");
    WriteWholeFile(dir.file("old"), "old text");
    CFile::Rename(dir.file("new").c_str(), dir.file("old").c_str());
    EXPECT_EQ("new text", ReadWholeFile(dir.file("old")));
    EXPECT_THROW(CFile::Rename(dir.file("new").c_str(), dir.file("x").c_str()), CFileException);
    CFile::Remove(dir.file("old").c_str());
    EXPECT_THROW(CFile::Remove(dir.file("old").c_str()), CFileException);
}

TEST(TimeTest, FormatsLocalTimeWithStrftimeConversions) {
    const CTime moment(2026, 3, 7, 8, 9, 5);
    EXPECT_EQ("07/03/2026", moment.Format("%d/%m/%Y"));
    EXPECT_EQ("08:09:05", moment.Format("%H:%M:%S"));
    EXPECT_EQ("", moment.Format(""));
    EXPECT_EQ(2026, moment.GetYear());
    EXPECT_EQ(3, moment.GetMonth());
    EXPECT_EQ(5, moment.GetSecond());
    const std::string longFormat(1000, 'x');
    EXPECT_EQ(longFormat, moment.Format(longFormat.c_str()));
    EXPECT_LE(moment.GetTime(), CTime::GetCurrentTime().GetTime());
}

} // namespace
