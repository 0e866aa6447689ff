#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

// A named pipe standing in for a stalled disk: its reader is open from the start but takes nothing until
// released, so a writer to it blocks once the pipe's buffer (64 KB) is full. Released, the reader takes
// everything until the writer closes.
class StalledPipe {
public:
    explicit StalledPipe(std::string path);
    // Releases the reader and waits for its end.
    ~StalledPipe();
    StalledPipe(const StalledPipe&) = delete;
    StalledPipe& operator=(const StalledPipe&) = delete;

    const std::string& path() const { return m_path; }
    // Releases the reader after `delay`, or earlier when Release is called: a test of something that must
    // not wait for the pipe fails instead of hanging when it does wait.
    void ReleaseAfter(std::chrono::milliseconds delay);
    void Release();
    // Closes the reader without reading: the writer's next write fails (EPIPE). Only before a release.
    void CloseReader();
    // Whether the reader has begun to read.
    bool Released() const;
    // Waits until the writer has closed the pipe (at most 30 s without a byte); what the reader took.
    std::string Drained();

private:
    void Read(std::chrono::milliseconds delay);

    std::string m_path;
    int m_fd = -1;
    std::thread m_reader;
    mutable std::mutex m_lock;
    std::condition_variable m_releaseNow;
    bool m_released = false;
    bool m_reading = false;
    std::string m_read;
};
