#include "SimulatedPort.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Creates every missing folder of the path.
bool MakeFolders(const std::string& path) {
    std::string partial;
    std::size_t at = 0;
    while (at != std::string::npos) {
        at = path.find('/', at + 1);
        partial = path.substr(0, at);
        if (!partial.empty() && mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

std::string Describe(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

} // namespace

SimulatedPort::SimulatedPort(std::string directory, unsigned number, bool watchReader)
    : m_directory(std::move(directory)), m_linkPath(m_directory + "/COM" + std::to_string(number)),
      m_watchReader(watchReader) {}

SimulatedPort::~SimulatedPort() {
    Unplug();
}

bool SimulatedPort::Plug(std::string& error) {
    if (Plugged())
        return true;
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) {
        error = Describe("cannot open a pseudo-terminal");
        return false;
    }
    if (grantpt(master) != 0 || unlockpt(master) != 0 || !ptsname(master)) {
        error = Describe("cannot unlock the pseudo-terminal");
        close(master);
        return false;
    }
    m_terminalPath = ptsname(master);
    const int terminal = open(m_terminalPath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios settings{};
    if (terminal < 0 || tcgetattr(terminal, &settings) != 0) {
        error = Describe("cannot open the terminal end");
        if (terminal >= 0)
            close(terminal);
        close(master);
        return false;
    }
    cfmakeraw(&settings);
    tcsetattr(terminal, TCSANOW, &settings);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

    if (!MakeFolders(m_directory)) {
        error = Describe(("cannot create the port directory " + m_directory).c_str());
        close(terminal);
        close(master);
        return false;
    }
    struct stat existing {};
    if (lstat(m_linkPath.c_str(), &existing) == 0 && S_ISLNK(existing.st_mode))
        unlink(m_linkPath.c_str()); // left behind by a simulator that was killed
    if (symlink(m_terminalPath.c_str(), m_linkPath.c_str()) != 0) {
        error = Describe(("cannot create " + m_linkPath).c_str());
        close(terminal);
        close(master);
        return false;
    }
    m_master = master;
    m_terminal = terminal;
    if (m_watchReader) {
        close(m_terminal);
        m_terminal = -1;
    }
    return true;
}

bool SimulatedPort::ReaderPresent() const {
    // The device end reports a hang-up while no one holds the terminal end open.
    pollfd entry{m_master, POLLOUT, 0};
    return m_watchReader && Plugged() && poll(&entry, 1, 0) >= 0 && (entry.revents & POLLHUP) == 0;
}

void SimulatedPort::Unplug() {
    if (!Plugged())
        return;
    unlink(m_linkPath.c_str());
    if (m_terminal >= 0)
        close(m_terminal);
    close(m_master);
    m_terminal = -1;
    m_master = -1;
}
