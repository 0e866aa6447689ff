#include "reception/CaptureWriter.h"

#include "support/StalledPipe.h"
#include "support/TempDir.h"

#include "CaptureBytes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <future>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

} // namespace

// Bytes handed over from one thread in many pieces end up in the file in order, and are written out
// without waiting for the capture to stop.
TEST(CaptureWriter, WritesEveryPieceInOrderAtOnce) {
    TempDir dir;
    std::string reason;
    auto writer = CCaptureWriter::Start(To(dir.file("c.log")), reason);
    ASSERT_TRUE(writer) << reason;
    std::string sent;
    for (std::size_t piece = 0; piece < 300; ++piece) {
        const std::string bytes = Numbered(sent.size(), 1 + piece * 37 % 4000);
        writer->Push(bytes);
        sent += bytes;
    }
    ASSERT_TRUE(WaitUntil([&] { return ReadWholeFile(dir.file("c.log")).size() == sent.size(); }));
    const CCaptureWriter::Status status = writer->Finish();
    EXPECT_EQ(ReadWholeFile(dir.file("c.log")), sent);
    EXPECT_EQ(status.written, sent.size());
    EXPECT_EQ(status.unwritten, 0u);
    EXPECT_FALSE(status.failed);
}

TEST(CaptureWriter, AppendKeepsAnExistingFileAndReplaceEmptiesIt) {
    TempDir dir;
    const std::string path = dir.file("c.log");
    WriteWholeFile(path, "before|");
    std::string reason;
    CCaptureWriter::Options options = To(path);
    options.append = true;
    auto appending = CCaptureWriter::Start(options, reason);
    ASSERT_TRUE(appending) << reason;
    EXPECT_EQ(appending->GetStatus().fileBytes, 7u);
    appending->Push("after");
    appending->Finish();
    EXPECT_EQ(ReadWholeFile(path), "before|after");

    auto replacing = CCaptureWriter::Start(To(path), reason);
    ASSERT_TRUE(replacing) << reason;
    replacing->Push("new");
    replacing->Finish();
    EXPECT_EQ(ReadWholeFile(path), "new");
}

// Two captures never share a file: the second is refused without touching the first one's file, or,
// when asked to, takes the next numbered name.
TEST(CaptureWriter, AFileAnotherCaptureHoldsIsRefusedOrNumbered) {
    TempDir dir;
    const std::string path = dir.file("c.log");
    std::string reason;
    auto first = CCaptureWriter::Start(To(path), reason);
    ASSERT_TRUE(first);
    first->Push("first");
    ASSERT_TRUE(WaitUntil([&] { return ReadWholeFile(path) == "first"; }));

    EXPECT_FALSE(CCaptureWriter::Start(To(path), reason));
    EXPECT_NE(reason.find("another capture"), std::string::npos) << reason;
    EXPECT_EQ(ReadWholeFile(path), "first");

    CCaptureWriter::Options numbered = To(path);
    numbered.numberWhenHeld = true;
    auto second = CCaptureWriter::Start(numbered, reason);
    ASSERT_TRUE(second) << reason;
    EXPECT_EQ(second->GetStatus().path, dir.file("c-1.log"));
    second->Push("second");
    second->Finish();
    first->Finish();
    EXPECT_EQ(ReadWholeFile(path), "first");
    EXPECT_EQ(ReadWholeFile(dir.file("c-1.log")), "second");
}

TEST(CaptureWriter, AFolderThatCannotBeWrittenRefusesTheStartWithTheReason) {
    TempDir dir;
    std::string reason;
    EXPECT_FALSE(CCaptureWriter::Start(To(dir.file("missing/c.log")), reason));
    EXPECT_NE(reason.find("No such file or directory"), std::string::npos) << reason;
    EXPECT_FALSE(CCaptureWriter::Start(To(dir.path()), reason));
    EXPECT_NE(reason.find(dir.path()), std::string::npos) << reason;
    if (::geteuid() != 0) {
        ::chmod(dir.path().c_str(), 0500);
        EXPECT_FALSE(CCaptureWriter::Start(To(dir.file("c.log")), reason));
        EXPECT_NE(reason.find("Permission denied"), std::string::npos) << reason;
        ::chmod(dir.path().c_str(), 0700);
    }
}

