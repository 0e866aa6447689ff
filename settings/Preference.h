#pragma once

#include "framework/core/Object.h"
#include "framework/core/WinTypes.h"
#include "settings/SettingRec.h"

#include <string>

class TCommPort;
struct LOGFONTA;

// Bits of CPreference::m_available: which groups of settings were loaded and may be used.
constexpr int PREF_INI_READ = 0x8000;     // the INI file was read
constexpr int PREF_COMM_SETTING = 0x0001; // the serial settings of section "COM"
constexpr int PREF_TERM_SETTING = 0x0002; // the terminal settings of section "TERM"
constexpr int PREF_AUTOSAVE = 0x0004;     // auto-save on, with a backup file that could be opened or created
constexpr int PREF_LOG_FILE = 0x0008;     // a log file path is set
constexpr int PREF_FONT = 0x0010;         // a font face and a non-zero size are set

// The largest display font, in tenths of a point: 512 points, about 680 pixels of character height and
// 780 of line height at 96 dots per inch, so that one line still fits on a 1080-pixel screen with the
// window's frame, menu, tool bar and status bar. A larger font shows no whole line on common screens, and
// its rendering only costs memory and time. 512 is also the largest size the platform's font dialog offers.
constexpr int kLargestFontSize = 5120;

// The program-wide settings, loaded once from the INI file and never written back. After construction only
// m_used changes; everything else is read, from any thread.
class CPreference : public CObject {
public:
    // Loads every setting from the INI file iniFileName, each missing one taking its default.
    explicit CPreference(const CString& iniFileName);
    ~CPreference() override = default;

    // Called when a terminal view goes: frees the preference port for the next window when port (may be
    // null) has exactly the preference port's name and no other window holds a port of that name.
    void ReleaseTCommPort(TCommPort* port);
    // Tells whether a window holds a port of the given name, the port except left out; the program's entry
    // installs it with the windows. Without it a port's own window is taken for its only holder.
    using PortHolderQuery = bool (*)(const std::string& portName, const TCommPort* except);
    PortHolderQuery m_pfnPortHeld = nullptr;
    // Fills the font description from the preferred face and size (lfHeight in tenths of a point).
    void GetPrefFont(LOGFONTA& logFont);

    int m_available;
    int m_used;
    std::string m_defaultBackupPath;
    std::string m_logFilePath;
    std::string m_logArchiveFilePath;
    int m_logLevel;
    CommSettingRec m_commSetting;
    TermSettingRec m_termSetting;
    // New windows start with their bytes shown as a hex dump (TERM key HexView).
    bool m_bHexView = false;
    ViewReadingRec m_viewReading;
    CaptureSettingRec m_captureSetting;
    std::string m_lfFaceName;
    int m_lfSize;
    // The line (from 1) that made the INI file be set aside, 0 when it was read or not found. The log then
    // keeps its start values (file, archive, level 1), so that the start-up can record why.
    long m_iniDiscardedAtLine = 0;

private:
    void InitInstance();
};
