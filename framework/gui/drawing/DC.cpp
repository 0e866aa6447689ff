#include "framework/gui/drawing/DC.h"

#include "framework/gui/text/DisplayText.h"

#include <QColor>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPen>
#include <QString>

#include <cmath>

struct CDC::State {
    QFont font;
    // The context's default font is chosen when it is first needed: a context made before the application
    // exists would otherwise keep a font without a family, which measures as one face and draws as another.
    bool defaultFontPending = true;
    CFont* pFont = nullptr;
    CPen* pPen = nullptr;
    QPen pen;
    COLORREF textColor = RGB(0, 0, 0);
};

namespace {

// Without a device the context measures like a screen of the usual resolution.
constexpr int kScreenDpi = 96;

QColor ColorFromRef(COLORREF color) {
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

// The default font of a fresh context: a proportional 10-point font, sized on whatever device draws.
QFont DefaultFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSize(10);
    return font;
}

// The stock fixed-pitch font, 10 points high.
QFont FixedFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSize(10);
    return font;
}

// The font exactly as a painter on a printing device draws it: attributes the font leaves open are taken
// from the application's font, as the painter does, and then fixed, so that measuring and drawing agree.
QFont DeviceFont(const QFont& font) {
    if (QGuiApplication::instance() == nullptr)
        return font;
    QFont resolved = font.resolve(QGuiApplication::font());
    resolved.setResolveMask(QFont::AllPropertiesResolved);
    return resolved;
}

QPen PenFor(const CPen& pen) {
    QPen qpen(ColorFromRef(pen.m_crColor));
    qpen.setStyle(Qt::SolidLine);
    // Width 0 is Qt's cosmetic one-pixel pen, the platform's thinnest line.
    qpen.setWidth(pen.m_nWidth > 0 ? pen.m_nWidth : 0);
    qpen.setCapStyle(Qt::FlatCap);
    return qpen;
}

QPen DefaultPen() {
    QPen pen(Qt::black);
    pen.setWidth(0);
    return pen;
}

} // namespace

QString TextForBytes(const char* text, int nCount) {
    QString out;
    out.reserve(nCount > 0 ? nCount : 0);
    for (int i = 0; i < nCount; ++i)
        out.append(QChar(CDisplayText::CharForByte(static_cast<unsigned char>(text[i]))));
    return out;
}

BOOL CPen::CreatePen(int nPenStyle, int nWidth, COLORREF crColor) {
    if (m_bCreated)
        return FALSE;
    m_nStyle = nPenStyle;
    m_nWidth = nWidth < 0 ? 0 : nWidth;
    m_crColor = crColor;
    m_bCreated = true;
    return TRUE;
}

BOOL CPen::DeleteObject() {
    if (!m_bCreated)
        return FALSE;
    m_bCreated = false;
    return TRUE;
}

CDC::CDC() : m_state(std::make_unique<State>()) {
    m_state->pen = DefaultPen();
}

CDC::~CDC() = default;

void CDC::SetOutput(QPainter* pOutput) {
    m_pOutput = pOutput;
    ApplyPen();
}

void CDC::SetAttribDevice(QPaintDevice* pAttrib) {
    m_pAttrib = pAttrib;
}

int CDC::GetDeviceCaps(int nIndex) const {
    switch (nIndex) {
    case LOGPIXELSX:
        return m_pAttrib != nullptr ? m_pAttrib->logicalDpiX() : kScreenDpi;
    case LOGPIXELSY:
        return m_pAttrib != nullptr ? m_pAttrib->logicalDpiY() : kScreenDpi;
    case HORZRES:
        return m_pAttrib != nullptr ? m_pAttrib->width() : 0;
    case VERTRES:
        return m_pAttrib != nullptr ? m_pAttrib->height() : 0;
    default:
        return 0;
    }
}

BOOL CDC::GetTextMetrics(TEXTMETRIC* lpMetrics) const {
    if (lpMetrics == nullptr)
        return FALSE;
    const QFont font = DeviceFont(CurrentFont());
    const QFontMetrics metrics = m_pAttrib != nullptr ? QFontMetrics(font, m_pAttrib) : QFontMetrics(font);
    const int dpi = GetDeviceCaps(LOGPIXELSY);
    // The character height (the em) in device pixels; the cell above it is the internal leading.
    const double em = font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF() * dpi / 72.0;
    lpMetrics->tmAscent = metrics.ascent();
    lpMetrics->tmDescent = metrics.descent();
    lpMetrics->tmHeight = metrics.ascent() + metrics.descent();
    const LONG internal = lpMetrics->tmHeight - static_cast<LONG>(std::lround(em));
    lpMetrics->tmInternalLeading = internal > 0 ? internal : 0;
    lpMetrics->tmExternalLeading = metrics.leading() > 0 ? metrics.leading() : 0;
    lpMetrics->tmAveCharWidth = metrics.averageCharWidth();
    lpMetrics->tmMaxCharWidth = metrics.maxWidth();
    return TRUE;
}

CSize CDC::GetTextExtent(const CString& text) const {
    return GetTextExtent(text.data(), static_cast<int>(text.size()));
}

CSize CDC::GetTextExtent(const char* text, int nCount) const {
    return MeasureString(TextForBytes(text, nCount));
}

