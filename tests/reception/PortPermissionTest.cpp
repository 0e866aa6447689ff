// A port whose device node belongs to a group the user is not in: opening it is refused, and the window's
// message and the log say which node, its group and how to join it. The check runs as an ordinary user; a
// test run as root makes the node itself and drops to an unprivileged account in a child process.
#include "app/main.h"
#include "comm/comm.h"
#include "framework/core/MessageBox.h"
#include "framework/serial/DeviceAccess.h"
#include "log/LogLevel.h"
#include "reception/CommThread.h"
#include "settings/Preference.h"
#include "support/PresentedBoxes.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <grp.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr HWND kWindow = 0x81;
constexpr int kSkipped = 77;
constexpr uid_t kNobody = 65534;
const char kNodeVariable[] = "KESTRUNE_TEST_REFUSED_NODE";

// The group a serial device has on Debian, or the first group the user is not in.
gid_t ForeignGroup(std::string& name) {
    if (const group* dialout = getgrnam("dialout"); dialout != nullptr) {
        name = dialout->gr_name;
        return dialout->gr_gid;
    }
    name = "sys";
    return 3;
}

// What an unprivileged user sees: FindDeviceAccessProblem on the node, then a terminal window's connect.
// Returns a failure text, empty when everything held.
std::string CheckRefusal(const std::string& node, const std::string& group, const std::string& logPath) {
    DeviceAccessProblem problem;
    if (!FindDeviceAccessProblem(node, problem))
        return "no access problem found for " + node;
    if (problem.group != group || problem.fix != "sudo usermod -aG " + group + " $USER")
        return "wrong group or fix: " + problem.group + " / " + problem.fix;

    PresentedBoxes presented;
    CPreference& preferences = *gMainApp.m_PrefApp;
    preferences.m_available |= PREF_LOG_FILE;
    preferences.m_logFilePath = logPath;
    preferences.m_logArchiveFilePath.clear();
    preferences.m_logLevel = LEVELONE;
    gMainApp.m_logEnable = gMainApp.SetLogFile();
    {
        CCommThread thread(kWindow);
        thread.SetParameters(9600, node);
        if (thread.IsPortOpen())
            return "the port opened";
    }
    const std::vector<CString> boxes = presented.Texts();
    const std::string expected = "Permission denied on " + node + " (group " + group +
                                 "). To use serial ports, join the group: sudo usermod -aG " + group +
                                 " $USER, then log out and log in again.";
    if (boxes.size() != 1 || boxes[0] != expected)
        return "message: " + (boxes.empty() ? std::string("none") : boxes[0]);
    const std::string log = ReadWholeFile(logPath);
    for (const std::string& record :
         {"Permission denied: " + node + ", group " + group, "Fix: sudo usermod -aG " + group + " $USER"}) {
        if (log.find(record) == std::string::npos)
            return "log lacks \"" + record + "\":\n" + log;
    }
    return std::string();
}

TEST(PortPermission, RefusedDeviceNodeTellsItsGroupAndTheCommandThatLetsTheUserIn) {
    TempDir dir;
    std::string group;
    const gid_t gid = ForeignGroup(group);
    if (geteuid() != 0) {
        // Run by the root case below on the node it made, or on its own on a serial node of the machine
        // that refuses this user, when there is one.
        const char* given = std::getenv(kNodeVariable);
        const std::string node = given != nullptr ? given : "/dev/ttyS0";
        if (given == nullptr) {
            std::vector<gid_t> mine(64);
            const int count = std::max(getgroups(static_cast<int>(mine.size()), mine.data()), 0);
            const bool member = std::find(mine.begin(), mine.begin() + count, gid) != mine.begin() + count;
            struct stat info {};
            if (stat(node.c_str(), &info) != 0 || info.st_gid != gid || member ||
                access(node.c_str(), R_OK | W_OK) == 0)
                GTEST_SKIP() << "no device node of group " << group << " refuses this user";
        }
        const std::string failure = CheckRefusal(node, group, dir.file("Kestrune.log"));
        EXPECT_TRUE(failure.empty()) << failure;
        return;
    }
    // As root: a character node (the null device's numbers) of the serial group, readable and writable by
    // the group only, in a folder anyone may enter; then this test again, as an unprivileged user.
    chmod(dir.path().c_str(), 0777);
    const std::string node = dir.file("ttyUSB7");
    ASSERT_EQ(mknod(node.c_str(), S_IFCHR | 0660, makedev(1, 3)), 0);
    ASSERT_EQ(chown(node.c_str(), 0, gid), 0);
    ASSERT_EQ(chmod(node.c_str(), 0660), 0); // past the umask
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Only async-signal-safe calls between fork and exec: the parent may have threads.
        if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0 || geteuid() == 0)
            _exit(kSkipped);
        setenv(kNodeVariable, node.c_str(), 1);
        execl("/proc/self/exe", "port-permission", "--gtest_filter=PortPermission.RefusedDeviceNode*",
              nullptr);
        _exit(kSkipped);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == kSkipped)
        GTEST_SKIP() << "root could not run this test as an unprivileged user";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the unprivileged run failed (its output is above)";
}

TEST(PortPermission, AccessibleOrMissingDeviceIsNoPermissionProblem) {
    TempDir dir;
    DeviceAccessProblem problem;
    WriteWholeFile(dir.file("mine"), "");
    EXPECT_FALSE(FindDeviceAccessProblem(dir.file("mine"), problem));
    EXPECT_FALSE(FindDeviceAccessProblem(dir.file("absent"), problem));
    EXPECT_FALSE(FindDeviceAccessProblem("", problem));
}

} // namespace
