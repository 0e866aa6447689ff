#include "reception/CaptureWriter.h"

#include "framework/core/ThreadName.h"
#include "reception/CaptureNames.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// How often a file that receives nothing is looked at again (removed, replaced, made read-only).
constexpr auto kFileCheckPeriod = std::chrono::seconds(1);
// Numbered names tried before a roll or a held first file gives up.
constexpr unsigned kMostNumberedNames = 10000;

std::string SystemReason(int error) {
    char text[256];
    // The GNU strerror_r returns the text, which may or may not be the buffer.
    return strerror_r(error, text, sizeof text);
}

enum class OpenOutcome { Opened, Held, Exists, Failed };

// Opens a file for a capture and takes its lock. A fresh file must not exist yet.
OpenOutcome OpenCaptureFile(const std::string& path, bool fresh, int& fd, std::string& reason) {
    // Opened without waiting: a pipe that no program reads would otherwise hold the opening thread (the
    // user interface's) until one does, for ever if none comes. The writes wait as usual.
    int flags = O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    if (fresh)
        flags |= O_EXCL;
    fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0) {
        const int error = errno;
        reason = path + ": " + (error == ENXIO ? "no program reads this pipe" : SystemReason(error));
        return error == EEXIST ? OpenOutcome::Exists : OpenOutcome::Failed;
    }
    if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        reason = path + ": " + SystemReason(errno);
        ::close(fd);
        fd = -1;
        return OpenOutcome::Failed;
    }
    // Only a regular file is held: a device or a pipe named as the file (/dev/null, /dev/full, a FIFO) is
    // one object for the whole machine, which any number of captures may write to.
    struct stat info {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (regular && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        fd = -1;
        if (error == EWOULDBLOCK) {
            reason = path + ": another capture writes this file";
            return OpenOutcome::Held;
        }
        reason = path + ": " + SystemReason(error);
        return OpenOutcome::Failed;
    }
    return OpenOutcome::Opened;
}

} // namespace

std::unique_ptr<CCaptureWriter> CCaptureWriter::Start(Options options, std::string& reason) {
    int fd = -1;
    std::string path;
    const unsigned tries = options.numberWhenHeld ? kMostNumberedNames : 1;
    for (unsigned n = 0; n < tries; ++n) {
        path = NumberedName(options.path, n);
        const OpenOutcome outcome = OpenCaptureFile(path, false, fd, reason);
        if (outcome == OpenOutcome::Opened)
            break;
        if (outcome != OpenOutcome::Held)
            return nullptr;
    }
    if (fd < 0)
        return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        reason = path + ": " + SystemReason(errno);
        ::close(fd);
        return nullptr;
    }
    // Emptied only now that the lock is ours: a file another capture holds is never cut.
    if (!options.append && S_ISREG(info.st_mode) && info.st_size != 0) {
        if (::ftruncate(fd, 0) != 0) {
            reason = path + ": " + SystemReason(errno);
            ::close(fd);
            return nullptr;
        }
        info.st_size = 0;
    }
    std::unique_ptr<CCaptureWriter> writer(new CCaptureWriter(std::move(options), fd, path));
    writer->m_device = info.st_dev;
    writer->m_inode = info.st_ino;
    writer->m_status.fileBytes = S_ISREG(info.st_mode) ? static_cast<std::uint64_t>(info.st_size) : 0;
    writer->m_thread = std::thread(&CCaptureWriter::Run, writer.get());
    return writer;
}

CCaptureWriter::CCaptureWriter(Options options, int fd, std::string path)
    : m_options(std::move(options)), m_fd(fd) {
    m_status.path = std::move(path);
    m_status.files = 1;
    m_notify = m_options.onFailure;
}

CCaptureWriter::~CCaptureWriter() {
    Finish();
}

CCaptureWriter::Status CCaptureWriter::Finish() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    return GetStatus();
}

void CCaptureWriter::Push(std::string_view bytes) {
    if (bytes.empty())
        return;
    std::function<void()> notify;
    bool wake = false;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_failed) {
            m_status.unwritten += bytes.size();
            return;
        }
        if (m_pending.size() + m_inFlight + bytes.size() > m_options.backlogBytes) {
            // What waits is still written, so the file stays an exact prefix of what was handed over.
            m_failed = true;
            m_status.failed = true;
            m_status.reason = "the disk did not keep up, the backlog of " +
                              std::to_string(m_options.backlogBytes / (1024 * 1024)) + " MB is full";
            m_status.unwritten += bytes.size();
            notify = std::exchange(m_notify, nullptr);
        } else {
            // A backlog that was not empty has its wake-up on the way already.
            wake = m_pending.empty();
            m_pending.append(bytes.data(), bytes.size());
        }
    }
    if (notify)
        notify();
    else if (wake)
        m_wake.notify_one();
}

