#include "reception/Capture.h"
#include "reception/CaptureFinisher.h"

#include "support/StalledPipe.h"
#include "support/TempDir.h"

#include "CaptureBytes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>

using namespace std::chrono_literals;

namespace {

// Feeds a capture more than its pipe holds: its writer cannot finish before the pipe's reader takes some.
std::string FeedMoreThanThePipeHolds(CCapture& capture, std::size_t size) {
    const std::string sent = Numbered(0, size);
    for (std::size_t at = 0; at < sent.size(); at += 7000)
        capture.Feed(CaptureContent::Raw, std::string_view(sent).substr(at, 7000));
    return sent;
}

} // namespace

// A stop while the disk stalls returns at once, and a new capture may start at once; the stopped one
// writes everything it was handed, in order, once the disk goes on, and only then makes its report.
TEST(CaptureStop, AStopWhileTheDiskStallsReturnsAtOnceAndTheRestFollows) {
    TempDir dir;
    StalledPipe pipe(dir.file("stalled"));
    CCaptureFinisher finisher;
    CCapture capture(finisher);
    std::string reason;
    ASSERT_TRUE(capture.Start(To(pipe.path()), CaptureContent::Raw, reason)) << reason;
    const std::string sent = FeedMoreThanThePipeHolds(capture, 300000);

    // Should the stop wait for the disk, the pipe is released after a while and the stop fails slow.
    pipe.ReleaseAfter(3s);
    std::promise<CCaptureWriter::Status> reported;
    std::atomic<bool> releasedBeforeReport{false};
    const auto before = std::chrono::steady_clock::now();
    ASSERT_TRUE(capture.Stop([&](const CCaptureWriter::Status& status) {
        releasedBeforeReport = pipe.Released();
        reported.set_value(status);
    }));
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
    EXPECT_FALSE(capture.IsRunning());
    // Bytes fed after the stop go to the next capture, never to the one finishing.
    capture.Feed(CaptureContent::Raw, "after the stop");
    ASSERT_TRUE(capture.Start(To(dir.file("next.log")), CaptureContent::Raw, reason)) << reason;
    capture.Feed(CaptureContent::Raw, "next");
    std::future<CCaptureWriter::Status> report = reported.get_future();
    EXPECT_EQ(report.wait_for(200ms), std::future_status::timeout);
    EXPECT_EQ(finisher.Finishing(), 1u);

    pipe.Release();
    const std::string drained = pipe.Drained();
    ASSERT_EQ(report.wait_for(10s), std::future_status::ready);
    const CCaptureWriter::Status status = report.get();
    EXPECT_TRUE(releasedBeforeReport.load());
    EXPECT_TRUE(drained == sent) << drained.size() << " of " << sent.size();
    EXPECT_EQ(status.written, sent.size());
    EXPECT_EQ(status.unwritten, 0u);
    EXPECT_EQ(status.waiting, 0u);
    EXPECT_TRUE(finisher.AwaitAll(1s).empty());
    EXPECT_TRUE(capture.Stop(nullptr));
    EXPECT_TRUE(finisher.AwaitAll(10s).empty());
    EXPECT_EQ(ReadWholeFile(dir.file("next.log")), "next");
}

// The end of the program waits for captures finishing: one that finishes within the time is reported and
// complete; one stalled beyond it is given up with what it has not written, and never reported later.
TEST(CaptureStop, TheEndWaitsABoundedTimeAndTellsWhatWasNotWritten) {
    TempDir dir;
    CCaptureFinisher finisher;
    StalledPipe slow(dir.file("slow"));
    StalledPipe stalled(dir.file("stalled"));
    CCapture goesOn(finisher);
    CCapture hangs(finisher);
    std::string reason;
    ASSERT_TRUE(goesOn.Start(To(slow.path()), CaptureContent::Raw, reason)) << reason;
    ASSERT_TRUE(hangs.Start(To(stalled.path()), CaptureContent::Raw, reason)) << reason;
    const std::string sent = FeedMoreThanThePipeHolds(goesOn, 200000);
    FeedMoreThanThePipeHolds(hangs, 150000);
    std::atomic<int> slowReports{0};
    std::atomic<int> stalledReports{0};
    ASSERT_TRUE(goesOn.Stop([&](const CCaptureWriter::Status&) { ++slowReports; }));
    ASSERT_TRUE(hangs.Stop([&](const CCaptureWriter::Status&) { ++stalledReports; }));

    slow.ReleaseAfter(300ms);
    const auto before = std::chrono::steady_clock::now();
    const std::vector<CCaptureWriter::Status> left = finisher.AwaitAll(1500ms);
    const auto waited = std::chrono::steady_clock::now() - before;
    EXPECT_GE(waited, 1400ms);
    EXPECT_LT(waited, 3s);
    EXPECT_EQ(slowReports.load(), 1);
    EXPECT_TRUE(slow.Drained() == sent);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].path, stalled.path());
    EXPECT_EQ(left[0].written + left[0].waiting, 150000u);
    EXPECT_GT(left[0].waiting, 0u);
    EXPECT_EQ(finisher.Finishing(), 0u);

    // The disk that comes back later still gets the bytes, but the given-up capture reports nothing.
    EXPECT_EQ(stalled.Drained().size(), 150000u);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(stalledReports.load(), 0);
}

// A pipe whose reader goes away while the capture finishes fails the capture (and only the capture), with
// the bytes that could not be written counted.
TEST(CaptureStop, APipeWhoseReaderGoesAwayFailsTheCaptureNotTheProgram) {
    TempDir dir;
    StalledPipe pipe(dir.file("gone"));
    CCaptureFinisher finisher;
    CCapture capture(finisher);
    std::string reason;
    ASSERT_TRUE(capture.Start(To(pipe.path()), CaptureContent::Raw, reason)) << reason;
    FeedMoreThanThePipeHolds(capture, 200000);
    std::promise<CCaptureWriter::Status> reported;
    ASSERT_TRUE(capture.Stop([&](const CCaptureWriter::Status& status) { reported.set_value(status); }));
    pipe.CloseReader();
    std::future<CCaptureWriter::Status> report = reported.get_future();
    ASSERT_EQ(report.wait_for(10s), std::future_status::ready);
    const CCaptureWriter::Status status = report.get();
    EXPECT_TRUE(status.failed);
    EXPECT_NE(status.reason.find("Broken pipe"), std::string::npos) << status.reason;
    EXPECT_EQ(status.written + status.unwritten, 200000u);
    EXPECT_GT(status.unwritten, 0u);
}
