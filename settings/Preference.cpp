#include "settings/Preference.h"

#include "app/main.h"
#include "app/resource.h"
#include "comm/comm.h"
#include "framework/core/LogFont.h"
#include "framework/core/Resource.h"
#include "framework/files/File.h"
#include "settings/IniFile.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

BYTE LowByte(int value) {
    return static_cast<BYTE>(static_cast<unsigned>(value) & 0xFF);
}

// A path written with the other system's separator (".\\Kestrune.log", "logs\\arch.log") names the same
// file here: a value holding no slash takes its backslashes as separators. A value with a slash is taken as
// written, since a backslash is then part of a name.
std::string PathValue(std::string value) {
    if (value.find('/') == std::string::npos) {
        for (char& c : value) {
            if (c == '\\')
                c = '/';
        }
    }
    return value;
}

// The view's reading from its two keys; a value it does not know leaves the default.
ViewReadingRec ReadViewReading(const CIniFile& ini) {
    auto lower = [](std::string value) {
        std::transform(value.begin(), value.end(), value.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return value;
    };
    ViewReadingRec reading;
    reading.utf8 = lower(ini.GetValue("TERM", "Encoding", "UTF-8")) != "windows-1252";
    const std::string escapes = lower(ini.GetValue("TERM", "Escapes", "colours"));
    if (escapes == "hide")
        reading.escapes = ViewReadingRec::kHide;
    else if (escapes == "show")
        reading.escapes = ViewReadingRec::kShow;
    return reading;
}

// Section "CAPTURE". The folder is a path like the others of the file; so is a name pattern that holds a
// folder of its own.
void ReadCaptureSetting(CIniFile& ini, CaptureSettingRec& capture) {
    capture.bAutoCapture = ini.GetValueI("CAPTURE", "AutoCapture", 0) != 0 ? 1 : 0;
    capture.folder = PathValue(ini.GetValue("CAPTURE", "CaptureFolder", "."));
    capture.namePattern = PathValue(ini.GetValue("CAPTURE", "CaptureName", "%p-%Y%m%d-%H%M%S.log"));
    capture.bRaw = ini.GetValueI("CAPTURE", "CaptureRaw", 0) != 0 ? 1 : 0;
    capture.bAppend = ini.GetValueI("CAPTURE", "CaptureAppend", 0) != 0 ? 1 : 0;
    // A negative size is no size: the file never rolls.
    capture.rollSizeMB = static_cast<DWORD>(std::max(ini.GetValueI("CAPTURE", "CaptureRollSize", 0), 0));
}

} // namespace

