#include "print/printer.h"

#include "framework/core/Resource.h"
#include "framework/core/WinApp.h"
#include "framework/gui/drawing/DC.h"
#include "framework/gui/printing/PrintInfo.h"

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <string>
#include <vector>

namespace {

// Rules are a hundredth of an inch wide; below 100 dpi that is 0, the thinnest line the device draws.
int RuleWidth(CDC* pDC) {
    return pDC->GetDeviceCaps(LOGPIXELSX) / 100;
}

CString ApplicationName() {
    if (const CWinApp* app = AfxGetApp())
        return app->m_pszAppName;
    const char* title = AfxLoadString(AFX_IDS_APP_TITLE);
    return title != nullptr ? title : "";
}

CString FormatNumber(const char* format, int value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The encoding of the texts that strftime takes from the time locale (its day and month names).
std::string TimeLocaleCodeset() {
    const char* name = std::setlocale(LC_TIME, nullptr);
    const locale_t timeLocale =
        newlocale(LC_CTYPE_MASK, name != nullptr ? name : "C", static_cast<locale_t>(0));
    if (timeLocale == static_cast<locale_t>(0))
        return nl_langinfo(CODESET);
    const std::string codeset = nl_langinfo_l(CODESET, timeLocale);
    freelocale(timeLocale);
    return codeset;
}

bool IsAscii(const CString& text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) > 0x7F)
            return false;
    return true;
}

// Converts text from the codeset to UTF-8. A byte the codeset does not know becomes U+FFFD, so that a
// wrong byte shows as such instead of being read as another character.
CString ToUtf8(const CString& text, const std::string& codeset) {
    if (IsAscii(text) || codeset == "UTF-8")
        return text;
    const iconv_t converter = iconv_open("UTF-8", codeset.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1))
        return text;
    CString out;
    std::vector<char> buffer(text.size() * 4 + 16);
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    while (inLeft > 0) {
        char* outPtr = buffer.data();
        std::size_t outLeft = buffer.size();
        const std::size_t result = iconv(converter, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer.data(), static_cast<std::size_t>(outPtr - buffer.data()));
        if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
            out += "\xEF\xBF\xBD";
            ++in;
            --inLeft;
        }
    }
    iconv_close(converter);
    return out;
}

} // namespace

int MarginToPixels(int nPixelsPerInch, LONG nHundredthsOfMillimetre) {
    return static_cast<int>(nPixelsPerInch * (nHundredthsOfMillimetre / 2540.0));
}

CString FormatEditionDate(const CString& format, const struct tm& localTime) {
    const CString& used = format.empty() ? CString(kDefaultDateTimeFormat) : format;
    // strftime gives 0 both for a result that does not fit and for an empty one, so grow a few times and
    // settle for an empty date rather than loop on a format that yields nothing.
    for (std::size_t size = 128; size <= 8192; size *= 4) {
        std::vector<char> buffer(size);
        const std::size_t length = std::strftime(buffer.data(), buffer.size(), used.c_str(), &localTime);
        if (length > 0)
            return ToUtf8(CString(buffer.data(), length), TimeLocaleCodeset());
    }
    return CString();
}

CPrinter::CPrinter(CDC* pDC, CPrintInfo* pPrintInfo)
    : dc(pDC), pInfo(pPrintInfo), m_Margins(), headingHeight(0), footnoteHeight(0), pageHeight(0),
      // Set again by SetPrinterCaps; starting from 0 keeps a heading drawn before it well defined.
      pageWidth(0), Y(0), lineHeight(0), pageStarted(FALSE), docStarted(FALSE), pageNumber(0) {}

CPrinter::~CPrinter() {
    if (docStarted)
        EndPrinting();
}

void CPrinter::SetPrinterCaps() {
    TEXTMETRIC metrics;
    dc->GetTextMetrics(&metrics);
    lineHeight = metrics.tmHeight + metrics.tmInternalLeading;
    headingHeight = 3 * lineHeight;
    footnoteHeight = lineHeight;

    const int dpiX = dc->GetDeviceCaps(LOGPIXELSX);
    const int dpiY = dc->GetDeviceCaps(LOGPIXELSY);
    if (pInfo != nullptr && pInfo->m_lpUserData != nullptr) {
        const CRect& margins = *static_cast<const CRect*>(pInfo->m_lpUserData);
        m_Margins.left = MarginToPixels(dpiX, margins.left);
        m_Margins.right = MarginToPixels(dpiX, margins.right);
        m_Margins.top = MarginToPixels(dpiY, margins.top);
        m_Margins.bottom = MarginToPixels(dpiY, margins.bottom);
    } else {
        m_Margins.left = dpiX / 2;
        m_Margins.right = dpiX / 2;
        m_Margins.top = dpiY / 2;
        m_Margins.bottom = dpiY / 2;
    }
    pageHeight = dc->GetDeviceCaps(VERTRES);
    pageWidth = dc->GetDeviceCaps(HORZRES);
}

BOOL CPrinter::SetDateTimeFormat(UINT nID) {
    const char* format = AfxLoadString(nID);
    if (format == nullptr)
        return FALSE;
    m_DateTimeFormat = format;
    return TRUE;
}

void CPrinter::PageHeading() {
    const CString title = ApplicationName();
    const int textY = m_Margins.top + headingHeight / 3;
    const int ruleY = m_Margins.top + (2 * headingHeight) / 3;

    const int saved = dc->SaveDC();
    dc->SetTextColor(RGB(0, 0, 0));
    CPen pen(PS_SOLID, RuleWidth(dc), RGB(255, 0, 0));
    dc->SelectObject(&pen);

    dc->TextOut(m_Margins.left, textY, title);
    const CString page = pInfo != nullptr ? FormatNumber("page: %d", static_cast<int>(pInfo->m_nCurPage))
                                          : FormatNumber("%d", pageNumber);
    const CSize extent = dc->GetTextExtent(page);
    dc->TextOut(pageWidth - m_Margins.right - extent.cx, textY, page);

    dc->MoveTo(m_Margins.left, ruleY);
    dc->LineTo(pageWidth - m_Margins.right, ruleY);

    dc->RestoreDC(saved);
    pen.DeleteObject();
}

void CPrinter::PageFootNote() {
    const std::time_t now = std::time(nullptr);
    struct tm localTime {};
    localtime_r(&now, &localTime);
    const int y = pageHeight - m_Margins.bottom - footnoteHeight;

    const int saved = dc->SaveDC();
    dc->SetTextColor(RGB(0, 0, 0));
    CPen pen(PS_SOLID, RuleWidth(dc), RGB(0, 0, 255));
    dc->SelectObject(&pen);

    const CString text = "Edition: " + FormatEditionDate(m_DateTimeFormat, localTime);
    const CSize extent = dc->GetTextExtentUtf8(text);
    dc->TextOutUtf8(pageWidth - m_Margins.right - extent.cx, y, text);

    dc->MoveTo(m_Margins.left, y);
    dc->LineTo(pageWidth - m_Margins.right, y);

    dc->RestoreDC(saved);
    pen.DeleteObject();
}

void CPrinter::SetPrinterFont() {
    dc->SelectStockObject(ANSI_FIXED_FONT);
}

void CPrinter::EndPrinting() {
    dc->EndPage();
    dc->EndDoc();
    docStarted = FALSE;
}