CCaptureWriter::Status CCaptureWriter::GetStatus() const {
    std::lock_guard<std::mutex> guard(m_lock);
    Status status = m_status;
    status.waiting = m_pending.size() + m_inFlight;
    return status;
}

void CCaptureWriter::Run() {
    NameCurrentThread("capture");
    // A pipe named as the file whose reader went away fails the write (EPIPE) and with it the capture; the
    // signal, sent to this thread, would otherwise end the program.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
    std::unique_lock<std::mutex> guard(m_lock);
    // Two buffers take turns: the one just written goes back to the backlog emptied, with its room, so a
    // steady stream allocates nothing.
    std::string batch;
    bool broken = false;
    // The file's name is looked at once a period, not at every batch: two path lookups per poll pass were
    // a good part of what a capture cost.
    auto nextCheck = std::chrono::steady_clock::now() + kFileCheckPeriod;
    while (!broken) {
        m_wake.wait_for(guard, kFileCheckPeriod, [this] { return !m_pending.empty() || m_stopping; });
        if (m_pending.empty() && m_stopping)
            break;
        batch.clear();
        batch.swap(m_pending);
        m_inFlight = batch.size();
        guard.unlock();
        broken = !WriteBatch(batch);
        const auto now = std::chrono::steady_clock::now();
        if (!broken && now >= nextCheck) {
            broken = !FileStillWritable();
            nextCheck = now + kFileCheckPeriod;
        }
        guard.lock();
        m_inFlight = 0;
    }
}

bool CCaptureWriter::WriteBatch(const std::string& batch) {
    std::size_t done = 0;
    while (done < batch.size()) {
        std::size_t part = batch.size() - done;
        if (m_options.rollBytes != 0) {
            std::uint64_t fileBytes;
            {
                std::lock_guard<std::mutex> guard(m_lock);
                fileBytes = m_status.fileBytes;
            }
            if (fileBytes >= m_options.rollBytes) {
                std::string reason;
                if (!Roll(reason)) {
                    Fail(reason);
                    return false;
                }
                continue;
            }
            part = static_cast<std::size_t>(std::min<std::uint64_t>(part, m_options.rollBytes - fileBytes));
        }
        if (!WriteAll(batch.data() + done, part))
            return false;
        done += part;
    }
    return true;
}

bool CCaptureWriter::WriteAll(const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t wrote = ::write(m_fd, data + done, size - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0) {
            const int error = wrote < 0 ? errno : ENOSPC;
            std::string path;
            {
                std::lock_guard<std::mutex> guard(m_lock);
                path = m_status.path;
            }
            Fail(path + ": " + SystemReason(error));
            return false;
        }
        done += static_cast<std::size_t>(wrote);
        std::lock_guard<std::mutex> guard(m_lock);
        m_inFlight -= static_cast<std::size_t>(wrote);
        m_status.written += static_cast<std::uint64_t>(wrote);
        m_status.fileBytes += static_cast<std::uint64_t>(wrote);
    }
    return true;
}

bool CCaptureWriter::Roll(std::string& failure) {
    std::string base = m_options.nextPath ? m_options.nextPath() : m_options.path;
    if (base.empty())
        base = m_options.path;
    for (unsigned n = 0; n < kMostNumberedNames; ++n) {
        const std::string path = NumberedName(base, n);
        int fd = -1;
        std::string reason;
        const OpenOutcome outcome = OpenCaptureFile(path, true, fd, reason);
        if (outcome == OpenOutcome::Exists || outcome == OpenOutcome::Held)
            continue;
        if (outcome == OpenOutcome::Failed) {
            failure = reason;
            return false;
        }
        std::lock_guard<std::mutex> guard(m_lock);
        struct stat info {};
        ::fstat(fd, &info);
        ::close(m_fd);
        m_fd = fd;
        m_device = info.st_dev;
        m_inode = info.st_ino;
        m_status.path = path;
        m_status.fileBytes = 0;
        ++m_status.files;
        return true;
    }
    failure = base + ": every numbered name is taken";
    return false;
}

bool CCaptureWriter::FileStillWritable() {
    std::string path;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        path = m_status.path;
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        Fail(path + ": the file was removed");
        return false;
    }
    if (info.st_dev != m_device || info.st_ino != m_inode) {
        Fail(path + ": the file was replaced by another");
        return false;
    }
    if (::access(path.c_str(), W_OK) != 0) {
        Fail(path + ": the file was made read-only");
        return false;
    }
    return true;
}

void CCaptureWriter::Fail(const std::string& reason) {
    std::function<void()> notify;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        // The whole batch in flight is lost with the file, not only the part being written when it failed.
        m_status.unwritten += m_inFlight + m_pending.size();
        m_inFlight = 0;
        m_pending.clear();
        if (!m_failed || m_status.reason.empty())
            m_status.reason = reason;
        m_failed = true;
        m_status.failed = true;
        notify = std::exchange(m_notify, nullptr);
    }
    if (notify)
        notify();
}
