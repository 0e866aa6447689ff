// kestrune-sim: a simulated serial device for trying Kestrune without hardware, and for its tests and
// benchmarks. It opens a pseudo-terminal, registers it as a COM name in Kestrune's port directory and
// prints a stream into it.
#include "SimulatedPort.h"
#include "Streams.h"
#include "comm/PortDirectory.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <poll.h>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

const char kHelp[] =
    "Usage: kestrune-sim [--port N] [--dir DIR] [OPTIONS] [MODE]\n"
    "\n"
    "A simulated serial device: opens a pseudo-terminal, registers it as COMn in Kestrune's port\n"
    "directory (a symbolic link to the terminal) and writes a stream into it. The link is removed on exit.\n"
    "\n"
    "  --port N       the COM number to register (default 9, giving COM9)\n"
    "  --dir DIR      the port directory (default $KESTRUNE_PORTS, else $XDG_CONFIG_HOME/kestrune/ports,\n"
    "                 else ~/.config/kestrune/ports; created when missing)\n"
    "\n"
    "Modes (one of):\n"
    "  --demo                      a board's coloured UTF-8 log, three CR LF lines per second, now and\n"
    "                              then a short binary frame (the default);\n"
    "                              lines nobody can take are dropped, as a real device loses them\n"
    "  --log --rate R --count N    N bytes (0: endless) of a coloured UTF-8 log at R bytes per second:\n"
    "                              lines of 60 to 120 bytes with an escape sequence at either end\n"
    "  --file PATH --rate R [--loop]\n"
    "                              the bytes of PATH at R bytes per second, once or again and again\n"
    "  --pattern --rate R --count N [--first-line K] [--no-line-ends]\n"
    "                              N bytes (0: endless) of a checkable pattern at R bytes per second:\n"
    "                              64-byte lines of an 8-digit line number (from K on), a space, 53\n"
    "                              symbols, CR LF; without line ends each line ends in a symbol and '|'\n"
    "  A rate of 0 writes as fast as the terminal takes the bytes. While the device is plugged in, bytes\n"
    "  of the file and the pattern are never dropped: the simulator waits for the reader instead (and\n"
    "  falls behind the rate). An unplug loses the bytes not yet written, as a real device loses them.\n"
    "  After the last byte the device stays registered, silent, until it is stopped.\n"
    "\n"
    "Options for test runs:\n"
    "  --settle-ms MS  after each plug, write nothing until a reader has had the terminal open for MS\n"
    "                  milliseconds (the rate counts from then); an unplug first completes the line in\n"
    "                  hand and stays quiet MS, so that a reader has taken everything sent\n"
    "  --burst-ms MS   send what is due in bursts, one each MS milliseconds\n"
    "  --lines-per-plug N\n"
    "                  with --pattern: N lines after each plug, then quiet until the next\n"
    "  --stdout        write a file or pattern stream to standard output at once instead (registers\n"
    "                  nothing and ignores the rate): the bytes a reader of the device is sent\n"
    "\n"
    "Signals:\n"
    "  SIGUSR1        unplug: remove the link and close the pseudo-terminal (a reader sees a hang-up)\n"
    "  SIGUSR2        replug: a new pseudo-terminal under the same COM name; the stream goes on\n"
    "  SIGINT, SIGTERM, SIGHUP\n"
    "                 remove the link and exit\n"
    "\n"
    "On standard output it prints a line for each event:\n"
    "  COMn -> /dev/pts/k: pseudo terminal (simulator)   each time the port is registered\n"
    "  reader                                           with --settle-ms: a reader opened the terminal\n"
    "  sent BYTES                                       a batch of --lines-per-plug is written\n"
    "  finished BYTES SECONDS                           the stream's last byte is written, BYTES in all,\n"
    "                                                   SECONDS after the rate began to count\n"
    "  unplugged                                        the port is gone\n"
    "  total BYTES                                      at exit: the bytes written in all\n";

volatile std::sig_atomic_t gStop = 0;
volatile std::sig_atomic_t gUnplug = 0;
volatile std::sig_atomic_t gReplug = 0;

void OnSignal(int number) {
    if (number == SIGUSR1)
        gUnplug = 1;
    else if (number == SIGUSR2)
        gReplug = 1;
    else
        gStop = 1;
}

