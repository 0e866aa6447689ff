// Kills a process with SIGKILL while it saves: waits until a file in the folder is created, written or
// renamed into it (after the given delay, so start-up is let pass), then after a random pause of up to the
// given microseconds kills the process. Prints what it saw: "killed EVENT NAME DELAY_US", or "timeout".
//   kill-on-save FOLDER PID ARM_MS MAX_DELAY_US TIMEOUT_MS SEED
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <random>
#include <string>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 7) {
        std::fputs("usage: kill-on-save FOLDER PID ARM_MS MAX_DELAY_US TIMEOUT_MS SEED\n", stderr);
        return 2;
    }
    const pid_t pid = static_cast<pid_t>(std::atol(argv[2]));
    const int armMs = std::atoi(argv[3]);
    const long maxDelay = std::atol(argv[4]);
    const int timeoutMs = std::atoi(argv[5]);
    std::mt19937 random(static_cast<unsigned>(std::atol(argv[6])));

    const int watch = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (watch < 0 || inotify_add_watch(watch, argv[1], IN_CREATE | IN_MODIFY | IN_MOVED_TO) < 0) {
        std::perror("kill-on-save");
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
                .count();
        if (elapsed > timeoutMs) {
            kill(pid, SIGKILL);
            std::puts("timeout");
            return 0;
        }
        pollfd entry{watch, POLLIN, 0};
        if (poll(&entry, 1, 50) <= 0)
            continue;
        const ssize_t length = read(watch, buffer, sizeof buffer);
        if (length <= 0 || elapsed < armMs)
            continue;
        const auto* event = reinterpret_cast<const inotify_event*>(buffer);
        const long delay =
            maxDelay > 0 ? static_cast<long>(random() % static_cast<unsigned long>(maxDelay)) : 0;
        std::this_thread::sleep_for(std::chrono::microseconds(delay));
        kill(pid, SIGKILL);
        const char* kind = (event->mask & IN_CREATE)     ? "create"
                           : (event->mask & IN_MOVED_TO) ? "rename"
                                                         : "write";
        std::printf("killed %s %s %ld\n", kind, event->len ? event->name : "-", delay);
        return 0;
    }
}
