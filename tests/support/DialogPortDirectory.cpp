#include "support/DialogPortDirectory.h"

#include "support/ScopedPortDirectory.h"
#include "support/TempDir.h"

#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <utility>

struct DialogPortDirectory::State {
    TempDir dir;
    std::vector<std::pair<unsigned, int>> masters;
    std::unique_ptr<ScopedPortDirectory> directory;
};

DialogPortDirectory::DialogPortDirectory(const std::vector<unsigned>& numbers)
    : m_state(std::make_unique<State>()) {
    for (unsigned number : numbers) {
        const int master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
            continue;
        m_state->masters.emplace_back(number, master);
        const std::string link = m_state->dir.file("COM" + std::to_string(number));
        if (symlink(ptsname(master), link.c_str()) != 0)
            continue;
    }
    m_state->directory = std::make_unique<ScopedPortDirectory>(m_state->dir.path());
}

DialogPortDirectory::~DialogPortDirectory() {
    m_state->directory.reset();
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
