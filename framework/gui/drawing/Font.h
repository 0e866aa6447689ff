#pragma once

#include "framework/core/WinTypes.h"

#include <cstdint>
#include <memory>

class QFont;
struct LOGFONTA;

// Font handles are opaque ids, like window handles: a message carrying the handle of a font deleted in the
// meantime finds nothing and does nothing.
using HFONT = std::uintptr_t;

// A font object over a QFont, built from a logical font.
class CFont {
public:
    CFont();
    ~CFont();
    CFont(const CFont&) = delete;
    CFont& operator=(const CFont&) = delete;

    // lfHeight in pixels (negative: character height; positive: cell height), as the platform reads it.
    BOOL CreateFontIndirect(const LOGFONTA* lpLogFont);
    // lfHeight in tenths of a point, as the screen's point-font creation reads it.
    BOOL CreatePointFontIndirect(const LOGFONTA* lpLogFont);
    // The logical font of this font, with the height in pixels of the screen.
    int GetLogFont(LOGFONTA* pLogFont) const;
    BOOL DeleteObject();

    HFONT GetSafeHandle() const { return m_hObject; }
    const QFont* GetQFont() const;
    static CFont* FromHandle(HFONT hFont);

    HFONT m_hObject = 0;

private:
    std::unique_ptr<QFont> m_font;
};

// Conversions at the widget boundary. Heights: pixels for a LOGFONTA, as the platform's screen takes them.
QFont QFontFromLogFont(const LOGFONTA& logFont);
void LogFontFromQFont(const QFont& font, LOGFONTA& logFont);
// The height in pixels on the screen of a size in points.
LONG ScreenPixelsOfPoints(double points);
// The logical font of the fixed system font, the fallback for terminal views.
void GetSystemFixedLogFont(LOGFONTA& logFont);
