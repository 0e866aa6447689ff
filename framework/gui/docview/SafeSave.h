#pragma once

#include "framework/core/WinTypes.h"

#include <memory>

class CFile;

// Writes a file by writing a new one beside it and renaming that into place once it is complete on disk,
// so a failure or crash in the middle never leaves a truncated file where the old one was. A link is
// followed: the file it points to is replaced, the link stays. The new file keeps the old one's permissions.
//
// The new file is hidden (".name.saving-XXXXXX") and locked while it is written. A save killed half-way
// leaves one behind; the next save of the same target removes those that no live save holds.
//
// Where no file can be created beside the target (a folder the user may not write in) but the target
// itself may be written, the content is gathered in memory and written over the target in one careful
// pass instead: room for it is reserved first, so a full disk leaves the old file as it was, and only a
// crash during that last write can leave it half new.
class CSafeSave {
public:
    // Prepares the save of path; throws CFileException or std::runtime_error when it is impossible.
    explicit CSafeSave(const CString& path);
    // Removes the new file unless Commit succeeded.
    ~CSafeSave();
    CSafeSave(const CSafeSave&) = delete;
    CSafeSave& operator=(const CSafeSave&) = delete;

    CFile& File() { return *m_file; }
    // Puts what was written in place of the target, on disk; throws on failure.
    void Commit();

    // Empty when the save writes over the target in place.
    const CString& TemporaryPath() const { return m_tempPath; }
    const CString& TargetPath() const { return m_targetPath; }
    bool WritesInPlace() const { return m_tempPath.empty(); }

    // The prefix of the hidden files that saves of the file named name create beside it.
    static CString TemporaryPrefix(const CString& name);

private:
    void CommitInPlace();

    std::unique_ptr<CFile> m_file;
    CString m_targetPath;
    CString m_tempPath;
    int m_lock = -1; // holds the new file's lock until it is in place or removed
    bool m_committed = false;
};
