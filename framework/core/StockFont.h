#pragma once

#include "framework/core/LogFont.h"
#include "framework/core/WinTypes.h"

#include <functional>

// Identifiers of the platform's stock fonts.
constexpr UINT OEM_FIXED_FONT = 10;
constexpr UINT ANSI_FIXED_FONT = 11;
constexpr UINT ANSI_VAR_FONT = 12;
constexpr UINT SYSTEM_FONT = 13;
constexpr UINT DEVICE_DEFAULT_FONT = 14;
constexpr UINT DEFAULT_PALETTE = 15;
constexpr UINT SYSTEM_FIXED_FONT = 16;
constexpr UINT DEFAULT_GUI_FONT = 17;

// Describes a stock font. The GUI half installs a source that asks the display for its real fonts; without
// one a display-free description is given (a fixed-pitch "Monospace" face for the fixed fonts). A source
// returns false for an identifier that names no font, and the description is then left as it was.
using StockFontSource = std::function<bool(UINT stockId, LOGFONTA& logFont)>;
void SetStockFontSource(StockFontSource source);

// TRUE when stockId names a stock font and logFont now describes it; FALSE leaves logFont untouched.
BOOL GetStockFontLogFont(UINT stockId, LOGFONTA& logFont);
