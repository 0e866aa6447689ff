// Feeds arbitrary bytes to the INI reader as the content of a file, then looks the read values up.
#include "settings/IniFile.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {
std::string scratchPath;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    scratchPath = "/tmp/kestrune-ini-fuzz-" + std::to_string(getpid()) + ".ini";
    // The reader prints a line for every file that starts with a control byte; fuzzing needs none of them.
    if (std::freopen("/dev/null", "w", stdout) == nullptr)
        return 0;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(scratchPath.c_str(), "wb");
    if (file == nullptr)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    CIniFile ini(scratchPath);
    ini.ReadFile();
    for (unsigned keyID = 0; keyID < ini.NumKeys(); ++keyID) {
        const CIniFile::key* section = ini.Key(keyID);
        for (const std::string& name : section->names)
            (void)ini.GetValueI("", name, 1);
    }
    (void)ini.GetValue("COM", "Port", "COM1");
    (void)ini.GetValueB("TERM", "TrapLF", true);
    return 0;
}
