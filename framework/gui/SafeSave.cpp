#include "framework/gui/SafeSave.h"

#include "framework/File.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
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

} // namespace

CSafeSave::CSafeSave(const CString& path) : m_file(std::make_unique<CFile>()), m_targetPath(ResolveTarget(path)) {
    const CString directory = DirectoryOf(m_targetPath);
    CString pattern = directory + "/." + NameOf(m_targetPath) + ".saving-XXXXXX";
    const int descriptor = ::mkstemp(pattern.data());
    if (descriptor < 0)
        Fail(path, "cannot create a file beside it", errno);
    m_tempPath = pattern;
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
    ::fchmod(descriptor, mode);
    ::close(descriptor);
    CFileException error;
    if (!m_file->Open(m_tempPath.c_str(), CFile::modeCreate | CFile::modeWrite, &error)) {
        ::unlink(m_tempPath.c_str());
        throw error;
    }
}

CSafeSave::~CSafeSave() {
    if (m_committed)
        return;
    try {
        m_file->Abort();
    } catch (...) {
        // Nothing more can be done for a file that is being thrown away.
    }
    ::unlink(m_tempPath.c_str());
}

void CSafeSave::Commit() {
    m_file->Close();
    const int descriptor = ::open(m_tempPath.c_str(), O_RDONLY);
    if (descriptor < 0)
        Fail(m_targetPath, "cannot reopen the new file", errno);
    const int synced = ::fsync(descriptor);
    const int syncError = errno;
    ::close(descriptor);
    if (synced != 0)
        Fail(m_targetPath, "cannot write the new file to disk", syncError);
    if (::rename(m_tempPath.c_str(), m_targetPath.c_str()) != 0)
        Fail(m_targetPath, "cannot put the new file in place", errno);
    m_committed = true;
    // The rename itself reaches the disk with the directory.
    const int directory = ::open(DirectoryOf(m_targetPath).c_str(), O_RDONLY | O_DIRECTORY);
    if (directory >= 0) {
        ::fsync(directory);
        ::close(directory);
    }
}
