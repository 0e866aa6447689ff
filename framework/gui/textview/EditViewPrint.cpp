#include "framework/gui/textview/EditView.h"

#include "framework/gui/drawing/DC.h"
#include "framework/gui/drawing/Font.h"
#include "framework/gui/drawing/Rect.h"
#include "framework/gui/printing/PrintInfo.h"
#include "framework/gui/text/ByteGlyphs.h"
#include "framework/gui/text/DisplayText.h"
#include "framework/gui/text/HexDump.h"
#include "framework/gui/textview/HexView.h"

#include <QFont>
#include <QFontMetrics>
#include <QWidget>

#include <algorithm>
#include <array>
#include <cstdio>
#include <unordered_map>

namespace {

// Tab stops every eight average character widths, as the edit control places them.
constexpr int kTabColumns = 8;
// The text is read from the control in pieces, so that a page of a megabyte of text copies only what the
// page needs.
constexpr UINT kChunk = 16384;

// A window on the view's text from a start position, fetched in chunks as the layout goes on.
class TextCursor {
public:
    TextCursor(const CEditView& view, UINT start, UINT stop) : m_view(view), m_base(start), m_stop(stop) {}

    // The byte at pos, or -1 past the end.
    int At(UINT pos) {
        if (pos >= m_stop || pos < m_base)
            return -1;
        while (pos - m_base >= m_text.size()) {
            const UINT from = m_base + static_cast<UINT>(m_text.size());
            if (from >= m_stop)
                return -1;
            const UINT to = std::min(m_stop, from + kChunk);
            const CString piece = m_view.GetTextRange(static_cast<int>(from), static_cast<int>(to));
            if (piece.empty()) {
                m_stop = from;
                return -1;
            }
            m_text += piece;
        }
        return static_cast<unsigned char>(m_text[pos - m_base]);
    }
    const char* Data(UINT pos) const { return m_text.data() + (pos - m_base); }

private:
    const CEditView& m_view;
    UINT m_base;
    UINT m_stop;
    CString m_text;
};

} // namespace

BOOL CEditView::OnPreparePrinting(CPrintInfo* pInfo) {
    return DoPreparePrinting(pInfo);
}

void CEditView::OnBeginPrinting(CDC* pDC, CPrintInfo* pInfo) {
    (void)pInfo;
    m_aPageStart.assign(1, 0);
    // The view's font (the one last set on it) keeps its size in points on the printer. A font given in
    // screen pixels is turned into points first, or it would print a few pixels high at the printer's
    // resolution.
    const CFont* viewFont = GetFont() != 0 ? CFont::FromHandle(GetFont()) : nullptr;
    QFont font = viewFont != nullptr && viewFont->GetQFont() != nullptr ? *viewFont->GetQFont() : QFont();
    if (font.pixelSize() > 0) {
        const int screenDpi = GetWidget() != nullptr ? GetWidget()->logicalDpiY() : 96;
        font.setPointSizeF(font.pixelSize() * 72.0 / (screenDpi > 0 ? screenDpi : 96));
    }
    m_printerFont = std::make_unique<QFont>(font);
    (void)pDC;
}

void CEditView::OnPrepareDC(CDC* pDC, CPrintInfo* pInfo) {
    if (pInfo == nullptr)
        return;
    const UINT page = pInfo->m_nCurPage;
    if (page > m_aPageStart.size())
        PaginateTo(pDC, pInfo);
    pInfo->m_bContinuePrinting = page >= 1 && page <= m_aPageStart.size();
}

void CEditView::PaginateTo(CDC* pDC, CPrintInfo* pInfo) {
    const CRect savedRect = pInfo->m_rectDraw;
    const UINT savedPage = pInfo->m_nCurPage;
    const bool wasSuppressed = pDC->IsOutputSuppressed();
    pDC->SetOutputSuppressed(true);
    // Each page is laid out by the view's own OnPrint, so that a view that prints inside a smaller
    // rectangle paginates inside it too.
    pInfo->m_nCurPage = static_cast<UINT>(m_aPageStart.size());
    while (pInfo->m_nCurPage < savedPage) {
        const std::size_t known = m_aPageStart.size();
        pInfo->m_rectDraw = savedRect;
        OnPrint(pDC, pInfo);
        if (m_aPageStart.size() == known)
            break;
        ++pInfo->m_nCurPage;
    }
    pDC->SetOutputSuppressed(wasSuppressed);
    pInfo->m_rectDraw = savedRect;
    pInfo->m_nCurPage = savedPage;
}

