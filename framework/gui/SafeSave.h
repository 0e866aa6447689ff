#pragma once

#include "framework/WinTypes.h"

#include <memory>

class CFile;

// Writes a file by writing a new one beside it and renaming that into place once it is complete on disk,
// so a failure or crash in the middle never leaves a truncated file where the old one was. A link is
// followed: the file it points to is replaced, the link stays. The new file keeps the old one's permissions.
class CSafeSave {
public:
    // Creates the new file beside path; throws CFileException when that is impossible.
    explicit CSafeSave(const CString& path);
    // Removes the new file unless Commit succeeded.
    ~CSafeSave();
    CSafeSave(const CSafeSave&) = delete;
    CSafeSave& operator=(const CSafeSave&) = delete;

    CFile& File() { return *m_file; }
    // Closes, flushes to disk and renames the new file over the target; throws CFileException on failure.
    void Commit();

    const CString& TemporaryPath() const { return m_tempPath; }
    const CString& TargetPath() const { return m_targetPath; }

private:
    std::unique_ptr<CFile> m_file;
    CString m_targetPath;
    CString m_tempPath;
    bool m_committed = false;
};
