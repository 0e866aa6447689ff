#pragma once

#include "framework/WinTypes.h"

// Ids of the program's own strings, grouped by area; the texts are in app/strings/*.inc.

// Activity log.
constexpr UINT IDS_LOG_OPEN_APPLICATION = 2500;     // "Open application - Log level: %d"
constexpr UINT IDS_LOG_CLOSE_APPLICATION = 2501;
constexpr UINT IDS_LOG_COMM_SETTING_CHANGED = 2502;
constexpr UINT IDS_LOG_TERM_SETTING_CHANGED = 2503;
constexpr UINT IDS_LOG_FONT_CHANGED = 2504;
constexpr UINT IDS_LOG_AUTOSAVE_DELAY_CHANGED = 2505; // formatted with the delay in seconds
constexpr UINT IDS_LOG_AUTOSAVE_STARTED = 2506;
constexpr UINT IDS_LOG_AUTOSAVE_DONE = 2507;
constexpr UINT IDS_LOG_INI_FOUND = 2508;
constexpr UINT IDS_LOG_INI_NOT_FOUND = 2509;
constexpr UINT IDS_LOG_READ_PREFERENCE = 2510;
constexpr UINT IDS_LOG_SHELL_COMMAND_FAILED = 2511;
constexpr UINT IDS_LOG_SHELL_COMMAND_DONE = 2512;
constexpr UINT IDS_LOG_BEGIN_THREAD_OK = 2513;
constexpr UINT IDS_LOG_BEGIN_THREAD_FAILED = 2514;
constexpr UINT IDS_LOG_CLOSE_THREAD = 2515;
constexpr UINT IDS_LOG_RESUME_THREAD = 2516;
constexpr UINT IDS_LOG_SUSPEND_THREAD = 2517;
constexpr UINT IDS_LOG_CLEAR_DATA = 2518;
constexpr UINT IDS_LOG_GET_DATA = 2519;
constexpr UINT IDS_LOG_SET_DATA = 2520;
constexpr UINT IDS_LOG_SYNCHRONIZE_DATA = 2521;
constexpr UINT IDS_LOG_CONNECT = 2522;
constexpr UINT IDS_LOG_DISCONNECT = 2523;
constexpr UINT IDS_LOG_NEW_DOCUMENT = 2524;
constexpr UINT IDS_LOG_SERIALIZE_DOCUMENT = 2525;
constexpr UINT IDS_LOG_SCREEN_CLEARED = 2526;
constexpr UINT IDS_LOG_SCREEN_FROZEN = 2527;
constexpr UINT IDS_LOG_SCREEN_UNFROZEN = 2528;
// Why logging is off: shown once to the user, never written to the log.
constexpr UINT IDS_LOG_PATH_TOO_LONG = 2529;        // formatted with the path
constexpr UINT IDS_LOG_WRITE_FAILED = 2530;         // followed by the system's reason
