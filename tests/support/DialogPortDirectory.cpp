#include "support/DialogPortDirectory.h"

#include "support/TempDir.h"

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <utility>

struct DialogPortDirectory::State {
    TempDir dir;
    std::vector<std::pair<unsigned, int>> masters;
    bool hadPrevious = false;
    std::string previous;
};

DialogPortDirectory::DialogPortDirectory(const std::vector<unsigned>& numbers)
    : m_state(std::make_unique<State>()) {
    if (const char* previous = std::getenv("KESTRUNE_PORTS")) {
        m_state->hadPrevious = true;
        m_state->previous = previous;
    }
    for (unsigned number : numbers) {
        const int master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
            continue;
        m_state->masters.emplace_back(number, master);
        const std::string link = m_state->dir.file("COM" + std::to_string(number));
        if (symlink(ptsname(master), link.c_str()) != 0)
            continue;
    }
    ::setenv("KESTRUNE_PORTS", m_state->dir.path().c_str(), 1);
}

DialogPortDirectory::~DialogPortDirectory() {
    if (m_state->hadPrevious)
        ::setenv("KESTRUNE_PORTS", m_state->previous.c_str(), 1);
    else
        ::unsetenv("KESTRUNE_PORTS");
    for (const auto& entry : m_state->masters)
        ::close(entry.second);
}

int DialogPortDirectory::MasterOf(unsigned number) const {
    for (const auto& entry : m_state->masters) {
        if (entry.first == number)
            return entry.second;
    }
    return -1;
}
