#pragma once

#include "framework/core/WinTypes.h"

// Ids of the program's own strings, grouped by area; the texts are in app/strings/*.inc.

// Activity log.
constexpr UINT IDS_LOG_OPEN_APPLICATION = 2500; // "Open application - Log level: %d"
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
constexpr UINT IDS_LOG_PATH_TOO_LONG = 2529; // formatted with the path
constexpr UINT IDS_LOG_WRITE_FAILED = 2530;  // followed by the system's reason
constexpr UINT IDS_LOG_DID_NOT_GROW = 2531;  // formatted with the path
// Written to the log at level 1 when the INI file was set aside; formatted with the line number.
constexpr UINT IDS_LOG_INI_DISCARDED = 2532;

// Main window, document template and About box resources.
constexpr UINT IDR_MAINFRAME = 2; // menu, accelerators, title, tool bar bitmap
constexpr UINT IDR_TEXTTYPE = 3;  // the terminal document template: menu and document string
constexpr UINT IDD_ABOUTBOX = 100;
constexpr UINT ID_FILE_NEW_CONNECTION = 201;
// Status bar indicators.
constexpr UINT ID_INDICATOR_PORT = 2001;
constexpr UINT ID_INDICATOR_BAUD = 2002;
constexpr UINT ID_INDICATOR_DATA = 2003;
constexpr UINT ID_INDICATOR_STOP = 2004;
constexpr UINT ID_INDICATOR_PARITY = 2005;
constexpr UINT ID_INDICATOR_CLOCK = 2006;
// Status bar texts.
constexpr UINT IDS_CONNECTED = 2100;
constexpr UINT IDS_DECONNECTED = 2101;
constexpr UINT IDS_PARITY_NONE = 2102;
constexpr UINT IDS_PARITY_ODD = 2103;
constexpr UINT IDS_PARITY_EVEN = 2104;
constexpr UINT IDS_STOPBITS_ONE = 2105;
constexpr UINT IDS_STOPBITS_ONE5 = 2106;
constexpr UINT IDS_STOPBITS_TWO = 2107;
// Terminal view and its settings.
constexpr UINT IDS_ASK_CLEAR_SCREEN = 3000;
constexpr UINT IDS_PORT_LOST = 3010;
constexpr UINT IDS_PORT_LOST_SETTINGS_KEPT = 3011;
constexpr UINT IDS_BYTES_LOST = 3012; // formatted with the count
constexpr UINT IDS_NO_PORT_CHOSEN = 3013;
// Capture to a file.
constexpr UINT IDS_CAPTURE_CAPTION = 3040;        // formatted with the file name and the bytes written
constexpr UINT IDS_CAPTURE_CAPTION_LOST = 3041;   // formatted with the bytes not written
constexpr UINT IDS_CAPTURE_CAPTION_FAILED = 3042; // followed by the reason
constexpr UINT IDS_CAPTURE_FAILED = 3043;         // formatted with the reason and both counts
constexpr UINT IDS_CAPTURE_NOT_STARTED = 3044;    // followed by the reason
constexpr UINT IDS_LOG_CAPTURE_STARTED = 3045;    // formatted with the content and the file's size
constexpr UINT IDS_LOG_CAPTURE_STOPPED = 3046;    // formatted with the size and the bytes not written
constexpr UINT IDS_CAPTURE_NO_NAME = 3047;
constexpr UINT IDS_LOG_CAPTURE_UNFINISHED = 3048; // formatted with the bytes not written and the wait
constexpr UINT IDS_PRINT_DATE_FORMAT = 3100;      // a strftime format
constexpr UINT IDS_ERROR_SET_BAUD_RATE = 3101;
constexpr UINT IDS_ERROR_SET_BYTE_SIZE = 3102;
constexpr UINT IDS_ERROR_SET_PARITY = 3103;
constexpr UINT IDS_ERROR_SET_STOP_BITS = 3104;
constexpr UINT IDS_ERROR_SETTING = 3105;
constexpr UINT IDS_TYPED_BAUD_RATE = 3106; // formatted with the lowest and highest rate
constexpr UINT AFX_IDS_IDLEMESSAGE = 57345;
// Standard commands the menus name (the document and edit view declare their own).
constexpr UINT ID_FILE_PRINT_SETUP = 57606;
constexpr UINT ID_APP_ABOUT = 57664;
constexpr UINT ID_HELP_USING = 57668;
constexpr UINT ID_HELP_INDEX = 57670;
