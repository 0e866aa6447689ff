#pragma once

#include "framework/core/WinTypes.h"

#include <memory>
#include <vector>

class CFont;
class QFont;
class QPainter;
class QPaintDevice;
class QString;

using COLORREF = DWORD;
constexpr COLORREF RGB(BYTE red, BYTE green, BYTE blue) {
    return static_cast<COLORREF>(red) | (static_cast<COLORREF>(green) << 8) |
           (static_cast<COLORREF>(blue) << 16);
}

// Device capability indices, with the desktop platform's numbers.
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;

// Pen styles and stock objects.
constexpr int PS_SOLID = 0;
constexpr int ANSI_FIXED_FONT = 11;

struct CSize {
    LONG cx = 0;
    LONG cy = 0;
};

// Metrics of a device's current font, in device pixels. tmHeight is the cell (ascent plus descent); the
// internal leading is the part of the cell above the character height.
struct TEXTMETRIC {
    LONG tmHeight = 0;
    LONG tmAscent = 0;
    LONG tmDescent = 0;
    LONG tmInternalLeading = 0;
    LONG tmExternalLeading = 0;
    LONG tmAveCharWidth = 0;
    LONG tmMaxCharWidth = 0;
};

// A cosmetic or geometric pen. Width 0 draws the thinnest line the device can draw.
class CPen {
public:
    CPen() = default;
    CPen(int nPenStyle, int nWidth, COLORREF crColor) { CreatePen(nPenStyle, nWidth, crColor); }
    BOOL CreatePen(int nPenStyle, int nWidth, COLORREF crColor);
    BOOL DeleteObject();

    bool m_bCreated = false;
    int m_nStyle = PS_SOLID;
    int m_nWidth = 0;
    COLORREF m_crColor = 0;
};

// A device context for printing. Drawing goes to the output side, a painter on the page being made;
// measuring (capabilities, text metrics, text extents) asks the attribute side, the device the job is laid
// out for. On a printer both are the same device; in a preview the output is the preview's page while the
// attribute stays the printer. Coordinates are device pixels from the top-left of the printable area, and
// text is placed by the top-left corner of its cell, as the platform's default text alignment does.
class CDC {
public:
    CDC();
    ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    // Binds the two sides; the painter must be active on its device. Either may be null (nothing drawn,
    // or measures of a 96 dpi screen).
    void SetOutput(QPainter* pOutput);
    void SetAttribDevice(QPaintDevice* pAttrib);
    QPainter* GetOutput() const { return m_pOutput; }

    // TRUE while the context belongs to a print or preview run.
    BOOL m_bPrinting = FALSE;

    int GetDeviceCaps(int nIndex) const;
    BOOL GetTextMetrics(TEXTMETRIC* lpMetrics) const;
    CSize GetTextExtent(const CString& text) const;
    CSize GetTextExtent(const char* text, int nCount) const;

    // Draws bytes as the view shows them (Windows-1252 above 0x7F, control bytes as visible symbols).
    BOOL TextOut(int x, int y, const CString& text);
    BOOL TextOut(int x, int y, const char* text, int nCount);
    // Text of the program itself rather than received bytes (a date in the user's language), in UTF-8.
    BOOL TextOutUtf8(int x, int y, const CString& text);
    CSize GetTextExtentUtf8(const CString& text) const;
    void MoveTo(int x, int y);
    BOOL LineTo(int x, int y);

    COLORREF SetTextColor(COLORREF crColor);

    // The previous pen or font is returned so that it can be selected again; null stands for the
    // context's default. The selected objects must outlive their selection.
    CPen* SelectObject(CPen* pPen);
    CFont* SelectObject(CFont* pFont);
    // Selects a stock font (ANSI_FIXED_FONT); FALSE for an unknown one.
    BOOL SelectStockObject(int nIndex);
    // Selects the platform-independent description of a font (the printer fonts of views use it).
    void SelectQFont(const QFont& font);
    const QFont& GetCurrentFont() const;

    // Saves the pen, font and text colour; RestoreDC(-1) goes back to the last save, RestoreDC(n) to save n.
    int SaveDC();
    BOOL RestoreDC(int nSavedDC);

    // While set, drawing is measured but not painted: pagination lays pages out this way.
    void SetOutputSuppressed(bool bSuppressed) { m_bSuppressed = bSuppressed; }
    bool IsOutputSuppressed() const { return m_bSuppressed; }

    // The job and its pages. StartPage starts a new sheet for every page after the first; EndDoc finishes
    // the output. Results are positive on success, as the platform reports them.
    int StartDoc();
    int StartPage();
    int EndPage();
    int EndDoc();

private:
    struct State;
    BOOL DrawString(int x, int y, const QString& text);
    CSize MeasureString(const QString& text) const;
    void ApplyPen();
    // The current font; the default one is chosen on first use, once the application exists.
    const QFont& CurrentFont() const;
    // Makes font (when given) current, remembering pFont as the selected object; returns the previous one.
    CFont* ExchangeFont(CFont* pFont, const QFont* font);

    QPainter* m_pOutput = nullptr;
    QPaintDevice* m_pAttrib = nullptr;
    std::unique_ptr<State> m_state;
    std::vector<State> m_saved;
    int m_nPagesStarted = 0;
    bool m_bPageOpen = false;
    bool m_bSuppressed = false;
    int m_curX = 0;
    int m_curY = 0;
};

// The characters a device draws for bytes of text.
QString TextForBytes(const char* text, int nCount);
