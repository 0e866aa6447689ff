#include "log/LogFile.h"

#include "framework/core/Time.h"

#include <cerrno>
#include <cstring>
#include <sys/file.h>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr char kLineEnd[2] = {'\r', '\n'};
constexpr char kSeparator = '|';
constexpr const char* kOpenFailure = "The log file could not be opened because of this error: ";
constexpr const char* kNotAFile = " is a device or a pipe, not a file: it cannot hold a log.";
constexpr const char* kArchiveIsLog = "The log archive is the log file itself, so full logs are not archived "
                                      "and their oldest records are dropped instead: ";
constexpr const char* kNotALog = " holds something other than a log: it is left as it is.";

// What a path names, for the log: a file it can hold (or a file still to be created), the null device
// (logging nowhere), or something that cannot grow as a log must (another device, a pipe, a socket).
enum class LogTarget { file, nowhere, unfit };

LogTarget TargetOf(const struct stat& info) {
    if (S_ISREG(info.st_mode) || S_ISDIR(info.st_mode))
        return LogTarget::file;
    struct stat null {};
    if (S_ISCHR(info.st_mode) && ::stat("/dev/null", &null) == 0 && S_ISCHR(null.st_mode) &&
        info.st_rdev == null.st_rdev)
        return LogTarget::nowhere;
    return LogTarget::unfit;
}

LogTarget TargetOf(const char* path) {
    struct stat info {};
    if (::stat(path, &info) != 0)
        return LogTarget::file;
    return TargetOf(info);
}

