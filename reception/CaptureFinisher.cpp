#include "reception/CaptureFinisher.h"

#include "framework/core/ThreadName.h"

#include <algorithm>
#include <thread>
#include <utility>

CCaptureFinisher::CCaptureFinisher() : m_shared(std::make_shared<Shared>()) {}

CCaptureFinisher::~CCaptureFinisher() {
    AwaitAll(std::chrono::milliseconds(0));
}

CCaptureFinisher& CCaptureFinisher::Program() {
    // Never destroyed: a writer given up at exit may still run its thread while the program's statics go.
    static CCaptureFinisher* const finisher = new CCaptureFinisher;
    return *finisher;
}

void CCaptureFinisher::Finish(std::unique_ptr<CCaptureWriter> writer, Report report) {
    if (!writer)
        return;
    auto capture = std::make_shared<Capture>();
    capture->writer = std::move(writer);
    capture->report = std::move(report);
    {
        std::lock_guard<std::mutex> guard(m_shared->lock);
        m_shared->finishing.push_back(capture);
    }
    // Detached: a writer stalled for good must not hold up the end of the program that gave it up.
    std::thread(&CCaptureFinisher::Run, m_shared, capture).detach();
}

void CCaptureFinisher::Run(const std::shared_ptr<Shared>& shared, const std::shared_ptr<Capture>& capture) {
    NameCurrentThread("capture-finish");
    const CCaptureWriter::Status finished = capture->writer->Finish();
    {
        std::lock_guard<std::mutex> guard(shared->lock);
        if (capture->givenUp)
            return;
        capture->reporting = true;
    }
    if (capture->report)
        capture->report(finished);
    {
        std::lock_guard<std::mutex> guard(shared->lock);
        shared->finishing.remove(capture);
    }
    shared->changed.notify_all();
}

std::vector<CCaptureWriter::Status> CCaptureFinisher::AwaitAll(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> guard(m_shared->lock);
    m_shared->changed.wait_for(guard, limit, [this] { return m_shared->finishing.empty(); });
    std::vector<CCaptureWriter::Status> givenUp;
    for (auto it = m_shared->finishing.begin(); it != m_shared->finishing.end();) {
        Capture& capture = **it;
        if (capture.reporting) {
            ++it;
            continue;
        }
        capture.givenUp = true;
        // The writer's own lock only: its status is read while its thread may be stuck in a write.
        givenUp.push_back(capture.writer->GetStatus());
        it = m_shared->finishing.erase(it);
    }
    // A report under way names things its caller is about to let go: it is seen to its end.
    m_shared->changed.wait(guard, [this] { return m_shared->finishing.empty(); });
    return givenUp;
}

std::size_t CCaptureFinisher::Finishing() const {
    std::lock_guard<std::mutex> guard(m_shared->lock);
    return m_shared->finishing.size();
}