// A full disk (the name leads to /dev/full, where every write fails with ENOSPC): the capture fails
// once, says why, and counts every byte it was handed and could not write.
TEST(CaptureWriter, AFullDiskFailsTheCaptureAndCountsWhatWasNotWritten) {
    TempDir dir;
    const std::string path = dir.file("c.log");
    ASSERT_EQ(::symlink("/dev/full", path.c_str()), 0);
    std::atomic<int> failures{0};
    CCaptureWriter::Options options = To(path);
    options.onFailure = [&] { ++failures; };
    std::string reason;
    auto writer = CCaptureWriter::Start(options, reason);
    ASSERT_TRUE(writer) << reason;
    writer->Push(std::string(1000, 'a'));
    ASSERT_TRUE(WaitUntil([&] { return writer->GetStatus().failed; }));
    writer->Push(std::string(500, 'b'));
    const CCaptureWriter::Status status = writer->Finish();
    EXPECT_EQ(failures.load(), 1);
    EXPECT_NE(status.reason.find("No space left on device"), std::string::npos) << status.reason;
    EXPECT_EQ(status.written, 0u);
    EXPECT_EQ(status.unwritten, 1500u);
}

TEST(CaptureWriter, AFileRemovedOrMadeReadOnlyWhileCapturingFailsTheCapture) {
    TempDir dir;
    std::string reason;
    {
        auto writer = CCaptureWriter::Start(To(dir.file("removed.log")), reason);
        ASSERT_TRUE(writer);
        ::unlink(dir.file("removed.log").c_str());
        ASSERT_TRUE(WaitUntil([&] { return writer->GetStatus().failed; }));
        writer->Push("late");
        const CCaptureWriter::Status status = writer->Finish();
        EXPECT_NE(status.reason.find("removed"), std::string::npos) << status.reason;
        EXPECT_EQ(status.unwritten, 4u);
    }
    if (::geteuid() != 0) {
        auto writer = CCaptureWriter::Start(To(dir.file("ro.log")), reason);
        ASSERT_TRUE(writer);
        writer->Push("kept");
        ASSERT_TRUE(WaitUntil([&] { return ReadWholeFile(dir.file("ro.log")) == "kept"; }));
        ::chmod(dir.file("ro.log").c_str(), 0444);
        ASSERT_TRUE(WaitUntil([&] { return writer->GetStatus().failed; }));
        const CCaptureWriter::Status status = writer->Finish();
        EXPECT_NE(status.reason.find("read-only"), std::string::npos) << status.reason;
        EXPECT_EQ(ReadWholeFile(dir.file("ro.log")), "kept");
    }
}

// At the roll size a new file starts under the next name; a name already taken is numbered, so files
// rolled within one second, and files left by an earlier run, are all kept. The files joined in order
// are the stream, and each but the last holds exactly the roll size.
TEST(CaptureWriter, RollsAtTheSizeIntoNumberedNamesLosingNothing) {
    TempDir dir;
    WriteWholeFile(dir.file("r-2.log"), "earlier run");
    CCaptureWriter::Options options = To(dir.file("r.log"));
    options.rollBytes = 1000;
    options.nextPath = [&] { return dir.file("r.log"); };
    std::string reason;
    auto writer = CCaptureWriter::Start(options, reason);
    ASSERT_TRUE(writer) << reason;
    const std::string sent = Numbered(0, 3500);
    for (std::size_t at = 0; at < sent.size(); at += 700)
        writer->Push(std::string_view(sent).substr(at, 700));
    const CCaptureWriter::Status status = writer->Finish();
    EXPECT_EQ(status.files, 4u);
    EXPECT_EQ(status.path, dir.file("r-4.log"));
    EXPECT_EQ(ReadWholeFile(dir.file("r-2.log")), "earlier run");
    const std::string parts[] = {ReadWholeFile(dir.file("r.log")), ReadWholeFile(dir.file("r-1.log")),
                                 ReadWholeFile(dir.file("r-3.log")), ReadWholeFile(dir.file("r-4.log"))};
    EXPECT_EQ(parts[0].size(), 1000u);
    EXPECT_EQ(parts[1].size(), 1000u);
    EXPECT_EQ(parts[2].size(), 1000u);
    EXPECT_EQ(parts[0] + parts[1] + parts[2] + parts[3], sent);
}

