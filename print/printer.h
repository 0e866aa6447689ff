#pragma once

#include "framework/core/WinTypes.h"
#include "framework/gui/drawing/Rect.h"

class CDC;
class CPrintInfo;

// The format of the footnote's date when none was given.
constexpr const char* kDefaultDateTimeFormat = "%A, %B %d, %Y - %H:%M";

// The page layout of a terminal window's printout. It turns the user's margins into device pixels, keeps a
// heading band of three text lines at the top of each page and a footnote band of one line at the bottom,
// and draws on every page a heading (the application's name on the left, the page number on the right, a
// red rule under them) and a footnote (a blue rule with the print date and time right-aligned under it).
// The caller lays out the body between the bands. One object serves one print or preview run.
class CPrinter {
public:
    CPrinter(CDC* pDC, CPrintInfo* pPrintInfo);
    virtual ~CPrinter();
    CPrinter(const CPrinter&) = delete;
    CPrinter& operator=(const CPrinter&) = delete;

    virtual void PageHeading();
    virtual void PageFootNote();
    // Selects the stock fixed-pitch font into the output context.
    virtual void SetPrinterFont();

    // Measures the device once per run: line height, band heights, margins in pixels and page size. The
    // margins come from the job description's user data (a rectangle in hundredths of a millimetre), else
    // half an inch on every side.
    void SetPrinterCaps();
    // Takes the footnote's date format from the string table; FALSE when the string does not exist.
    BOOL SetDateTimeFormat(UINT nID);
    // Ends the page and the job on the output context, for a job this object started itself.
    void EndPrinting();

    CDC* dc;
    CPrintInfo* pInfo;
    CRect m_Margins;
    int headingHeight;
    int footnoteHeight;
    int pageHeight;
    int pageWidth;
    int Y;
    int lineHeight;
    BOOL pageStarted;
    BOOL docStarted;
    int pageNumber;
    CString m_DateTimeFormat;
};

// Converts a margin in hundredths of a millimetre to device pixels at a resolution, truncated toward zero.
int MarginToPixels(int nPixelsPerInch, LONG nHundredthsOfMillimetre);
// Formats a local time with strftime conventions in the current locale; the default format when empty.
// The result is UTF-8, whatever the encoding of the locale's day and month names.
CString FormatEditionDate(const CString& format, const struct tm& localTime);
