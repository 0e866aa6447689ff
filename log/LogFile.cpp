#include "log/LogFile.h"

#include "framework/Time.h"

#include <cstring>
#include <vector>

namespace {

constexpr char kLineEnd[2] = {'\r', '\n'};
constexpr char kSeparator = '|';
constexpr const char* kOpenFailure = "The log file could not be opened because of this error: ";

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

long CLogFile::LinesIn(const CFile& file) const { return static_cast<long>(file.GetLength() / kLogLineSize); }

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

    if (!OpenLogFile(cFileName))
        return FALSE;
    BOOL result = FALSE;
    try {
        SeekToEnd();
        Write(&record, sizeof record);
        Write(kLineEnd, sizeof kLineEnd);
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

BOOL CLogFile::OpenLogFile(const char* fileName) {
    if (fileName == nullptr || fileName[0] == '\0')
        return FALSE;
    // A file still open from an earlier failure is released first, so the log can always be opened again.
    Abort();
    CFileException error;
    if (!Open(fileName, modeCreate | modeNoTruncate | modeReadWrite | shareDenyNone, &error)) {
        char reason[255];
        error.GetErrorMessage(reason, sizeof reason);
        m_error = CString(kOpenFailure) + reason;
        return FALSE;
    }
    try {
        lCurrentRecord = LinesIn(*this);
        if (GetLength() == 0) {
            AddHeaderRecord();
            return TRUE;
        }
        if (lCurrentRecord > kLogMaxRecords) {
            // When the archive cannot be opened the records stay in the log, which grows past its maximum
            // until an archive can be opened: nothing is lost.
            if (bArchiveIfMaxReached)
                ArchiveRecords();
            else
                TrimRecords();
        }
        SeekToEnd();
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
    SeekToBegin();
    lCurrentRecord = 0;
    AddHeaderRecord();
    Write(buffer.data(), static_cast<UINT>(buffer.size()));
    lCurrentRecord = LinesIn(*this);
}

BOOL CLogFile::ArchiveRecords() {
    CFile archive;
    CFileException error;
    if (!archive.Open(cArchiveName, modeCreate | modeNoTruncate | modeReadWrite | shareExclusive, &error)) {
        char reason[255];
        error.GetErrorMessage(reason, sizeof reason);
        m_error = CString(kOpenFailure) + reason;
        return FALSE;
    }
    if (archive.GetLength() == 0)
        WriteHeaderLine(archive);
    else
        archive.SeekToEnd();
    char line[kLogLineSize];
    for (long index = 1; index < lCurrentRecord; ++index) {
        Seek(static_cast<LONGLONG>(index) * kLogLineSize, begin);
        if (Read(line, sizeof line) != sizeof line)
            break;
        archive.Write(line, sizeof line);
    }
    lCurrentRecord = 0;
    // The archive is complete on disk before the log is emptied, so a failure in between duplicates
    // records at worst and never loses them.
    archive.Close();
    SetLength(0);
    SeekToBegin();
    AddHeaderRecord();
    return TRUE;
}