CPreference::CPreference(const CString& iniFileName) {
    InitInstance();

    CIniFile ini(iniFileName);
    if (ini.ReadFile()) {
        m_available |= PREF_INI_READ;

        m_commSetting.port = ini.GetValue("COM", "Port", "COM1");
        m_commSetting.baud = static_cast<DWORD>(ini.GetValueI("COM", "BaudRate", 9600));
        m_commSetting.byteSize = LowByte(ini.GetValueI("COM", "ByteSize", 8));
        if (m_commSetting.byteSize > 8)
            m_commSetting.byteSize = 8;
        m_commSetting.parity = LowByte(ini.GetValueI("COM", "Parity", 0));
        m_commSetting.stopBit = LowByte(ini.GetValueI("COM", "StopBit", 0));
        m_available |= PREF_COMM_SETTING;

        m_termSetting.nbMaxiByte =
            ClampBufferLoop(static_cast<DWORD>(ini.GetValueI("TERM", "MaxBytes", 1024)));
        m_termSetting.bLF = ini.GetValueB("TERM", "TrapLF", true) ? 1 : 0;
        m_termSetting.bCR = ini.GetValueB("TERM", "TrapCR", false) ? 1 : 0;
        m_termSetting.bTimestamp = ini.GetValueB("TERM", "AddTimestamp", false) ? 1 : 0;
        m_termSetting.timestampFormat = ini.GetValue("TERM", "TimestampFormat", "%d/%m/%Y - %H:%M:%S = ");
        m_termSetting.timestampInterval =
            static_cast<DWORD>(ini.GetValueI("TERM", "TimestampMinDataInterval", 100));
        m_termSetting.bTimestampEachLine = ini.GetValueB("TERM", "TimestampEachLine", false) ? 1 : 0;
        m_termSetting.bFilteredByte = ini.GetValueB("TERM", "FilterByte", false) ? 1 : 0;
        m_termSetting.FilteredBytesList = ini.GetValue("TERM", "FilteredBytesList", "\\x07\\x00");
        m_bHexView = ini.GetValueB("TERM", "HexView", false);
        m_available |= PREF_TERM_SETTING;
        m_viewReading = ReadViewReading(ini);
        m_termSetting.autoSaveDelay = static_cast<DWORD>(ini.GetValueI("TERM", "AutoSaveFrequency", 60));
        m_defaultBackupPath = PathValue(ini.GetValue("TERM", "DefaultBackupPath", "./Kestrune.txt"));

        if (m_termSetting.autoSaveDelay != 0 && !m_defaultBackupPath.empty()) {
            // Probing creates a missing backup file empty and leaves an existing one as it is.
            try {
                CFile probe(m_defaultBackupPath.c_str(),
                            CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite);
                probe.Close();
                m_available |= PREF_AUTOSAVE;
            } catch (const CFileException&) {
            }
        }

        m_logFilePath = PathValue(ini.GetValue("LOG", "LogFilePath", "./Kestrune.log"));
        m_logArchiveFilePath = PathValue(ini.GetValue("LOG", "ArchiveLogFilePath", "./ARCH_Kestrune.log"));
        m_logLevel = ini.GetValueI("LOG", "LogLevel", 1);
        if (!m_logFilePath.empty())
            m_available |= PREF_LOG_FILE;

        ReadCaptureSetting(ini, m_captureSetting);

        m_lfFaceName = ini.GetValue("FONT", "FontFaceName", "Courier New");
        // The size is taken as its magnitude by the point-font creation; the sign is kept.
        m_lfSize = std::clamp(ini.GetValueI("FONT", "FontSize", 100), -kLargestFontSize, kLargestFontSize);
        if (m_lfSize != 0 && !m_lfFaceName.empty())
            m_available |= PREF_FONT;
    } else if (ini.StoppedAtLine() != 0) {
        // The file is there but set aside for one line: the log runs with its start values so that the
        // user finds the reason there too, not only on the console.
        m_iniDiscardedAtLine = ini.StoppedAtLine();
        m_available |= PREF_LOG_FILE;
    }

    // The application object is still being built at this point, so its log is not yet enabled and this
    // record is dropped; the call stays so that the loading step is logged the day that changes.
    const char* text = AfxLoadString(IDS_LOG_READ_PREFERENCE);
    gMainApp.WriteToLog(text != nullptr ? text : "", "SetPreference", LEVELTHREE);
}

void CPreference::InitInstance() {
    m_available = 0;
    m_used = 0;
    m_logFilePath = "./Kestrune.log";
    m_logArchiveFilePath = "./ARCH_Kestrune.log";
    m_logLevel = LEVELONE;
    m_lfFaceName = "Courier New";
    m_lfSize = 100;
    m_defaultBackupPath.clear();
    m_commSetting.port.clear();
    m_termSetting.timestampFormat.clear();
    m_termSetting.FilteredBytesList.clear();
}

void CPreference::ReleaseTCommPort(TCommPort* port) {
    if (port == nullptr)
        return;
    if (!m_used || port->GetCommPort() != m_commSetting.port)
        return;
    // Another window may have been pointed at the same port name: the port stays taken while it holds it.
    if (m_pfnPortHeld != nullptr && m_pfnPortHeld(m_commSetting.port, port))
        return;
    m_used = 0;
}

void CPreference::GetPrefFont(LOGFONTA& logFont) {
    std::memset(&logFont, 0, sizeof logFont);
    logFont.lfHeight = m_lfSize;
    std::strncpy(logFont.lfFaceName, m_lfFaceName.c_str(), LF_FACESIZE - 1);
    logFont.lfFaceName[LF_FACESIZE - 1] = '\0';
}
