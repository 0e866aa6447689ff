#pragma once

#include "reception/CaptureWriter.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <vector>

// Finishes stopped captures, each on a thread of its own: the writer writes out its backlog and closes its
// file there, so whoever stops a capture (the user interface) never waits for the disk. The file stays
// locked until its writer is done. Once done, the report is made on that thread.
//
// A writer stalled for good (a hung network share) would keep its thread for ever: the end of the program
// waits a bounded time (AwaitAll) and then gives the rest up. A given-up capture's report is never made, so
// nothing it names needs to outlive the wait; its thread keeps only its own state alive.
class CCaptureFinisher {
public:
    using Report = std::function<void(const CCaptureWriter::Status& finished)>;

    CCaptureFinisher();
    // Gives up what still finishes, as AwaitAll with no time left does.
    ~CCaptureFinisher();
    CCaptureFinisher(const CCaptureFinisher&) = delete;
    CCaptureFinisher& operator=(const CCaptureFinisher&) = delete;

    // The program's finisher, which every window's capture uses; never destroyed, as it is awaited at exit.
    static CCaptureFinisher& Program();

    // Takes the writer and returns at once; the report runs on the finishing thread when the writer is done.
    void Finish(std::unique_ptr<CCaptureWriter> writer, Report report);
    // Waits until every capture handed over is finished and reported, or the time is up; those still
    // finishing then are given up and their statuses returned (what they have written, what still waits).
    // A report already running is waited for.
    std::vector<CCaptureWriter::Status> AwaitAll(std::chrono::milliseconds limit);
    // Captures handed over and not yet finished and reported.
    std::size_t Finishing() const;

private:
    struct Capture {
        std::unique_ptr<CCaptureWriter> writer;
        Report report;
        bool reporting = false;
        bool givenUp = false;
    };
    // Outlives the finisher while a given-up thread still runs.
    struct Shared {
        mutable std::mutex lock;
        std::condition_variable changed;
        std::list<std::shared_ptr<Capture>> finishing;
    };
    static void Run(const std::shared_ptr<Shared>& shared, const std::shared_ptr<Capture>& capture);

    std::shared_ptr<Shared> m_shared;
};
