// A simulated device for the soak run: numbered 64-byte CR LF lines at a steady rate (or in bursts) into a
// pseudo-terminal registered as COMn in a port folder. It starts writing only once a reader has opened the
// terminal and had a moment to set it up, so nothing it sends goes to a port nobody reads.
//   SIGUSR1  unplug: finish the line in hand, stay quiet long enough for the reader to take what is queued,
//            then close the terminal and remove the link ("unplugged LAST" on standard output)
//   SIGUSR2  replug: a new terminal under the same name; writing goes on once the reader is back
//            ("replugged NEXT" when the first line after it goes out)
//   SIGTERM  "total BYTES LINES" and exit
// With --lines-per-plug N it writes N lines after each plug, says "sent LAST" and goes quiet.
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

volatile std::sig_atomic_t gUnplug = 0;
volatile std::sig_atomic_t gReplug = 0;
volatile std::sig_atomic_t gStop = 0;

void OnSignal(int number) {
    if (number == SIGUSR1)
        gUnplug = 1;
    else if (number == SIGUSR2)
        gReplug = 1;
    else
        gStop = 1;
}

struct Options {
    std::string directory;
    unsigned port = 7;
    double rate = 100000;
    std::uint64_t firstLine = 0;
    std::uint64_t maxLines = 0; // 0: endless
    int burstMs = 0;            // 0: a steady flow
    int quietMs = 300;
    std::uint64_t linesPerPlug = 0; // 0: no limit; else that many lines after each plug, then quiet
};

std::string Line(std::uint64_t number) {
    char text[80];
    std::snprintf(text, sizeof text, "%08llu ", static_cast<unsigned long long>(number % 100000000ull));
    std::string line = text;
    for (std::size_t i = 0; i < 53; ++i)
        line += static_cast<char>('!' + (number + i) % 90);
    return line + "\r\n";
}

class Terminal {
public:
    bool Plug(const Options& options) {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0 || !ptsname(m_master))
            return false;
        const std::string path = ptsname(m_master);
        const int terminal = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios settings{};
        if (terminal < 0 || tcgetattr(terminal, &settings) != 0)
            return false;
        cfmakeraw(&settings);
        tcsetattr(terminal, TCSANOW, &settings);
        close(terminal);
        fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
        m_link = options.directory + "/COM" + std::to_string(options.port);
        unlink(m_link.c_str());
        return symlink(path.c_str(), m_link.c_str()) == 0;
    }
    void Unplug() {
        unlink(m_link.c_str());
        if (m_master >= 0)
            close(m_master);
        m_master = -1;
    }
    // The master reports a hang-up while no one holds the terminal end open.
    bool ReaderPresent() const {
        pollfd entry{m_master, POLLOUT, 0};
        return m_master >= 0 && poll(&entry, 1, 0) >= 0 && (entry.revents & POLLHUP) == 0;
    }
    int Master() const { return m_master; }

private:
    int m_master = -1;
    std::string m_link;
};

bool Parse(int argc, char** argv, Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const char* value = argv[i + 1];
        if (name == "--dir")
            options.directory = value;
        else if (name == "--port")
            options.port = static_cast<unsigned>(std::atoi(value));
        else if (name == "--rate")
            options.rate = std::atof(value);
        else if (name == "--first-line")
            options.firstLine = std::strtoull(value, nullptr, 10);
        else if (name == "--lines")
            options.maxLines = std::strtoull(value, nullptr, 10);
        else if (name == "--burst-ms")
            options.burstMs = std::atoi(value);
        else if (name == "--lines-per-plug")
            options.linesPerPlug = std::strtoull(value, nullptr, 10);
        else if (name == "--quiet-ms")
            options.quietMs = std::atoi(value);
        else
            return false;
    }
    return argc % 2 == 1 && !options.directory.empty() && options.rate > 0;
}

void Say(const char* format, unsigned long long value) {
    std::printf(format, value);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!Parse(argc, argv, options)) {
        std::fputs(
            "usage: soak-device --dir DIR [--port N] [--rate BYTES_PER_S] [--first-line K] [--lines N]\n"
            "       [--burst-ms MS] [--quiet-ms MS] [--lines-per-plug N]\n",
            stderr);
        return 2;
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (int number : {SIGUSR1, SIGUSR2, SIGTERM, SIGINT})
        sigaction(number, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    Terminal terminal;
    if (!terminal.Plug(options)) {
        std::perror("soak-device");
        return 1;
    }
    Say("ready %llu\n", options.port);

    std::uint64_t next = options.firstLine;
    std::uint64_t bytes = 0;
    std::string pending;
    bool plugged = true;
    bool announceReplug = false;
    Clock::time_point since{}; // when the reader was last seen arriving
    bool reader = false;
    double credit = 0; // bytes the schedule allows now
    auto last = Clock::now();
    const std::uint64_t end = options.maxLines ? options.firstLine + options.maxLines : UINT64_MAX;
    std::uint64_t plugEnd = options.linesPerPlug ? next + options.linesPerPlug : UINT64_MAX;

    while (!gStop) {
        const auto now = Clock::now();
        if (gUnplug && plugged && pending.empty()) {
            gUnplug = 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(options.quietMs));
            terminal.Unplug();
            plugged = false;
            reader = false;
            Say("unplugged %llu\n", next - 1);
            continue;
        }
        if (gReplug && !plugged) {
            gReplug = 0;
            if (!terminal.Plug(options)) {
                std::perror("soak-device");
                return 1;
            }
            plugged = true;
            announceReplug = true;
            if (options.linesPerPlug)
                plugEnd = next + options.linesPerPlug;
        }
        if (plugged && !reader && terminal.ReaderPresent()) {
            reader = true;
            since = now;
            credit = 0;
        }
        const bool writing = plugged && reader && now - since > std::chrono::milliseconds(options.quietMs) &&
                             !(gUnplug && pending.empty());
        const double step = std::chrono::duration<double>(now - last).count();
        last = now;
        if (writing) {
            credit = std::min(credit + step * options.rate, options.rate); // at most a second of backlog
            const bool burstDue = options.burstMs == 0 || credit >= options.rate * options.burstMs / 1000.0;
            // Once an unplug is asked, only the lines in hand go out: a reader slower than the rate would
            // otherwise keep the device from ever going quiet.
            while (!gUnplug && burstDue && pending.size() < 65536 && credit >= 64 && next < end && next < plugEnd) {
                if (announceReplug) {
                    Say("replugged %llu\n", next);
                    announceReplug = false;
                }
                pending += Line(next++);
                credit -= 64;
            }
            while (!pending.empty()) {
                const ssize_t count = write(terminal.Master(), pending.data(), pending.size());
                if (count <= 0)
                    break;
                pending.erase(0, static_cast<std::size_t>(count));
                bytes += static_cast<std::uint64_t>(count);
                if (pending.empty() && next == plugEnd)
                    Say("sent %llu\n", next - 1);
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    std::printf("total %llu %llu\n", static_cast<unsigned long long>(bytes),
                static_cast<unsigned long long>(next - options.firstLine));
    std::fflush(stdout);
    terminal.Unplug();
    return 0;
}