bool SameFile(const CFile& one, const CFile& other) {
    struct stat a {};
    struct stat b {};
    return ::fstat(one.m_hFile, &a) == 0 && ::fstat(other.m_hFile, &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

void LockExclusive(const CFile& file) {
    // A file system without locks still gets the records: losing the log would be worse than a rare mix.
    while (::flock(file.m_hFile, LOCK_EX) != 0 && errno == EINTR) {
    }
}

void SetSeparators(LogRecord& record) {
    record.sep_1 = kSeparator;
    record.sep_2 = kSeparator;
    record.sep_3 = kSeparator;
    record.sep_4 = kSeparator;
}

} // namespace

void CopyLogField(char* field, size_t width, const char* text) {
    std::memset(field, 0, width);
    if (text == nullptr)
        return;
    const size_t length = strnlen(text, width);
    std::memcpy(field, text, length);
}

CLogFile::CLogFile() : bArchiveIfMaxReached(FALSE), lCurrentRecord(0) {
    cFileName[0] = '\0';
    cArchiveName[0] = '\0';
    std::memset(cModuleName, 0, sizeof cModuleName);
    std::memset(cProcName, 0, sizeof cProcName);
    Set_HeaderRec();
}

CLogFile::~CLogFile() = default;

void CLogFile::Set_HeaderRec() {
    std::memset(&HeaderRec, 0, sizeof HeaderRec);
    CopyLogField(HeaderRec.cDate, sizeof HeaderRec.cDate, "DATE");
    CopyLogField(HeaderRec.cTime, sizeof HeaderRec.cTime, "TIME");
    CopyLogField(HeaderRec.cModuleName, sizeof HeaderRec.cModuleName, "MODULE");
    CopyLogField(HeaderRec.cProcName, sizeof HeaderRec.cProcName, "PROCEDURE");
    CopyLogField(HeaderRec.cDescription, sizeof HeaderRec.cDescription, "DESCRIPTION");
    SetSeparators(HeaderRec);
}

long CLogFile::LinesIn(const CFile& file) const {
    return static_cast<long>(file.GetLength() / kLogLineSize);
}

void CLogFile::WriteHeaderLine(CFile& file) const {
    file.Write(&HeaderRec, sizeof HeaderRec);
    file.Write(kLineEnd, sizeof kLineEnd);
}

BOOL CLogFile::AddHeaderRecord() {
    WriteHeaderLine(*this);
    if (LinesIn(*this) > lCurrentRecord) {
        ++lCurrentRecord;
        return TRUE;
    }
    return FALSE;
}

BOOL CLogFile::AddRecord(const char* description) {
    const CTime now = CTime::GetCurrentTime();
    LogRecord record;
    std::memset(&record, 0, sizeof record);
    CopyLogField(record.cDate, sizeof record.cDate, now.Format("%d/%m/%Y").c_str());
    CopyLogField(record.cTime, sizeof record.cTime, now.Format("%H:%M:%S").c_str());
    std::memcpy(record.cModuleName, cModuleName, sizeof record.cModuleName);
    std::memcpy(record.cProcName, cProcName, sizeof record.cProcName);
    CopyLogField(record.cDescription, sizeof record.cDescription, description);
    SetSeparators(record);
    // The record and its line end leave in one write, so no other writer's bytes can fall between them.
    char line[kLogLineSize];
    std::memcpy(line, &record, sizeof record);
    std::memcpy(line + sizeof record, kLineEnd, sizeof kLineEnd);

    if (cFileName[0] != '\0' && TargetOf(cFileName) == LogTarget::nowhere)
        return TRUE;
    if (!OpenLogFile(cFileName))
        return FALSE;
    BOOL result = FALSE;
    try {
        Write(line, sizeof line);
        if (LinesIn(*this) > lCurrentRecord) {
            ++lCurrentRecord;
            result = TRUE;
        }
        Close();
    } catch (...) {
        // The handle is released so that the next record can open the log again.
        Abort();
        throw;
    }
    return result;
}

CString CLogFile::TakeNotice() {
    CString notice;
    notice.swap(m_notice);
    return notice;
}

void CLogFile::LockLog() {
    LockExclusive(*this);
}

BOOL CLogFile::HoldsALog(CFile& file) const {
    // An empty file becomes a log; one that begins with the header line, or with its first part when a
    // writer died before finishing it, is one.
    char start[kLogLineSize];
    file.Seek(0, begin);
    const UINT read = file.Read(start, sizeof start);
    file.Seek(0, end);
    char header[kLogLineSize];
    std::memcpy(header, &HeaderRec, sizeof HeaderRec);
    std::memcpy(header + sizeof HeaderRec, kLineEnd, sizeof kLineEnd);
    return std::memcmp(start, header, read) == 0;
}

void CLogFile::CutPartialLine(CFile& file) const {
    const ULONGLONG length = file.GetLength();
    if (length % kLogLineSize != 0)
        file.SetLength(length - length % kLogLineSize);
}

BOOL CLogFile::OpenLogFile(const char* fileName) {
    if (fileName == nullptr || fileName[0] == '\0')
        return FALSE;
    // A file still open from an earlier failure is released first, so the log can always be opened again.
    Abort();
    // A device or a pipe is refused before it is opened: opening a pipe could wait for a reader, and
    // neither can be measured or cut as the log's upkeep needs.
    if (TargetOf(fileName) == LogTarget::unfit) {
        m_error = CString(kOpenFailure) + "\"" + fileName + "\"" + kNotAFile;
        return FALSE;
    }
    CFileException error;
    if (!Open(fileName, modeCreate | modeNoTruncate | modeReadWrite | modeAppend | shareDenyNone, &error)) {
        char reason[255];
        error.GetErrorMessage(reason, sizeof reason);
        m_error = CString(kOpenFailure) + reason;
        return FALSE;
    }
    try {
        struct stat info {};
        if (::fstat(m_hFile, &info) == 0 && TargetOf(info) != LogTarget::file) {
            Abort();
            m_error = CString(kOpenFailure) + "\"" + fileName + "\"" + kNotAFile;
            return FALSE;
        }
        // Held until the record is written and the file closed.
        LockLog();
        // The upkeep below cuts and rewrites the file: only a log may be treated so, never a file that
        // the path names by mistake.
        if (!HoldsALog(*this)) {
            Abort();
            m_error = CString(kOpenFailure) + "\"" + fileName + "\"" + kNotALog;
            return FALSE;
        }
        CutPartialLine(*this);
        lCurrentRecord = LinesIn(*this);
        if (GetLength() == 0) {
            AddHeaderRecord();
            return TRUE;
        }
        if (lCurrentRecord > kLogMaxRecords) {
            // When the archive cannot be opened the records stay in the log, which grows past its maximum
            // until it can: nothing is lost. An archive that is refused for good (the log itself, a file
            // that is no log, a device) would let the log grow for ever, so the log is trimmed instead.
            const ArchiveOutcome outcome = bArchiveIfMaxReached ? ArchiveRecords() : ArchiveOutcome::refused;
            if (outcome == ArchiveOutcome::refused)
                TrimRecords();
        }
    } catch (...) {
        Abort();
        throw;
    }
    return TRUE;
}

void CLogFile::TrimRecords() {
    const long kept = kLogMaxRecords - 1;
    // The newest records are the last full lines; a log that grew past its maximum keeps its newest ones,
    // not the ones that follow the oldest.
    const long firstKept = lCurrentRecord - kept;
    std::vector<char> buffer(static_cast<size_t>(kept) * kLogLineSize, '\0');
    Seek(static_cast<LONGLONG>(firstKept) * kLogLineSize, begin);
    Read(buffer.data(), static_cast<UINT>(buffer.size()));
    SetLength(0);
    lCurrentRecord = 0;
    AddHeaderRecord();
    Write(buffer.data(), static_cast<UINT>(buffer.size()));
    lCurrentRecord = LinesIn(*this);
}

CLogFile::ArchiveOutcome CLogFile::RefuseArchive(const CString& reason) {
    m_error = reason;
    if (!m_archiveRefusalReported) {
        m_archiveRefusalReported = TRUE;
        m_notice = m_error;
    }
    return ArchiveOutcome::refused;
}

CLogFile::ArchiveOutcome CLogFile::ArchiveRecords() {
    CFile archive;
    CFileException error;
    if (TargetOf(cArchiveName) == LogTarget::unfit)
        return RefuseArchive(CString(kOpenFailure) + "\"" + cArchiveName + "\"" + kNotAFile);
    if (!archive.Open(cArchiveName, modeCreate | modeNoTruncate | modeReadWrite | modeAppend, &error)) {
        char reason[255];
        error.GetErrorMessage(reason, sizeof reason);
        m_error = CString(kOpenFailure) + reason;
        return ArchiveOutcome::failed;
    }
    // However the two names are spelled (relative, through a link, a second hard link), the same file
    // would be emptied right after the records were copied into it.
    if (SameFile(*this, archive)) {
        archive.Abort();
        return RefuseArchive(CString(kArchiveIsLog) + cArchiveName);
    }
    LockExclusive(archive);
    if (!HoldsALog(archive)) {
        archive.Abort();
        return RefuseArchive(CString(kOpenFailure) + "\"" + cArchiveName + "\"" + kNotALog);
    }
    CutPartialLine(archive);
    // Every record line of the log (not its header, not a partial line), read and appended in one piece.
    std::vector<char> moved;
    if (archive.GetLength() == 0) {
        moved.insert(moved.end(), reinterpret_cast<const char*>(&HeaderRec),
                     reinterpret_cast<const char*>(&HeaderRec) + sizeof HeaderRec);
        moved.insert(moved.end(), kLineEnd, kLineEnd + sizeof kLineEnd);
    }
    const size_t headerBytes = moved.size();
    const size_t recordBytes = static_cast<size_t>(lCurrentRecord - 1) * kLogLineSize;
    moved.resize(headerBytes + recordBytes);
    Seek(kLogLineSize, begin);
    moved.resize(headerBytes + Read(moved.data() + headerBytes, static_cast<UINT>(recordBytes)));
    archive.Write(moved.data(), static_cast<UINT>(moved.size()));
    lCurrentRecord = 0;
    // The archive holds the records before the log is emptied, so a failure in between duplicates
    // records at worst and never loses them.
    archive.Close();
    SetLength(0);
    AddHeaderRecord();
    return ArchiveOutcome::moved;
}
