#include "support/StalledPipe.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

StalledPipe::StalledPipe(std::string path) : m_path(std::move(path)) {
    if (::mkfifo(m_path.c_str(), 0600) != 0)
        throw std::runtime_error("mkfifo " + m_path);
    // Opened without waiting for a writer, so that the writer's own open finds a reader.
    m_fd = ::open(m_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0)
        throw std::runtime_error("open " + m_path);
}

StalledPipe::~StalledPipe() {
    if (m_fd >= 0)
        Release();
    if (m_reader.joinable())
        m_reader.join();
    if (m_fd >= 0)
        ::close(m_fd);
}

void StalledPipe::ReleaseAfter(std::chrono::milliseconds delay) {
    if (!m_reader.joinable())
        m_reader = std::thread(&StalledPipe::Read, this, delay);
}

void StalledPipe::Release() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_released = true;
    }
    m_releaseNow.notify_all();
    ReleaseAfter(std::chrono::milliseconds(0));
}

void StalledPipe::CloseReader() {
    if (m_reader.joinable() || m_fd < 0)
        throw std::logic_error("the reader of " + m_path + " is released already");
    ::close(m_fd);
    m_fd = -1;
}

bool StalledPipe::Released() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_reading;
}

std::string StalledPipe::Drained() {
    Release();
    m_reader.join();
    std::lock_guard<std::mutex> guard(m_lock);
    return m_read;
}

void StalledPipe::Read(std::chrono::milliseconds delay) {
    {
        std::unique_lock<std::mutex> guard(m_lock);
        m_releaseNow.wait_for(guard, delay, [this] { return m_released; });
        m_reading = true;
    }
    char block[65536];
    int quiet = 0;
    while (quiet < 300) {
        pollfd waiting{m_fd, POLLIN, 0};
        if (::poll(&waiting, 1, 100) <= 0) {
            ++quiet;
            continue;
        }
        const ssize_t got = ::read(m_fd, block, sizeof block);
        if (got == 0)
            break; // the writer closed
        if (got < 0) {
            if (errno == EAGAIN || errno == EINTR)
                continue;
            break;
        }
        quiet = 0;
        std::lock_guard<std::mutex> guard(m_lock);
        m_read.append(block, static_cast<std::size_t>(got));
    }
}
