// A capture survives the program's sudden end: the test runs the capturing window in a child process (this
// test program again, running only the child's test), feeds it at 1 MB/s and kills it with SIGKILL.
#include "reception/CommThread.h"

#include "support/SimDevice.h"
#include "support/TempDir.h"
#include "tools/kestrune-sim/Streams.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

using namespace std::chrono_literals;

namespace {

constexpr const char* kChildDirVariable = "KESTRUNE_CAPTURE_CHILD_DIR";
constexpr const char* kChildPortVariable = "KESTRUNE_CAPTURE_CHILD_PORT";

// The child's count of received bytes, published by renaming a whole file into place.
std::uint64_t PublishedCount(const std::string& dir) {
    std::ifstream in(dir + "/received");
    std::uint64_t count = 0;
    in >> count;
    return count;
}

} // namespace

// Only ever run as the child of the test below: captures the port raw and publishes what it received.
TEST(CaptureKillChild, CapturesAndPublishesUntilKilled) {
    const char* dir = std::getenv(kChildDirVariable);
    const char* port = std::getenv(kChildPortVariable);
    if (dir == nullptr || port == nullptr)
        GTEST_SKIP() << "runs only as the child of CaptureKill";
    CCommThread thread(0x76);
    TermSettingRec plain;
    plain.nbMaxiByte = 64;
    thread.SetTermSetting(plain);
    thread.SetParameters(9600, port);
    CCaptureWriter::Options options;
    options.path = std::string(dir) + "/capture.log";
    std::string reason;
    ASSERT_TRUE(thread.m_Capture.Start(options, CaptureContent::Raw, reason)) << reason;
    const std::string published = std::string(dir) + "/received";
    for (;;) {
        const std::uint64_t received = thread.BytesReceived();
        {
            std::ofstream out(published + ".new");
            out << received << "\n";
        }
        std::rename((published + ".new").c_str(), published.c_str());
        std::this_thread::sleep_for(10ms);
    }
}

// Everything the window had received one poll pass before a kill -9, during a 1 MB/s capture, is in the
// file, and the file is an exact prefix of the stream: nothing read is held back in the program.
TEST(CaptureKill, KillNineLosesNothingThatWasRead) {
    TempDir dir;
    SimDevice device(54, {"--pattern", "--rate", "1048576", "--count", "0", "--settle-ms", "200"});
    std::string self = "/proc/self/exe";
    std::string filter = "--gtest_filter=CaptureKillChild.*";
    char* argv[] = {&self[0], &filter[0], nullptr};
    ::setenv(kChildDirVariable, dir.path().c_str(), 1);
    ::setenv(kChildPortVariable, device.comName().c_str(), 1);
    pid_t child = -1;
    const int spawned = posix_spawn(&child, "/proc/self/exe", nullptr, nullptr, argv, environ);
    ::unsetenv(kChildDirVariable);
    ::unsetenv(kChildPortVariable);
    ASSERT_EQ(spawned, 0);

    // About two seconds of streaming, then the count the child published, then a poll pass more.
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (PublishedCount(dir.path()) < 2 * 1024 * 1024 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
    const std::uint64_t received = PublishedCount(dir.path());
    std::this_thread::sleep_for(250ms);
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

    ASSERT_GE(received, 2u * 1024 * 1024) << "the child received too little to tell";
    const std::string file = ReadWholeFile(dir.file("capture.log"));
    EXPECT_GE(file.size(), received) << "bytes received before the kill are missing from the file";
    std::string expected;
    expected.reserve(file.size());
    for (std::uint64_t i = 0; i < file.size(); ++i)
        expected += PatternByte(i);
    const auto differ = std::mismatch(file.begin(), file.end(), expected.begin());
    EXPECT_TRUE(differ.first == file.end()) << "the file departs from the stream at byte "
                                            << (differ.first - file.begin()) << " of " << file.size();
}
