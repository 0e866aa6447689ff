// Reads INI files of many entries, laid out as one large section and as many small ones, and reports the
// time each took, on the clock and in processor time (the machine may be busy with other work). Exits with
// 1 when a read takes more than half a second of processor time.
#include "settings/IniFile.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

constexpr double kLimitSeconds = 0.5;

std::string WriteIni(const std::string& path, long entries, long entriesPerSection) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (long entry = 0; entry < entries; ++entry) {
        if (entry % entriesPerSection == 0)
            out << "[Section" << entry / entriesPerSection << "]\r\n";
        out << "Name" << entry << "=value of entry " << entry << "\r\n";
    }
    return path;
}

bool Measure(const char* layout, const std::string& path, long entries) {
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    CIniFile ini(path);
    const bool read = ini.ReadFile();
    const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const bool found = ini.GetValue("Section0", "Name0", "") == "value of entry 0";
    std::printf("%-26s %8ld entries  %7.3f s on the clock  %7.3f s of processor  %s\n", layout, entries,
                seconds, cpu, read && found ? (cpu <= kLimitSeconds ? "ok" : "TOO SLOW") : "NOT READ");
    return read && found && cpu <= kLimitSeconds;
}

} // namespace

int main(int argc, char** argv) {
    const long entries = argc > 1 ? std::atol(argv[1]) : 100000;
    char folder[] = "/tmp/kestrune-ini-bench-XXXXXX";
    if (::mkdtemp(folder) == nullptr) {
        std::perror("mkdtemp");
        return 2;
    }
    const std::string base = folder;
    bool ok = true;
    ok &= Measure("one section", WriteIni(base + "/one.ini", entries, entries), entries);
    ok &= Measure("a section per 10 entries", WriteIni(base + "/tens.ini", entries, 10), entries);
    ok &= Measure("a section per entry", WriteIni(base + "/each.ini", entries, 1), entries);
    for (const char* name : {"/one.ini", "/tens.ini", "/each.ini"})
        std::remove((base + name).c_str());
    ::rmdir(folder);
    return ok ? 0 : 1;
}
