// kestrune-sim: a simulated serial device for trying Kestrune without hardware, and for its tests and
// benchmarks. It opens a pseudo-terminal, registers it as a COM name in Kestrune's port directory and
// prints a stream into it.
#include "SimulatedPort.h"
#include "Streams.h"
#include "comm/PortDirectory.h"

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
    "Usage: kestrune-sim [--port N] [--dir DIR] [MODE]\n"
    "\n"
    "A simulated serial device: opens a pseudo-terminal, registers it as COMn in Kestrune's port\n"
    "directory (a symbolic link to the terminal) and writes a stream into it. The link is removed on exit.\n"
    "\n"
    "  --port N       the COM number to register (default 9, giving COM9)\n"
    "  --dir DIR      the port directory (default $KESTRUNE_PORTS, else $XDG_CONFIG_HOME/kestrune/ports,\n"
    "                 else ~/.config/kestrune/ports; created when missing)\n"
    "\n"
    "Modes (one of):\n"
    "  --demo                      a sensor printing CR LF lines three times per second (the default);\n"
    "                              lines nobody can take are dropped, as a real device loses them\n"
    "  --file PATH --rate R [--loop]\n"
    "                              the bytes of PATH at R bytes per second, once or again and again\n"
    "  --pattern --rate R --count N\n"
    "                              N bytes (0: endless) of a checkable pattern at R bytes per second:\n"
    "                              64-byte lines of an 8-digit line number, a space, 53 symbols, CR LF\n"
    "  A rate of 0 writes as fast as the terminal takes the bytes. While the device is plugged in, bytes\n"
    "  of the file and the pattern are never dropped: the simulator waits for the reader instead (and\n"
    "  falls behind the rate). An unplug loses the bytes not yet written, as a real device loses them.\n"
    "  After the last byte the device stays registered, silent, until it is stopped.\n"
    "\n"
    "Signals:\n"
    "  SIGUSR1        unplug: remove the link and close the pseudo-terminal (a reader sees a hang-up)\n"
    "  SIGUSR2        replug: a new pseudo-terminal under the same COM name; the stream goes on\n"
    "  SIGINT, SIGTERM, SIGHUP\n"
    "                 remove the link and exit\n"
    "\n"
    "On standard output it prints one line each time the port is registered:\n"
    "COMn -> /dev/pts/k: pseudo terminal (simulator).\n";

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
        } else if (option == "--demo" || option == "--pattern") {
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
        return std::make_unique<PatternStream>(options.count);
    return std::make_unique<DemoStream>();
}

bool Register(SimulatedPort& port, unsigned number) {
    std::string error;
    if (!port.Plug(error)) {
        std::fprintf(stderr, "kestrune-sim: %s\n", error.c_str());
        return false;
    }
    std::printf("COM%u -> %s: %s\n", number, port.TerminalPath().c_str(), kSimulatedPortDescription);
    std::fflush(stdout);
    return true;
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

    SimulatedPort port(options.directory, options.port);
    if (!Register(port, options.port))
        return 1;

    using Clock = std::chrono::steady_clock;
    // Pacing counts from the last plug, so a replugged device does not rush out what it "missed".
    Clock::time_point pluggedAt = Clock::now();
    std::uint64_t sentSincePlug = 0;
    std::string pending;
    bool reportedDone = false;

    while (!gStop) {
        if (gUnplug) {
            gUnplug = 0;
            port.Unplug();
            pending.clear();
        }
        if (gReplug) {
            gReplug = 0;
            if (!port.Plugged() && !Register(port, options.port))
                return 1;
            pluggedAt = Clock::now();
            sentSincePlug = 0;
        }
        if (!port.Plugged()) {
            poll(nullptr, 0, 50);
            continue;
        }

        const auto elapsedMs = static_cast<std::uint64_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - pluggedAt).count());
        if (pending.empty() && !stream->Finished()) {
            std::uint64_t allowance = 65536;
            if (options.rate > 0) {
                const std::uint64_t due = options.rate * elapsedMs / 1000;
                allowance = due > sentSincePlug ? std::min<std::uint64_t>(due - sentSincePlug, 65536) : 0;
            }
            if (allowance > 0)
                stream->Produce(pending, allowance, elapsedMs);
        }
        if (stream->Finished() && pending.empty() && !reportedDone) {
            reportedDone = true;
            std::fprintf(stderr, "kestrune-sim: stream finished; staying registered until stopped\n");
        }

        if (!pending.empty()) {
            const ssize_t written = write(port.Master(), pending.data(), pending.size());
            if (written > 0) {
                pending.erase(0, static_cast<std::size_t>(written));
                sentSincePlug += static_cast<std::uint64_t>(written);
            } else if (written < 0 && errno == EAGAIN && stream->MayDrop()) {
                pending.clear();
            }
        }

        // Whatever the terminal end sends is read and forgotten, so the device never stalls on it.
        pollfd master{port.Master(), POLLIN, 0};
        if (!pending.empty())
            master.events |= POLLOUT;
        if (poll(&master, 1, pending.empty() ? 10 : 5) > 0 && (master.revents & POLLIN)) {
            char ignored[512];
            while (read(port.Master(), ignored, sizeof ignored) > 0) {
            }
        }
    }
    port.Unplug();
    return 0;
}