void InstallHandlers() {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no restart: a waiting poll returns at once
    for (int number : {SIGUSR1, SIGUSR2, SIGINT, SIGTERM, SIGHUP})
        sigaction(number, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

struct Options {
    unsigned port = 9;
    std::string directory = KestrunePortDirectory();
    std::string mode = "demo";
    std::string file;
    bool loop = false;
    std::uint64_t rate = 0;
    std::uint64_t count = 0;
    bool rateGiven = false;
    std::uint64_t firstLine = 0;
    bool lineEnds = true;
    int settleMs = -1; // below 0: the device writes whether or not anyone reads
    std::uint64_t burstMs = 0;
    std::uint64_t linesPerPlug = 0;
    bool toStandardOutput = false;
};

bool ParseNumber(const char* text, std::uint64_t& value) {
    if (!text || !*text)
        return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long long parsed = std::strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0' || text[0] == '-')
        return false;
    value = parsed;
    return true;
}

// Returns 0 to go on, or the exit status.
int ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        std::uint64_t number = 0;
        if (option == "--help" || option == "-h") {
            std::fputs(kHelp, stdout);
            return -1;
        } else if (option == "--port" && ParseNumber(value, number) && number >= 1 && number <= 999999) {
            options.port = static_cast<unsigned>(number);
            ++i;
        } else if (option == "--dir" && value) {
            options.directory = value;
            ++i;
        } else if (option == "--demo" || option == "--pattern" || option == "--log") {
            options.mode = option.substr(2);
        } else if (option == "--file" && value) {
            options.mode = "file";
            options.file = value;
            ++i;
        } else if (option == "--loop") {
            options.loop = true;
        } else if (option == "--rate" && ParseNumber(value, number)) {
            options.rate = number;
            options.rateGiven = true;
            ++i;
        } else if (option == "--count" && ParseNumber(value, number)) {
            options.count = number;
            ++i;
        } else if (option == "--first-line" && ParseNumber(value, number)) {
            options.firstLine = number;
            ++i;
        } else if (option == "--no-line-ends") {
            options.lineEnds = false;
        } else if (option == "--settle-ms" && ParseNumber(value, number) && number <= 3600000) {
            options.settleMs = static_cast<int>(number);
            ++i;
        } else if (option == "--burst-ms" && ParseNumber(value, number) && number <= 3600000) {
            options.burstMs = number;
            ++i;
        } else if (option == "--lines-per-plug" && ParseNumber(value, number)) {
            options.linesPerPlug = number;
            ++i;
        } else if (option == "--stdout") {
            options.toStandardOutput = true;
        } else {
            std::fprintf(stderr, "kestrune-sim: unknown or incomplete option %s (see --help)\n",
                         option.c_str());
            return 2;
        }
    }
    if (options.mode != "demo" && !options.rateGiven) {
        std::fprintf(stderr, "kestrune-sim: --%s needs --rate (see --help)\n", options.mode.c_str());
        return 2;
    }
    if (options.toStandardOutput && options.mode == "demo") {
        std::fprintf(stderr, "kestrune-sim: --stdout takes a file, a pattern or a log (see --help)\n");
        return 2;
    }
    return 0;
}

std::unique_ptr<Stream> MakeStream(const Options& options) {
    if (options.mode == "file") {
        std::ifstream in(options.file, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "kestrune-sim: cannot read %s: %s\n", options.file.c_str(),
                         std::strerror(errno));
            return nullptr;
        }
        std::ostringstream content;
        content << in.rdbuf();
        return std::make_unique<FileStream>(content.str(), options.loop);
    }
    if (options.mode == "pattern")
        return std::make_unique<PatternStream>(options.count, options.firstLine, options.lineEnds);
    if (options.mode == "log")
        return std::make_unique<LogStream>(options.count);
    return std::make_unique<DemoStream>();
}

void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

bool Register(SimulatedPort& port, unsigned number) {
    std::string error;
    if (!port.Plug(error)) {
        std::fprintf(stderr, "kestrune-sim: %s\n", error.c_str());
        return false;
    }
    Say("COM" + std::to_string(number) + " -> " + port.TerminalPath() + ": " + kSimulatedPortDescription);
    return true;
}