// A disk that does not keep up: once the backlog is full the capture fails, what was already in the
// backlog is still written (the file stays an exact prefix), and the rest is counted.
TEST(CaptureWriter, AFullBacklogFailsTheCaptureAndKeepsTheFileAPrefix) {
    TempDir dir;
    // A reader that takes nothing until told: the writer's first write blocks as on a stalled disk.
    StalledPipe pipe(dir.file("slow"));
    CCaptureWriter::Options options = To(pipe.path());
    options.backlogBytes = 200000;
    std::atomic<int> failures{0};
    options.onFailure = [&] { ++failures; };
    std::string reason;
    auto writer = CCaptureWriter::Start(options, reason);
    ASSERT_TRUE(writer) << reason;
    const std::string sent = Numbered(0, 500000);
    const auto before = std::chrono::steady_clock::now();
    for (std::size_t at = 0; at < sent.size(); at += 10000)
        writer->Push(std::string_view(sent).substr(at, 10000));
    // Handing over never waited for the stalled reader.
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);
    EXPECT_EQ(failures.load(), 1);
    const CCaptureWriter::Status failed = writer->GetStatus();
    EXPECT_TRUE(failed.failed);
    EXPECT_NE(failed.reason.find("backlog"), std::string::npos) << failed.reason;
    pipe.Release();
    const CCaptureWriter::Status status = writer->Finish();
    const std::string drained = pipe.Drained();
    EXPECT_EQ(status.written + status.unwritten, sent.size());
    EXPECT_EQ(drained, sent.substr(0, status.written));
    EXPECT_GT(status.unwritten, 0u);
}

// A failure in the middle of a batch split at the roll size loses the whole rest of the batch, and counts
// all of it.
TEST(CaptureWriter, AFailureWithinARollCountsTheWholeBatchAsUnwritten) {
    TempDir dir;
    const std::string path = dir.file("full.log");
    ASSERT_EQ(::symlink("/dev/full", path.c_str()), 0);
    CCaptureWriter::Options options = To(path);
    options.rollBytes = 1000;
    std::string reason;
    auto writer = CCaptureWriter::Start(options, reason);
    ASSERT_TRUE(writer) << reason;
    writer->Push(Numbered(0, 5000));
    const CCaptureWriter::Status status = writer->Finish();
    EXPECT_TRUE(status.failed);
    EXPECT_EQ(status.written, 0u);
    EXPECT_EQ(status.unwritten, 5000u);
}

// A pipe that no program reads is refused at the start, with the reason, instead of holding the thread
// that starts the capture until a reader comes.
TEST(CaptureWriter, APipeWithoutAReaderIsRefusedWithoutWaiting) {
    TempDir dir;
    const std::string fifo = dir.file("unread");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::promise<bool> started;
    std::future<bool> outcome = started.get_future();
    std::string reason;
    std::thread starter([&] { started.set_value(CCaptureWriter::Start(To(fifo), reason) != nullptr); });
    if (outcome.wait_for(3s) != std::future_status::ready) {
        // Gives the stuck open its reader, so that the test ends.
        ::close(::open(fifo.c_str(), O_RDONLY | O_NONBLOCK));
        starter.join();
        FAIL() << "the start waited for a reader";
    }
    starter.join();
    EXPECT_FALSE(outcome.get());
    EXPECT_NE(reason.find("no program reads this pipe"), std::string::npos) << reason;
}

// A device named as the file is no file two captures could share: several may write to it at once.
TEST(CaptureWriter, ADeviceNamedAsTheFileIsNotHeld) {
    std::string reason;
    auto first = CCaptureWriter::Start(To("/dev/null"), reason);
    ASSERT_TRUE(first) << reason;
    auto second = CCaptureWriter::Start(To("/dev/null"), reason);
    EXPECT_TRUE(second) << reason;
}
