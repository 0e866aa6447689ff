// The paced device of the end-to-end benchmark: a pseudo-terminal registered as COMn in a port folder,
// written at a steady rate once a reader opens it. It measures the reader from outside while the stream
// runs: the CPU time of the reader process (and of the display server) from the first byte to shortly after
// the last, and the reader's peak resident size. The stream's tail is kept in a file so that the caller can
// compare it byte for byte with what the window shows.
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    std::string directory;
    unsigned port = 1;
    std::string kind = "lines"; // lines, raw or idle
    std::uint64_t rate = 0;
    double seconds = 20;
    std::string tailFile;
    std::string pidFile;
    long displayPid = 0;
    int settleMs = 1000;
    int openTimeoutMs = 30000;
    std::uint64_t tailBytes = 2u << 20;
};

const char kUsage[] =
    "usage: kestrune-bench-writer --dir DIR --port N --kind lines|raw|idle --rate BYTES_PER_S\n"
    "       --seconds S --pid-file FILE [--tail FILE] [--display-pid PID] [--settle-ms MS]\n"
    "       [--open-timeout-ms MS]\n";

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const char* value = argv[i + 1];
        if (name == "--dir")
            options.directory = value;
        else if (name == "--port")
            options.port = static_cast<unsigned>(std::strtoul(value, nullptr, 10));
        else if (name == "--kind")
            options.kind = value;
        else if (name == "--rate")
            options.rate = std::strtoull(value, nullptr, 10);
        else if (name == "--seconds")
            options.seconds = std::strtod(value, nullptr);
        else if (name == "--tail")
            options.tailFile = value;
        else if (name == "--pid-file")
            options.pidFile = value;
        else if (name == "--display-pid")
            options.displayPid = std::strtol(value, nullptr, 10);
        else if (name == "--settle-ms")
            options.settleMs = std::atoi(value);
        else if (name == "--open-timeout-ms")
            options.openTimeoutMs = std::atoi(value);
        else
            return false;
    }
    return argc % 2 == 1 && !options.directory.empty() && !options.pidFile.empty() &&
           (options.kind == "lines" || options.kind == "raw" || options.kind == "idle");
}

// Endless streams that are easy to tell apart at any offset: numbered 64-byte lines ending in CR LF, or the
// same numbers and symbols with no line end at all.
class Pattern {
public:
    explicit Pattern(bool lineEnds) : m_lineEnds(lineEnds) {}

    void Append(std::string& out, std::size_t count) {
        while (count > 0) {
            if (m_pending.empty())
                m_pending = NextRecord();
            const std::size_t take = std::min(count, m_pending.size() - m_at);
            out.append(m_pending, m_at, take);
            m_at += take;
            count -= take;
            if (m_at == m_pending.size()) {
                m_pending.clear();
                m_at = 0;
            }
        }
    }

private:
    std::string NextRecord() {
        char number[16];
        std::snprintf(number, sizeof number, "%08llu ", static_cast<unsigned long long>(m_number++));
        std::string record = number;
        const char* symbols = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-+";
        const std::size_t body = m_lineEnds ? 53 : 55;
        for (std::size_t i = 0; i < body; ++i)
            record += symbols[(m_number + i) % 64];
        record += m_lineEnds ? "\r\n" : "|";
        return record;
    }

    bool m_lineEnds;
    std::uint64_t m_number = 0;
    std::string m_pending;
    std::size_t m_at = 0;
};

// User plus system time of a process in clock ticks, or -1 when it cannot be read.
long long CpuTicks(long pid) {
    if (pid <= 0)
        return -1;
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    long long utime = 0, stime = 0;
    // After the command name: state is field 3, utime field 14, stime field 15.
    for (int index = 3; index <= 15 && fields >> field; ++index) {
        if (index == 14)
            utime = std::atoll(field.c_str());
        else if (index == 15)
            stime = std::atoll(field.c_str());
    }
    return utime + stime;
}

// A field of /proc/PID/status in kB (VmHWM, VmRSS), or -1.
long long StatusKb(long pid, const char* key) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(file, line))
        if (line.rfind(key, 0) == 0)
            return std::atoll(line.c_str() + std::strlen(key) + 1);
    return -1;
}

long ReadPid(const std::string& path) {
    std::ifstream file(path);
    long pid = 0;
    file >> pid;
    return pid;
}

// The master reports a hang-up while no one holds the terminal end open.
bool ReaderPresent(int master) {
    pollfd entry{master, POLLOUT, 0};
    return poll(&entry, 1, 0) >= 0 && (entry.revents & POLLHUP) == 0;
}

