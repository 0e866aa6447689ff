#include "support/Ser2Net.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr const char* kSer2Net = "/usr/sbin/ser2net";

// Whether something listens on the port, as the kernel's socket table says. (Connecting to find out would
// make ser2net open the device and take bytes meant for the test; binding would also fail for the
// connections of a stopped server still in their closing wait.)
bool Listening(unsigned port) {
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line); // the heading
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        const std::size_t colon = local.find(':');
        if (colon == std::string::npos || state != "0A")
            continue;
        if (std::stoul(local.substr(colon + 1), nullptr, 16) == port)
            return true;
    }
    return false;
}

} // namespace

unsigned Ser2Net::FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

std::string LinkTarget(const std::string& link) {
    char target[256];
    const ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
    return length > 0 ? std::string(target, static_cast<std::size_t>(length)) : std::string();
}

Ser2Net::Ser2Net(const std::string& device)
    : m_device(device), m_rfc2217Port(FreePort()), m_rawPort(FreePort()) {
    while (m_rawPort == m_rfc2217Port)
        m_rawPort = FreePort();
    std::ofstream config(m_dir.path() + "/ser2net.yaml");
    config << "connection: &remote2217\n"
           << "  accepter: telnet(rfc2217),tcp,127.0.0.1," << m_rfc2217Port << "\n"
           << "  connector: serialdev," << m_device << ",9600n81,local\n"
           << "connection: &remoteraw\n"
           << "  accepter: tcp,127.0.0.1," << m_rawPort << "\n"
           << "  connector: serialdev," << m_device << ",9600n81,local\n";
}

Ser2Net::~Ser2Net() {
    Stop();
}

bool Ser2Net::Start(std::string& why) {
    if (m_pid > 0)
        return true;
    if (access(kSer2Net, X_OK) != 0) {
        why = std::string(kSer2Net) + " is missing: install the ser2net package (scripts/install-deps.sh)";
        return false;
    }
    const std::string config = m_dir.path() + "/ser2net.yaml";
    const std::string log = m_dir.path() + "/ser2net.log";
    m_pid = fork();
    if (m_pid == 0) {
        const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (out >= 0) {
            dup2(out, STDOUT_FILENO);
            dup2(out, STDERR_FILENO);
        }
        execl(kSer2Net, kSer2Net, "-n", "-d", "-c", config.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (Listening(m_rfc2217Port) && Listening(m_rawPort))
            return true;
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            why = "ser2net ended at start; see " + log;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    why = "ser2net did not listen within 10 s; see " + log;
    return false;
}

void Ser2Net::Stop() {
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGTERM);
    int status = 0;
    waitpid(m_pid, &status, 0);
    m_pid = -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while ((Listening(m_rfc2217Port) || Listening(m_rawPort)) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}