// Writes all of `bytes`, waiting for the terminal to take them; false when the port goes away first.
bool WriteAll(SimulatedPort& port, std::string& bytes) {
    while (!bytes.empty() && !gStop) {
        const ssize_t written = write(port.Master(), bytes.data(), bytes.size());
        if (written > 0) {
            bytes.erase(0, static_cast<std::size_t>(written));
            continue;
        }
        if (written < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        pollfd master{port.Master(), POLLOUT, 0};
        if (poll(&master, 1, 50) > 0 && (master.revents & POLLHUP))
            return false;
    }
    return bytes.empty();
}

int WriteToStandardOutput(Stream& stream) {
    std::string chunk;
    while (!stream.Finished() && !gStop) {
        chunk.clear();
        stream.Produce(chunk, 65536, 0);
        if (std::fwrite(chunk.data(), 1, chunk.size(), stdout) != chunk.size())
            return 1;
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (const int status = ParseOptions(argc, argv, options))
        return status < 0 ? 0 : status;
    std::unique_ptr<Stream> stream = MakeStream(options);
    if (!stream)
        return 1;
    InstallHandlers();
    if (options.toStandardOutput)
        return WriteToStandardOutput(*stream);

    const bool settles = options.settleMs >= 0;
    SimulatedPort port(options.directory, options.port, settles);
    if (!Register(port, options.port))
        return 1;

    using Clock = std::chrono::steady_clock;
    // Pacing counts from the last plug (with --settle-ms, from when the reader has settled), so a replugged
    // device does not rush out what it "missed".
    Clock::time_point pluggedAt = Clock::now();
    Clock::time_point readerSince{};
    bool readerSeen = false;
    bool paced = !settles;
    std::uint64_t sentSincePlug = 0;
    std::uint64_t sentInAll = 0;
    std::string pending;
    bool reportedDone = false;
    bool reportedBatch = false;
    const std::uint64_t perPlug = options.mode == "pattern" ? options.linesPerPlug * 64 : 0;
    // A burst larger than one step of output goes out in several steps, one right after the other.
    const std::uint64_t burst = std::min<std::uint64_t>(options.rate * options.burstMs / 1000, 65536);

    while (!gStop) {
        if (gUnplug) {
            if (settles && port.Plugged()) {
                // Completes the line in hand, then gives the reader time to take everything sent.
                stream->Produce(pending, stream->UntilRecordEnd(), 0);
                const std::size_t before = pending.size();
                WriteAll(port, pending);
                sentInAll += before - pending.size();
                poll(nullptr, 0, options.settleMs);
            }
            gUnplug = 0;
            if (port.Plugged()) {
                port.Unplug();
                Say("unplugged");
            }
            pending.clear();
        }
        if (gReplug) {
            gReplug = 0;
            if (!port.Plugged() && !Register(port, options.port))
                return 1;
            pluggedAt = Clock::now();
            sentSincePlug = 0;
            readerSeen = false;
            paced = !settles;
            reportedBatch = false;
        }
        if (!port.Plugged()) {
            poll(nullptr, 0, 50);
            continue;
        }
        if (!paced) {
            if (!readerSeen && port.ReaderPresent()) {
                readerSeen = true;
                readerSince = Clock::now();
                Say("reader");
            }
            if (!readerSeen || Clock::now() - readerSince < std::chrono::milliseconds(options.settleMs)) {
                poll(nullptr, 0, 2);
                continue;
            }
            paced = true;
            pluggedAt = Clock::now();
        }

        const auto elapsedMs = static_cast<std::uint64_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - pluggedAt).count());
        const bool batchDone = perPlug != 0 && sentSincePlug + pending.size() >= perPlug;
        if (pending.empty() && !stream->Finished() && !batchDone) {
            std::uint64_t allowance = 65536;
            if (options.rate > 0) {
                const std::uint64_t due = options.rate * elapsedMs / 1000;
                allowance = due > sentSincePlug ? std::min<std::uint64_t>(due - sentSincePlug, 65536) : 0;
                if (allowance < burst)
                    allowance = 0;
            }
            if (perPlug != 0)
                allowance = std::min(allowance, perPlug - sentSincePlug);
            if (allowance > 0)
                stream->Produce(pending, allowance, elapsedMs);
        }
        if (!pending.empty()) {
            const ssize_t written = write(port.Master(), pending.data(), pending.size());
            if (written > 0) {
                pending.erase(0, static_cast<std::size_t>(written));
                sentSincePlug += static_cast<std::uint64_t>(written);
                sentInAll += static_cast<std::uint64_t>(written);
            } else if (written < 0 && errno == EAGAIN && stream->MayDrop()) {
                pending.clear();
            }
        }

        if (stream->Finished() && pending.empty() && !reportedDone) {
            reportedDone = true;
            const double seconds = std::chrono::duration<double>(Clock::now() - pluggedAt).count();
            char secondsText[32];
            std::snprintf(secondsText, sizeof secondsText, "%.3f", seconds);
            Say("finished " + std::to_string(sentInAll) + " " + secondsText);
            std::fprintf(stderr, "kestrune-sim: stream finished; staying registered until stopped\n");
        }
        if (batchDone && pending.empty() && !reportedBatch) {
            reportedBatch = true;
            Say("sent " + std::to_string(sentSincePlug));
        }

        // Whatever the terminal end sends is read and forgotten, so the device never stalls on it. A paced
        // stream looks again soon, so that it goes out in small, even steps.
        pollfd master{port.Master(), POLLIN, 0};
        if (!pending.empty())
            master.events |= POLLOUT;
        const int wait = !pending.empty() ? 5 : options.rate > 0 && !stream->Finished() ? 2 : 10;
        if (poll(&master, 1, wait) > 0) {
            if (master.revents & POLLIN) {
                char ignored[512];
                while (read(port.Master(), ignored, sizeof ignored) > 0) {
                }
            }
            // Without a reader the device end reports a hang-up at once: wait all the same.
            if (master.revents & POLLHUP)
                poll(nullptr, 0, wait);
        }
    }
    port.Unplug();
    Say("total " + std::to_string(sentInAll));
    return 0;
}
