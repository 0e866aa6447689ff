// kestrune-monitor: prints on the terminal what a serial port receives, through the program's own port
// class, polling it as the reception thread does. A quick check of a device (or of kestrune-sim) without
// the window system.
#include "comm/PortDirectory.h"
#include "comm/comm.h"
#include "framework/serial/PortTable.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

volatile std::sig_atomic_t gStop = 0;

void OnSignal(int) {
    gStop = 1;
}

void Sleep(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

} // namespace

int main(int argc, char** argv) {
    const std::string name = argc > 1 ? argv[1] : "COM9";
    if (name == "--help" || name == "-h") {
        std::puts(
            "Usage: kestrune-monitor [PORT [BAUD]]\n"
            "Opens PORT (a COM name of the port table, or a device path; default COM9) at BAUD bits per\n"
            "second (default 9600) and copies what it receives to standard output, until interrupted.\n"
            "When the device goes away it waits for it to come back.");
        return 0;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    SetPortDirectory(KestrunePortDirectory());

    TCommPort port;
    port.SetCommPort(name);
    if (argc > 2)
        port.SetBaudRate(static_cast<DWORD>(std::stoul(argv[2])));
    std::vector<BYTE> buffer(32768);
    bool waitingReported = false;
    while (!gStop) {
        if (!port.m_CommOpen) {
            try {
                port.OpenCommPort();
                std::string description;
                port.GetCommDescription(description);
                std::fprintf(stderr, "kestrune-monitor: %s\n", description.c_str());
                waitingReported = false;
            } catch (const ECommError& error) {
                if (!waitingReported)
                    std::fprintf(stderr,
                                 "kestrune-monitor: cannot open %s (error kind %d, code %u); retrying\n",
                                 name.c_str(), static_cast<int>(error.m_ErrorType),
                                 static_cast<unsigned>(error.m_LastError));
                waitingReported = true;
                Sleep(500);
                continue;
            }
        }
        try {
            const DWORD waiting = port.BytesAvailable();
            if (waiting > 0) {
                const LONG read =
                    port.ReadBytes(buffer.data(), waiting < buffer.size() ? waiting : buffer.size());
                std::fwrite(buffer.data(), 1, static_cast<std::size_t>(read), stdout);
                std::fflush(stdout);
            }
        } catch (const ECommError& error) {
            std::fprintf(stderr, "\nkestrune-monitor: %s lost (error kind %d); %u bytes dropped; waiting\n",
                         name.c_str(), static_cast<int>(error.m_ErrorType),
                         static_cast<unsigned>(port.GetDroppedBytes()));
            try {
                port.CloseCommPort();
            } catch (const ECommError&) {
            }
            waitingReported = true;
        }
        Sleep(100);
    }
    return 0;
}