CSize CDC::GetTextExtentUtf8(const CString& text) const {
    return MeasureString(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

CSize CDC::MeasureString(const QString& text) const {
    const QFont font = DeviceFont(CurrentFont());
    const QFontMetrics metrics = m_pAttrib != nullptr ? QFontMetrics(font, m_pAttrib) : QFontMetrics(font);
    CSize size;
    size.cx = metrics.horizontalAdvance(text);
    size.cy = metrics.height();
    return size;
}

BOOL CDC::TextOut(int x, int y, const CString& text) {
    return TextOut(x, y, text.data(), static_cast<int>(text.size()));
}

BOOL CDC::TextOut(int x, int y, const char* text, int nCount) {
    return DrawString(x, y, TextForBytes(text, nCount));
}

BOOL CDC::TextOutUtf8(int x, int y, const CString& text) {
    return DrawString(x, y, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

BOOL CDC::DrawString(int x, int y, const QString& text) {
    if (m_bSuppressed)
        return TRUE;
    if (m_pOutput == nullptr || !m_pOutput->isActive())
        return FALSE;
    const QFont font = DeviceFont(CurrentFont());
    m_pOutput->save();
    m_pOutput->setFont(font);
    m_pOutput->setPen(ColorFromRef(m_state->textColor));
    // The cell's top is at y, so the baseline lies one ascent below it, measured on the drawing device.
    const QFontMetrics metrics(font, m_pOutput->device());
    m_pOutput->drawText(QPoint(x, y + metrics.ascent()), text);
    m_pOutput->restore();
    return TRUE;
}

void CDC::MoveTo(int x, int y) {
    m_curX = x;
    m_curY = y;
}

BOOL CDC::LineTo(int x, int y) {
    const int fromX = m_curX;
    const int fromY = m_curY;
    MoveTo(x, y);
    if (m_bSuppressed)
        return TRUE;
    if (m_pOutput == nullptr || !m_pOutput->isActive())
        return FALSE;
    m_pOutput->setPen(m_state->pen);
    m_pOutput->drawLine(fromX, fromY, x, y);
    return TRUE;
}

COLORREF CDC::SetTextColor(COLORREF crColor) {
    const COLORREF previous = m_state->textColor;
    m_state->textColor = crColor;
    return previous;
}

CPen* CDC::SelectObject(CPen* pPen) {
    CPen* previous = m_state->pPen;
    m_state->pPen = pPen;
    m_state->pen = pPen != nullptr ? PenFor(*pPen) : DefaultPen();
    ApplyPen();
    return previous;
}

BOOL CDC::SelectStockObject(int nIndex) {
    if (nIndex != ANSI_FIXED_FONT)
        return FALSE;
    m_state->font = FixedFont();
    m_state->defaultFontPending = false;
    m_state->pFont = nullptr;
    return TRUE;
}

void CDC::SelectQFont(const QFont& font) {
    m_state->font = font;
    m_state->defaultFontPending = false;
    m_state->pFont = nullptr;
}

CFont* CDC::ExchangeFont(CFont* pFont, const QFont* font) {
    CFont* previous = m_state->pFont;
    if (font != nullptr) {
        m_state->font = *font;
        m_state->defaultFontPending = false;
    } else if (pFont == nullptr) {
        m_state->defaultFontPending = true;
    }
    m_state->pFont = pFont;
    return previous;
}

const QFont& CDC::GetCurrentFont() const {
    return CurrentFont();
}

const QFont& CDC::CurrentFont() const {
    // Until an application exists there is no system font to choose; the placeholder is kept meanwhile.
    if (m_state->defaultFontPending && QGuiApplication::instance() != nullptr) {
        m_state->font = DefaultFont();
        m_state->defaultFontPending = false;
    }
    return m_state->font;
}

int CDC::SaveDC() {
    m_saved.push_back(*m_state);
    return static_cast<int>(m_saved.size());
}

BOOL CDC::RestoreDC(int nSavedDC) {
    const int count = static_cast<int>(m_saved.size());
    const int level = nSavedDC < 0 ? count + 1 + nSavedDC : nSavedDC;
    if (level < 1 || level > count)
        return FALSE;
    *m_state = m_saved[level - 1];
    m_saved.resize(level - 1);
    ApplyPen();
    return TRUE;
}

void CDC::ApplyPen() {
    if (m_pOutput != nullptr && m_pOutput->isActive())
        m_pOutput->setPen(m_state->pen);
}

int CDC::StartDoc() {
    m_nPagesStarted = 0;
    m_bPageOpen = false;
    return m_pOutput != nullptr && m_pOutput->isActive() ? 1 : -1;
}

int CDC::StartPage() {
    if (m_pOutput == nullptr || !m_pOutput->isActive())
        return -1;
    if (m_nPagesStarted > 0) {
        auto* paged = dynamic_cast<QPagedPaintDevice*>(m_pOutput->device());
        if (paged == nullptr || !paged->newPage())
            return -1;
    }
    ++m_nPagesStarted;
    m_bPageOpen = true;
    return 1;
}

int CDC::EndPage() {
    if (!m_bPageOpen)
        return -1;
    m_bPageOpen = false;
    return 1;
}

int CDC::EndDoc() {
    m_bPageOpen = false;
    if (m_pOutput == nullptr || !m_pOutput->isActive())
        return -1;
    return m_pOutput->end() ? 1 : -1;
}
