#include "framework/core/ThreadName.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace {

// The calling thread's name as the system's tools read it.
std::string NameShownBySystem() {
    std::ifstream comm("/proc/self/task/" + std::to_string(::syscall(SYS_gettid)) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

std::string NameTakenBy(const char* name) {
    std::string shown;
    std::thread([&] {
        NameCurrentThread(name);
        shown = NameShownBySystem();
    }).join();
    return shown;
}

} // namespace

// A short name is shown as it is; a long one is cut at the kernel's 15 bytes rather than refused, which
// would leave the thread under the program's name.
TEST(ThreadName, IsShownAndCutAtFifteenBytes) {
    EXPECT_EQ(NameTakenBy("capture"), "capture");
    EXPECT_EQ(NameTakenBy("a-name-longer-than-the-kernel-keeps"), "a-name-longer-t");
}
