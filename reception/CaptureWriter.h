#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <thread>

// Writes a capture to its file on a thread of its own, so that the reception thread that hands the bytes
// over never waits for the disk. What it is handed goes out with the writer's next wake-up, at once, with
// no buffering of its own: bytes that reached the writer survive the end of the process, kill -9 included.
// The backlog between the two threads is bounded; bytes that do not fit, and everything after a failure,
// are counted as unwritten and the capture fails with the reason, so the file is always an exact prefix
// of what was handed over.
//
// A regular file is held with an exclusive advisory lock for as long as it is written: two captures, of two
// windows or of two running programs, never share a file.
class CCaptureWriter {
public:
    static constexpr std::size_t kDefaultBacklogBytes = 32u * 1024 * 1024;

    struct Options {
        std::string path;            // the first file
        bool append = false;         // an existing first file is added to, else emptied first
        bool numberWhenHeld = false; // a first file another capture holds gives way to a numbered name
        std::uint64_t rollBytes = 0; // a file that reaches this size is followed by a new one; 0: never
        // The name of the next file at a roll, before numbering; a taken name is numbered -1, -2, ...
        std::function<std::string()> nextPath;
        std::size_t backlogBytes = kDefaultBacklogBytes;
        // Called once, on the writer's thread, when the capture fails; it must not wait for anything.
        std::function<void()> onFailure;
    };

    struct Status {
        std::string path;            // the file being written (the last one, once stopped)
        std::uint64_t written = 0;   // bytes written to all the files
        std::uint64_t fileBytes = 0; // bytes in the present file
        std::uint64_t unwritten = 0; // bytes handed over that could not be written
        std::uint64_t waiting = 0;   // bytes handed over still to be written
        unsigned files = 0;          // files started
        bool failed = false;
        std::string reason; // why it failed
    };

    // Opens the first file on the calling thread and starts the writer; null, with the reason, when the
    // file cannot be written.
    static std::unique_ptr<CCaptureWriter> Start(Options options, std::string& reason);
    // Finishes, as Finish does.
    ~CCaptureWriter();
    CCaptureWriter(const CCaptureWriter&) = delete;
    CCaptureWriter& operator=(const CCaptureWriter&) = delete;

    // Hands bytes over; waits for nothing but the backlog's lock.
    void Push(std::string_view bytes);
    Status GetStatus() const;
    // Writes out the backlog, ends the writer's thread and closes the file; returns the last status.
    Status Finish();

private:
    CCaptureWriter(Options options, int fd, std::string path);
    void Run();
    // Writes a batch, splitting it at the roll size; false after a failure.
    bool WriteBatch(const std::string& batch);
    bool WriteAll(const char* data, std::size_t size);
    // Closes the full file and opens the next one; false with the reason when none can be opened.
    bool Roll(std::string& failure);
    // Notices a file that was removed, replaced or made read-only since it was opened.
    bool FileStillWritable();
    // Fails the capture: the batch in flight and the backlog are counted as unwritten.
    void Fail(const std::string& reason);

    const Options m_options;
    int m_fd;
    dev_t m_device = 0;
    ino_t m_inode = 0;

    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    std::string m_pending;
    std::size_t m_inFlight = 0; // bytes of the batch being written that are not written yet
    bool m_stopping = false;
    bool m_failed = false;
    Status m_status;
    std::function<void()> m_notify;

    std::thread m_thread;
};
