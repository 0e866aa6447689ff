#pragma once

#include "framework/core/WinTypes.h"
#include "framework/files/File.h"

// One line of the log file before its CR LF: five NUL-filled text fields joined by vertical bars.
struct LogRecord {
    char cDate[10];
    char sep_1;
    char cTime[8];
    char sep_2;
    char cModuleName[20];
    char sep_3;
    char cProcName[20];
    char sep_4;
    char cDescription[80];
};

static_assert(sizeof(LogRecord) == 142, "a log line is 142 bytes before its CR LF");

// Sizes of the log's lines and limits.
constexpr int kLogLineSize = 144;   // a record and CR LF
constexpr int kLogMaxRecords = 100; // records kept besides the header line
constexpr int kLogPathSize = 261;   // file names, NUL included

// Appends fixed-width records to a log file that holds a header line and at most 100 records. When it is
// full the next append moves every record to the archive file (archiving on) or drops the oldest record.
// The file is opened for each record and closed right after. Several programs may share one log: each
// record is a single write to the end of the file, and an advisory lock (flock) on the log, and on the
// archive while records move into it, is held from the open to the close, so appends, trims and archiving
// of different processes never interleave. The object itself is not locked: callers on several threads
// must keep their calls to one object apart.
class CLogFile : public CFile {
public:
    CLogFile();
    ~CLogFile() override;

    // Appends a record stamped with the current local time, the module name and the procedure name. FALSE
    // when nothing could be appended (m_error then tells why when the file could not be opened). Failures
    // after the open throw CFileException; the file is closed before the exception leaves.
    BOOL AddRecord(const char* description);

    // Lines the log held at the last open, header included, counting each line written since.
    long GetRecordCount() const { return lCurrentRecord; }

    // A problem the owner should tell the user about once although logging goes on (an archive that is the
    // log itself); empty when there is none. Taking it clears it.
    CString TakeNotice();

    BOOL bArchiveIfMaxReached;
    char cFileName[kLogPathSize];
    char cArchiveName[kLogPathSize];
    char cModuleName[20];
    char cProcName[20];

protected:
    BOOL OpenLogFile(const char* fileName);
    void Set_HeaderRec();
    BOOL AddHeaderRecord();

    LogRecord HeaderRec;
    long lCurrentRecord;

public:
    CString m_error;

private:
    // What became of a full log's records: moved to the archive; kept, since the archive cannot be opened
    // now; or left for trimming, since the archive is refused (the log itself, a file that is no log, a
    // device) and would be at every later try.
    enum class ArchiveOutcome { moved, failed, refused };
    ArchiveOutcome ArchiveRecords();
    // Keeps the reason in m_error, and as the notice the first time.
    ArchiveOutcome RefuseArchive(const CString& reason);
    // TRUE when the open file is empty or begins with the log's header line, so it may be cut and mended.
    BOOL HoldsALog(CFile& file) const;
    // Blocks until this process holds the log's lock.
    void LockLog();
    // Cuts a line left half-written (by a writer that died mid-record) so that every line stays whole.
    void CutPartialLine(CFile& file) const;
    // Keeps the 99 newest records after the header, dropping the older ones.
    void TrimRecords();
    // Writes the header line into another open file.
    void WriteHeaderLine(CFile& file) const;
    long LinesIn(const CFile& file) const;

    CString m_notice;
    BOOL m_archiveRefusalReported = FALSE;
};

// Copies at most width bytes of text (up to its NUL) into a fixed field and fills the rest with NUL bytes.
void CopyLogField(char* field, size_t width, const char* text);
