#pragma once

#include "app/main.h"
#include "log/LogLevel.h"
#include "settings/Preference.h"
#include "support/TempDir.h"

#include <string>

// The activity log of the process, at level 1, in a fresh directory for its lifetime.
class LevelOneLog {
public:
    LevelOneLog() : m_cwd(m_dir.path()) {
        CPreference& preferences = *gMainApp.m_PrefApp;
        m_saved = {preferences.m_logLevel, preferences.m_available, preferences.m_logFilePath,
                   preferences.m_logArchiveFilePath};
        preferences.m_logLevel = LEVELONE;
        preferences.m_available |= PREF_LOG_FILE;
        preferences.m_logFilePath = m_dir.file("Kestrune.log");
        preferences.m_logArchiveFilePath = m_dir.file("ARCH_Kestrune.log");
        gMainApp.m_logEnable = gMainApp.SetLogFile();
    }
    ~LevelOneLog() {
        gMainApp.m_logEnable = FALSE;
        CPreference& preferences = *gMainApp.m_PrefApp;
        preferences.m_logLevel = m_saved.level;
        preferences.m_available = m_saved.available;
        preferences.m_logFilePath = m_saved.path;
        preferences.m_logArchiveFilePath = m_saved.archive;
    }
    std::string Text() const { return ReadWholeFile(m_dir.file("Kestrune.log")); }

private:
    TempDir m_dir;
    CurrentDirGuard m_cwd;
    struct Saved {
        int level;
        int available;
        std::string path;
        std::string archive;
    } m_saved{};
};