void CEditView::OnPrint(CDC* pDC, CPrintInfo* pInfo) {
    const UINT page = pInfo->m_nCurPage;
    if (page < 1 || page > m_aPageStart.size())
        return;
    const UINT start = m_aPageStart[page - 1];
    const UINT length = static_cast<UINT>(GetWindowTextLength());
    const UINT next = PrintInsideRect(pDC, pInfo->m_rectDraw, start, length);
    // A page that could place nothing ends the job instead of repeating itself for ever.
    if (page == m_aPageStart.size() && next < length && next > start)
        m_aPageStart.push_back(next);
}

void CEditView::OnEndPrinting(CDC* pDC, CPrintInfo* pInfo) {
    (void)pDC;
    (void)pInfo;
    m_aPageStart.clear();
    m_printerFont.reset();
}

UINT CEditView::PrintInsideRect(CDC* pDC, CRect& rectLayout, UINT nIndexStart, UINT nIndexStop) {
    if (m_bHexView)
        return PrintDumpInsideRect(pDC, rectLayout, nIndexStart, nIndexStop);
    const UINT length = static_cast<UINT>(GetWindowTextLength());
    nIndexStop = std::min(nIndexStop, length);
    if (nIndexStart >= nIndexStop) {
        rectLayout.bottom = rectLayout.top;
        return nIndexStart;
    }

    const int saved = pDC->SaveDC();
    if (m_printerFont)
        pDC->SelectQFont(*m_printerFont);
    TEXTMETRIC metrics;
    pDC->GetTextMetrics(&metrics);
    const int lineHeight = std::max<LONG>(1, metrics.tmHeight + metrics.tmExternalLeading);
    const int tabWidth = std::max<LONG>(1, metrics.tmAveCharWidth * kTabColumns);
    const int width = rectLayout.Width();

    // Control bytes print as boxes holding their two hexadecimal digits, in a smaller font: no printer
    // font need have the control pictures.
    QFont digitsFont = pDC->GetCurrentFont();
    if (digitsFont.pixelSize() > 0)
        digitsFont.setPixelSize(std::max(4, digitsFont.pixelSize() * 11 / 20));
    else
        digitsFont.setPointSizeF(std::max(3.0, digitsFont.pointSizeF() * 0.55));
    const QFont textFont = pDC->GetCurrentFont();
    pDC->SelectQFont(digitsFont);
    const CSize digits = pDC->GetTextExtentUtf8("00");
    pDC->SelectQFont(textFont);
    const int boxWidth = digits.cx + std::max(4, digits.cx / 3);
    auto drawBox = [&](int x, int y, int byte) {
        const int left = x + 1;
        const int right = x + boxWidth - 2;
        const int top = y + lineHeight / 8;
        const int bottom = y + lineHeight - lineHeight / 8;
        pDC->MoveTo(left, top);
        pDC->LineTo(right, top);
        pDC->LineTo(right, bottom);
        pDC->LineTo(left, bottom);
        pDC->LineTo(left, top);
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", byte);
        pDC->SelectQFont(digitsFont);
        pDC->TextOutUtf8(x + (boxWidth - digits.cx) / 2, y + (lineHeight - digits.cy) / 2, hex);
        pDC->SelectQFont(textFont);
    };

    // Widths of the 256 byte values, measured once per call on the attribute side.
    std::array<int, 256> advance{};
    for (int b = 0; b < 256; ++b) {
        const char byte = static_cast<char>(b);
        advance[b] = CByteGlyphs::IsControl(static_cast<unsigned char>(b)) ? boxWidth
                                                                           : pDC->GetTextExtent(&byte, 1).cx;
    }

    // Decoded, the page shows what the view shows: characters in their width, hidden sequences in none,
    // each run in its colour (the printer makes of colours what it can).
    const CDisplayText& display = *m_display;
    const bool decoded = !display.Reading().ShowsEveryByte();
    std::unordered_map<char32_t, int> charAdvance;
    auto advanceAt = [&](UINT pos, int c) {
        if (!decoded)
            return advance[c];
        const ShownByte shown = display.Shown(pos);
        if (shown.kind == ShownByte::kByte)
            return advance[c];
        if (shown.kind != ShownByte::kChar)
            return 0;
        auto known = charAdvance.find(shown.code);
        if (known == charAdvance.end())
            known = charAdvance
                        .emplace(shown.code,
                                 pDC->GetTextExtentUtf8(QString::fromUcs4(&shown.code, 1).toStdString()).cx)
                        .first;
        return known->second;
    };
    auto boxed = [&](UINT pos, int c) {
        return CByteGlyphs::IsControl(static_cast<unsigned char>(c)) &&
               (!decoded || display.Shown(pos).kind == ShownByte::kByte);
    };
    auto drawRun = [&](int x, int y, UINT from, UINT to, TextCursor& text) {
        for (UINT a = from; a < to;) {
            if (boxed(a, text.At(a))) {
                drawBox(x, y, text.At(a));
                x += boxWidth;
                ++a;
                continue;
            }
            const std::uint32_t colour = decoded ? display.Shown(a).style.foreground : 0;
            UINT b = a + 1;
            while (b < to && !boxed(b, text.At(b)) &&
                   (!decoded || display.Shown(b).style.foreground == colour))
                ++b;
            if (decoded) {
                pDC->SetTextColor(colour & ShownStyle::kSet
                                      ? RGB(colour >> 16 & 0xFF, colour >> 8 & 0xFF, colour & 0xFF)
                                      : RGB(0, 0, 0));
                pDC->TextOutUtf8(x, y, display.ShownText(a, b).toStdString());
            } else {
                pDC->TextOut(x, y, text.Data(a), static_cast<int>(b - a));
            }
            for (UINT q = a; q < b; ++q)
                x += advanceAt(q, text.At(q));
            a = b;
        }
    };
    TextCursor text(*this, nIndexStart, nIndexStop);
    UINT index = nIndexStart;
    int y = rectLayout.top;
    while (index < nIndexStop && y + lineHeight <= rectLayout.bottom) {
        // Find how much of this line fits: up to its line break, or to the last space that fits, or to the
        // last character that fits; always at least one character so that every line makes progress.
        UINT pos = index;
        int x = 0;
        UINT lastSpace = 0;
        bool brokenAtEnd = false;
        for (int c = text.At(pos); c >= 0; c = text.At(pos)) {
            if (c == '\r' || c == '\n') {
                brokenAtEnd = true;
                break;
            }
            const int next = c == '\t' ? (x / tabWidth + 1) * tabWidth : x + advanceAt(pos, c);
            if (next > width && pos > index)
                break;
            if (c == ' ' || c == '\t')
                lastSpace = pos + 1;
            x = next;
            ++pos;
        }
        UINT lineEnd = pos;
        UINT resume = pos;
        if (brokenAtEnd) {
            resume = pos + 1;
            if (text.At(pos) == '\r' && text.At(pos + 1) == '\n')
                resume = pos + 2;
        } else if (text.At(pos) >= 0 && lastSpace > index) {
            lineEnd = lastSpace;
            resume = lastSpace;
        }

        // Draw the line's runs between tabs at their tab stops.
        int runX = 0;
        UINT runStart = index;
        for (UINT p = index; p <= lineEnd; ++p) {
            const bool atEnd = p == lineEnd;
            if (atEnd || text.At(p) == '\t') {
                if (p > runStart) {
                    drawRun(rectLayout.left + runX, y, runStart, p, text);
                    for (UINT q = runStart; q < p; ++q)
                        runX += advanceAt(q, text.At(q));
                }
                if (!atEnd)
                    runX = (runX / tabWidth + 1) * tabWidth;
                runStart = p + 1;
            }
        }
        index = std::min(resume, nIndexStop);
        y += lineHeight;
    }
    rectLayout.bottom = y;
    pDC->RestoreDC(saved);
    return index;
}