int OpenTerminal(const Options& options, std::string& linkPath) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 || !ptsname(master))
        return -1;
    const std::string terminalPath = ptsname(master);
    // Opened once to make it raw, then closed, so that the master sees when the reader opens it.
    const int terminal = open(terminalPath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios settings{};
    if (terminal < 0 || tcgetattr(terminal, &settings) != 0)
        return -1;
    cfmakeraw(&settings);
    tcsetattr(terminal, TCSANOW, &settings);
    close(terminal);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    linkPath = options.directory + "/COM" + std::to_string(options.port);
    unlink(linkPath.c_str());
    if (symlink(terminalPath.c_str(), linkPath.c_str()) != 0)
        return -1;
    return master;
}

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Writes the stream at the rate, in small steps so that the reader sees a steady flow; returns the bytes
// written. A reader that does not keep up makes the writer fall behind its schedule, never lose bytes.
std::uint64_t Stream(int master, const Options& options, std::string& sent, double& elapsed) {
    Pattern pattern(options.kind == "lines");
    const auto total = static_cast<std::uint64_t>(static_cast<double>(options.rate) * options.seconds);
    const auto start = Clock::now();
    std::uint64_t written = 0;
    std::string pending;
    while (written < total) {
        const double now = Since(start);
        const auto due = std::min(total, static_cast<std::uint64_t>(now * static_cast<double>(options.rate)));
        if (pending.empty() && due > written) {
            pattern.Append(pending, static_cast<std::size_t>(std::min<std::uint64_t>(due - written, 65536)));
        }
        while (!pending.empty()) {
            const ssize_t count = write(master, pending.data(), pending.size());
            if (count > 0) {
                sent.append(pending, 0, static_cast<std::size_t>(count));
                if (sent.size() > 2 * options.tailBytes)
                    sent.erase(0, sent.size() - options.tailBytes);
                pending.erase(0, static_cast<std::size_t>(count));
                written += static_cast<std::uint64_t>(count);
                continue;
            }
            if (count < 0 && errno != EAGAIN && errno != EINTR)
                return written;
            pollfd entry{master, POLLOUT, 0};
            poll(&entry, 1, 5);
            if (entry.revents & POLLHUP)
                return written;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    elapsed = Since(start);
    return written;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::string linkPath;
    const int master = OpenTerminal(options, linkPath);
    if (master < 0) {
        std::fprintf(stderr, "kestrune-bench-writer: cannot set up the terminal: %s\n", std::strerror(errno));
        return 1;
    }
    std::printf("ready %s\n", linkPath.c_str());
    std::fflush(stdout);

    const auto waitStart = Clock::now();
    while (!ReaderPresent(master)) {
        if (Since(waitStart) * 1000 > options.openTimeoutMs) {
            std::printf("error reader-never-opened\n");
            unlink(linkPath.c_str());
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const long pid = ReadPid(options.pidFile);
    const long long cpuStart = CpuTicks(pid);
    const long long displayStart = CpuTicks(options.displayPid);
    const auto start = Clock::now();

    std::string sent;
    double elapsed = options.seconds;
    std::uint64_t written = 0;
    if (options.kind == "idle")
        std::this_thread::sleep_for(std::chrono::duration<double>(options.seconds));
    else
        written = Stream(master, options, sent, elapsed);
    std::this_thread::sleep_for(std::chrono::milliseconds(options.settleMs));

    const double measured = Since(start);
    const long long cpu = CpuTicks(pid) - cpuStart;
    const long long display = options.displayPid > 0 ? CpuTicks(options.displayPid) - displayStart : 0;
    const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
    std::printf(
        "result bytes=%llu elapsed=%.3f window=%.3f cpu=%.3f display_cpu=%.3f hwm_kb=%lld rss_kb=%lld\n",
        static_cast<unsigned long long>(written), elapsed, measured, static_cast<double>(cpu) / tick,
        static_cast<double>(display) / tick, StatusKb(pid, "VmHWM:"), StatusKb(pid, "VmRSS:"));
    std::fflush(stdout);

    if (!options.tailFile.empty()) {
        const std::size_t keep = std::min<std::size_t>(sent.size(), options.tailBytes);
        std::ofstream tail(options.tailFile, std::ios::binary);
        tail.write(sent.data() + (sent.size() - keep), static_cast<std::streamsize>(keep));
    }
    // Stay registered and open until told to end, so the reader sees no hang-up before its snapshot.
    pause();
    unlink(linkPath.c_str());
    return 0;
}
