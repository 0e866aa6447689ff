#include "support/SimDevice.h"

#include <fcntl.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <spawn.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

SimDevice::SimDevice(unsigned comNumber, const std::vector<std::string>& modeArguments)
    : m_comName("COM" + std::to_string(comNumber)), m_linkPath(m_dir.file(m_comName)),
      m_portDirectory(m_dir.path()) {
    std::vector<std::string> arguments = {KESTRUNE_SIM_PATH, "--port", std::to_string(comNumber), "--dir",
                                          m_dir.path()};
    arguments.insert(arguments.end(), modeArguments.begin(), modeArguments.end());
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(&argument[0]);
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const int failed = posix_spawn(&m_pid, KESTRUNE_SIM_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0)
        throw std::runtime_error("cannot start " KESTRUNE_SIM_PATH);
    if (!waitForLink(true))
        throw std::runtime_error("the simulated device did not register " + m_comName);
}

SimDevice::~SimDevice() {
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        int status = 0;
        while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
}

bool SimDevice::waitForLink(bool present) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        struct stat info {};
        if ((lstat(m_linkPath.c_str(), &info) == 0) == present)
            return true;
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

void SimDevice::unplug() {
    kill(m_pid, SIGUSR1);
    if (!waitForLink(false))
        throw std::runtime_error("the simulated device did not unplug");
}

void SimDevice::replug() {
    kill(m_pid, SIGUSR2);
    if (!waitForLink(true))
        throw std::runtime_error("the simulated device did not replug");
}
