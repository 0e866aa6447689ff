#include "log/LogFile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

void Configure(CLogFile& log, const std::string& path, const std::string& archive) {
    std::memset(log.cFileName, 0, sizeof log.cFileName);
    std::memset(log.cArchiveName, 0, sizeof log.cArchiveName);
    std::strncpy(log.cFileName, path.c_str(), sizeof log.cFileName - 1);
    std::strncpy(log.cArchiveName, archive.c_str(), sizeof log.cArchiveName - 1);
    log.bArchiveIfMaxReached = archive.empty() ? FALSE : TRUE;
    CopyLogField(log.cModuleName, sizeof log.cModuleName, "Kestrune");
    CopyLogField(log.cProcName, sizeof log.cProcName, "Writer");
}

std::string DescriptionAt(const std::string& bytes, size_t line) {
    return std::string(bytes.substr(line * kLogLineSize + 62, 80).c_str());
}

// Checks that every line is a whole 144-byte line, that only the first line is a header, and counts the
// descriptions of the records.
void CollectRecords(const std::string& bytes, std::map<std::string, int>& seen) {
    ASSERT_EQ(0u, bytes.size() % kLogLineSize) << "a line is torn";
    for (size_t line = 0; line < bytes.size() / kLogLineSize; ++line) {
        const size_t at = line * kLogLineSize;
        ASSERT_EQ('|', bytes[at + 10]) << "line " << line;
        ASSERT_EQ('|', bytes[at + 61]) << "line " << line;
        ASSERT_EQ("\r\n", bytes.substr(at + 142, 2)) << "line " << line;
        const std::string description = DescriptionAt(bytes, line);
        if (line == 0) {
            EXPECT_EQ("DESCRIPTION", description);
            continue;
        }
        ++seen[description];
    }
}

// Runs the writer in a child process and returns its pid.
template <typename Writer> pid_t Spawn(Writer writer) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        writer();
        ::_exit(0);
    }
    return pid;
}

} // namespace

// Four processes append 2,000 records each to one log with archiving while the others trim and archive it.
TEST(LogFileSharing, FourProcessesKeepEveryRecordExactlyOnceInWholeLines) {
    TempDir dir;
    const std::string logPath = dir.file("shared.log");
    const std::string archivePath = dir.file("ARCH_shared.log");
    constexpr int kProcesses = 4;
    constexpr int kRecords = 2000;
    std::vector<pid_t> children;
    for (int process = 0; process < kProcesses; ++process) {
        children.push_back(Spawn([&, process]() {
            CLogFile log;
            Configure(log, logPath, archivePath);
            for (int record = 0; record < kRecords; ++record) {
                const std::string text = "p" + std::to_string(process) + " r" + std::to_string(record);
                if (!log.AddRecord(text.c_str()))
                    ::_exit(2);
            }
        }));
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(child, ::waitpid(child, &status, 0));
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a writer failed";
    }

    std::map<std::string, int> seen;
    const std::string log = ReadWholeFile(logPath);
    CollectRecords(log, seen);
    CollectRecords(ReadWholeFile(archivePath), seen);
    EXPECT_LE(log.size() / kLogLineSize, static_cast<size_t>(kLogMaxRecords + 1));
    EXPECT_EQ(static_cast<size_t>(kProcesses * kRecords), seen.size());
    for (int process = 0; process < kProcesses; ++process) {
        for (int record = 0; record < kRecords; ++record) {
            const std::string text = "p" + std::to_string(process) + " r" + std::to_string(record);
            EXPECT_EQ(1, seen[text]) << text;
        }
    }
}

// A line left half-written by a writer that died does not shift the lines written after it.
TEST(LogFileSharing, APartialLineIsCutBeforeTheNextRecord) {
    TempDir dir;
    CLogFile log;
    Configure(log, dir.file("k.log"), "");
    ASSERT_TRUE(log.AddRecord("first"));
    WriteWholeFile(dir.file("k.log"), ReadWholeFile(dir.file("k.log")) + "01/02/2026|10:1");
    ASSERT_TRUE(log.AddRecord("second"));
    const std::string bytes = ReadWholeFile(dir.file("k.log"));
    ASSERT_EQ(3u * kLogLineSize, bytes.size());
    EXPECT_EQ("second", DescriptionAt(bytes, 2));
}

namespace {

// Writes 250 records into a log whose archive names the same file; the archive is refused and the log keeps
// its 100 newest records, as without an archive.
void ExpectArchiveRefused(const std::string& logPath, const std::string& archivePath) {
    CLogFile log;
    Configure(log, logPath, archivePath);
    int notices = 0;
    for (int record = 0; record < 250; ++record) {
        ASSERT_TRUE(log.AddRecord(("r" + std::to_string(record)).c_str()));
        if (!log.TakeNotice().empty())
            ++notices;
    }
    EXPECT_EQ(1, notices) << "the refusal is reported once";
    const std::string bytes = ReadWholeFile(logPath);
    std::map<std::string, int> seen;
    CollectRecords(bytes, seen);
    EXPECT_EQ(100u, seen.size());
    EXPECT_EQ(101u * kLogLineSize, bytes.size());
    EXPECT_EQ("r150", DescriptionAt(bytes, 1));
    EXPECT_EQ("r249", DescriptionAt(bytes, 100));
    EXPECT_NE(CString::npos, log.m_error.find("archive is the log file itself"));
}

} // namespace

TEST(LogFileArchiveIdentity, AnArchiveNamedLikeTheLogIsRefusedAndTheLogKeptToItsMaximum) {
    TempDir dir;
    ExpectArchiveRefused(dir.file("x.log"), dir.file("x.log"));
}

TEST(LogFileArchiveIdentity, ARelativeSpellingOfTheLogIsRecognised) {
    TempDir dir;
    CurrentDirGuard here(dir.path());
    ExpectArchiveRefused("x.log", "./x.log");
}

TEST(LogFileArchiveIdentity, ALinkToTheLogIsRecognised) {
    TempDir dir;
    WriteWholeFile(dir.file("x.log"), "");
    ASSERT_EQ(0, ::symlink(dir.file("x.log").c_str(), dir.file("link.log").c_str()));
    ExpectArchiveRefused(dir.file("x.log"), dir.file("link.log"));
}

TEST(LogFileArchiveIdentity, AHardLinkToTheLogIsRecognised) {
    TempDir dir;
    WriteWholeFile(dir.file("x.log"), "");
    ASSERT_EQ(0, ::link(dir.file("x.log").c_str(), dir.file("hard.log").c_str()));
    ExpectArchiveRefused(dir.file("x.log"), dir.file("hard.log"));
}

TEST(LogFileTargets, TheNullDeviceIsAcceptedAsLoggingNowhere) {
    CLogFile log;
    Configure(log, "/dev/null", "");
    EXPECT_TRUE(log.AddRecord("gone"));
    EXPECT_TRUE(log.m_error.empty());
}

TEST(LogFileTargets, AnotherDeviceOrAPipeIsRefusedWithAReason) {
    TempDir dir;
    ASSERT_EQ(0, ::mkfifo(dir.file("pipe").c_str(), 0600));
    for (const std::string& path : {std::string("/dev/zero"), dir.file("pipe")}) {
        CLogFile log;
        Configure(log, path, "");
        EXPECT_FALSE(log.AddRecord("never"));
        EXPECT_EQ(0u, log.m_error.find("The log file could not be opened because of this error: ")) << path;
        EXPECT_NE(CString::npos, log.m_error.find("is a device or a pipe")) << path;
    }
}
