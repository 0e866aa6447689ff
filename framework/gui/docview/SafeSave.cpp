#include "framework/gui/docview/SafeSave.h"

#include "framework/files/File.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <stdexcept>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

[[noreturn]] void Fail(const CString& path, const char* step, int error) {
    throw std::runtime_error(path + ": " + step + ": " + std::strerror(error));
}

// The file a path names, with a link followed, so the link itself survives the rename.
CString ResolveTarget(const CString& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
        return path;
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) != nullptr)
        return resolved;
    return path;
}

CString DirectoryOf(const CString& path) {
    const auto slash = path.find_last_of('/');
    if (slash == CString::npos)
        return ".";
    return slash == 0 ? CString("/") : path.substr(0, slash);
}

CString NameOf(const CString& path) {
    const auto slash = path.find_last_of('/');
    return slash == CString::npos ? path : path.substr(slash + 1);
}

bool SameInode(const struct stat& one, const struct stat& other) {
    return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

void LockBlocking(int descriptor) {
    while (::flock(descriptor, LOCK_EX) != 0 && errno == EINTR) {
    }
}

// Removes the hidden files that killed saves of this target left: a file whose lock can be taken belongs
// to no save in progress, in this process or another. One that cannot be removed is left alone.
void RemoveStaleTemporaries(const CString& directory, const CString& name) {
    const CString prefix = CSafeSave::TemporaryPrefix(name);
    DIR* folder = ::opendir(directory.c_str());
    if (folder == nullptr)
        return;
    while (const dirent* entry = ::readdir(folder)) {
        const CString candidate = entry->d_name;
        // mkstemp adds six characters to the prefix.
        if (candidate.size() != prefix.size() + 6 || candidate.compare(0, prefix.size(), prefix) != 0)
            continue;
        const CString path = directory + "/" + candidate;
        const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (descriptor < 0)
            continue;
        struct stat locked {};
        struct stat named {};
        // The name must still be the file that was locked: a save may have put it in place meanwhile.
        if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0 && ::fstat(descriptor, &locked) == 0 &&
            S_ISREG(locked.st_mode) && ::lstat(path.c_str(), &named) == 0 && SameInode(locked, named))
            ::unlink(path.c_str());
        ::close(descriptor);
    }
    ::closedir(folder);
}

// The hidden new file, whose failures name the file the user chose: the hidden name means nothing to
// them.
class NewFileFor : public CFile {
public:
    explicit NewFileFor(const CString& target) : m_target(target) {}

    BOOL Open(const char* lpszFileName, UINT nOpenFlags, CFileException* pError = nullptr) override {
        if (!CFile::Open(lpszFileName, nOpenFlags, pError)) {
            if (pError != nullptr)
                *pError = CFileException(pError->m_cause, pError->m_errno, m_target);
            return FALSE;
        }
        m_strFileName = m_target;
        return TRUE;
    }

private:
    CString m_target;
};

// Gathers what a save writes when it can only be written over the target at the end. Writes append.
class MemoryFile : public CFile {
public:
    void Write(const void* lpBuf, UINT nCount) override {
        m_bytes.append(static_cast<const char*>(lpBuf), nCount);
    }
    ULONGLONG GetPosition() const override { return m_bytes.size(); }
    ULONGLONG GetLength() const override { return m_bytes.size(); }
    void Flush() override {}
    void Close() override {}
    void Abort() override {}
    const CString& Bytes() const { return m_bytes; }

private:
    CString m_bytes;
};

bool MayWriteInPlace(int createError, const CString& target) {
    if (createError != EACCES && createError != EPERM)
        return false;
    struct stat info {};
    return ::stat(target.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(target.c_str(), W_OK) == 0;
}

} // namespace

CString CSafeSave::TemporaryPrefix(const CString& name) {
    return "." + name + ".saving-";
}