UINT CEditView::PrintDumpInsideRect(CDC* pDC, CRect& rectLayout, UINT nIndexStart, UINT nIndexStop) {
    const UINT length = static_cast<UINT>(GetWindowTextLength());
    nIndexStop = std::min(nIndexStop, length);
    if (nIndexStart >= nIndexStop) {
        rectLayout.bottom = rectLayout.top;
        return nIndexStart;
    }
    const CHexDump dump = m_hex->Dump();
    const int saved = pDC->SaveDC();
    // A dump line never wraps: the view's font (a fixed one, so that the columns line up) shrinks until a
    // whole line fits across the page.
    QFont font = CHexView::DumpFont(m_printerFont ? *m_printerFont : QFont());
    pDC->SelectQFont(font);
    const CString widest(dump.LineLength(), '0');
    const int needed = pDC->GetTextExtent(widest).cx;
    if (needed > rectLayout.Width() && needed > 0 && font.pointSizeF() > 0) {
        font.setPointSizeF(font.pointSizeF() * rectLayout.Width() / needed * 0.98);
        pDC->SelectQFont(font);
    }
    TEXTMETRIC metrics;
    pDC->GetTextMetrics(&metrics);
    const int lineHeight = std::max<LONG>(1, metrics.tmHeight + metrics.tmExternalLeading);
    std::size_t row = dump.RowOf(nIndexStart);
    UINT index = nIndexStart;
    int y = rectLayout.top;
    while (index < nIndexStop && y + lineHeight <= rectLayout.bottom) {
        pDC->TextOut(rectLayout.left, y, dump.Line(row, nIndexStart, nIndexStop));
        index = static_cast<UINT>(std::min<std::size_t>(dump.RowEnd(row), nIndexStop));
        ++row;
        y += lineHeight;
    }
    rectLayout.bottom = y;
    pDC->RestoreDC(saved);
    return index;
}
