#include "framework/core/StockFont.h"

#include <cstring>
#include <mutex>
#include <utility>

namespace {

std::mutex sourceLock;

StockFontSource& currentSource() {
    static StockFontSource source;
    return source;
}

// Without a display the fonts can only be described, not measured: a height of 16 pixels is what the
// platform's stock fonts have on a standard screen.
bool describeWithoutDisplay(UINT stockId, LOGFONTA& logFont) {
    bool fixed = false;
    switch (stockId) {
    case OEM_FIXED_FONT:
    case ANSI_FIXED_FONT:
    case SYSTEM_FIXED_FONT:
        fixed = true;
        break;
    case ANSI_VAR_FONT:
    case SYSTEM_FONT:
    case DEVICE_DEFAULT_FONT:
    case DEFAULT_GUI_FONT:
        break;
    default:
        return false;
    }
    std::memset(&logFont, 0, sizeof logFont);
    logFont.lfHeight = 16;
    logFont.lfWeight = FW_NORMAL;
    logFont.lfCharSet = ANSI_CHARSET;
    logFont.lfPitchAndFamily = fixed ? static_cast<BYTE>(FIXED_PITCH | FF_MODERN) : VARIABLE_PITCH;
    std::strncpy(logFont.lfFaceName, fixed ? "Monospace" : "Sans Serif", LF_FACESIZE - 1);
    return true;
}

} // namespace

void SetStockFontSource(StockFontSource source) {
    std::lock_guard<std::mutex> guard(sourceLock);
    currentSource() = std::move(source);
}

BOOL GetStockFontLogFont(UINT stockId, LOGFONTA& logFont) {
    StockFontSource source;
    {
        std::lock_guard<std::mutex> guard(sourceLock);
        source = currentSource();
    }
    // The description is built aside, so that a refused identifier leaves the caller's structure as it was.
    LOGFONTA described = logFont;
    const bool found = source ? source(stockId, described) : describeWithoutDisplay(stockId, described);
    if (!found)
        return FALSE;
    logFont = described;
    return TRUE;
}