CSafeSave::CSafeSave(const CString& path) : m_targetPath(ResolveTarget(path)) {
    const CString directory = DirectoryOf(m_targetPath);
    RemoveStaleTemporaries(directory, NameOf(m_targetPath));
    const CString pattern = directory + "/" + TemporaryPrefix(NameOf(m_targetPath)) + "XXXXXX";
    for (;;) {
        CString candidate = pattern;
        const int descriptor = ::mkstemp(candidate.data());
        if (descriptor < 0) {
            const int createError = errno;
            if (!MayWriteInPlace(createError, m_targetPath))
                Fail(path, "cannot create a file beside it", createError);
            m_file = std::make_unique<MemoryFile>();
            return;
        }
        LockBlocking(descriptor);
        // Another save's clean-up may have taken the new file between its creation and the lock.
        struct stat locked {};
        struct stat named {};
        if (::fstat(descriptor, &locked) == 0 && ::lstat(candidate.c_str(), &named) == 0 &&
            SameInode(locked, named)) {
            m_lock = descriptor;
            m_tempPath = candidate;
            break;
        }
        ::close(descriptor);
    }
    // The new file takes the permissions the old one had, or those a newly created file would get.
    struct stat info {};
    mode_t mode;
    if (::stat(m_targetPath.c_str(), &info) == 0) {
        mode = info.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(m_lock, mode);
    m_file = std::make_unique<NewFileFor>(path);
    CFileException error;
    if (!m_file->Open(m_tempPath.c_str(), CFile::modeCreate | CFile::modeWrite, &error)) {
        ::unlink(m_tempPath.c_str());
        ::close(m_lock);
        throw error;
    }
}

CSafeSave::~CSafeSave() {
    if (!m_committed) {
        try {
            m_file->Abort();
        } catch (...) {
            // Nothing more can be done for a file that is being thrown away.
        }
        if (!m_tempPath.empty())
            ::unlink(m_tempPath.c_str());
    }
    if (m_lock >= 0)
        ::close(m_lock);
}

void CSafeSave::Commit() {
    if (WritesInPlace()) {
        CommitInPlace();
        return;
    }
    m_file->Flush();
    m_file->Close();
    if (::rename(m_tempPath.c_str(), m_targetPath.c_str()) != 0)
        Fail(m_targetPath, "cannot put the new file in place", errno);
    m_committed = true;
    // The rename itself reaches the disk with the directory.
    const int directory = ::open(DirectoryOf(m_targetPath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory >= 0) {
        ::fsync(directory);
        ::close(directory);
    }
}

void CSafeSave::CommitInPlace() {
    const CString& bytes = static_cast<const MemoryFile&>(*m_file).Bytes();
    const int descriptor = ::open(m_targetPath.c_str(), O_WRONLY | O_CLOEXEC);
    if (descriptor < 0)
        Fail(m_targetPath, "cannot write the file", errno);
    // Another copy of the program writing the same file in place waits for this one.
    LockBlocking(descriptor);
    auto failClosing = [&](const char* step, int error) {
        ::close(descriptor);
        Fail(m_targetPath, step, error);
    };
    // Room for the whole text is taken before any old byte is overwritten, so a full disk changes nothing.
    const int reserved = ::posix_fallocate(descriptor, 0, static_cast<off_t>(bytes.size()));
    if (reserved != 0 && reserved != EOPNOTSUPP && reserved != EINVAL)
        failClosing("no room for the new content", reserved);
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t put =
            ::pwrite(descriptor, bytes.data() + written, bytes.size() - written, static_cast<off_t>(written));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            failClosing("cannot write the new content", put < 0 ? errno : ENOSPC);
        written += static_cast<size_t>(put);
    }
    if (::ftruncate(descriptor, static_cast<off_t>(bytes.size())) != 0)
        failClosing("cannot cut the file to its new length", errno);
    if (::fsync(descriptor) != 0 && errno != EINVAL && errno != EROFS)
        failClosing("cannot write the new content to disk", errno);
    if (::close(descriptor) != 0 && errno != EINTR)
        Fail(m_targetPath, "cannot write the file", errno);
    m_committed = true;
}
