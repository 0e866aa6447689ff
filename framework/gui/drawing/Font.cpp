#include "framework/gui/drawing/Font.h"

#include "framework/core/LogFont.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

namespace {

// Font handles live on the user-interface thread only.
std::unordered_map<HFONT, CFont*>& Fonts() {
    static std::unordered_map<HFONT, CFont*> fonts;
    return fonts;
}
HFONT nextFont = 0x100;

constexpr BYTE kFixedPitch = 1;
constexpr LONG kWeightNormal = 400;

double ScreenDpi() {
    if (QGuiApplication::instance() != nullptr) {
        if (QScreen* screen = QGuiApplication::primaryScreen())
            return screen->logicalDotsPerInchY();
    }
    return 96.0;
}

void CopyFaceName(const QString& family, LOGFONTA& logFont) {
    const QByteArray name = family.toLocal8Bit();
    const std::size_t length =
        std::min<std::size_t>(static_cast<std::size_t>(name.size()), sizeof(logFont.lfFaceName) - 1);
    std::memset(logFont.lfFaceName, 0, sizeof(logFont.lfFaceName));
    std::memcpy(logFont.lfFaceName, name.constData(), length);
}

QString FaceName(const LOGFONTA& logFont) {
    const std::size_t length = strnlen(logFont.lfFaceName, sizeof(logFont.lfFaceName));
    return QString::fromLocal8Bit(logFont.lfFaceName, static_cast<qsizetype>(length));
}

void ApplyStyle(const LOGFONTA& logFont, QFont& font) {
    const QString face = FaceName(logFont);
    if (!face.isEmpty())
        font.setFamily(face);
    if ((logFont.lfPitchAndFamily & 3) == kFixedPitch || face.isEmpty()) {
        font.setStyleHint(QFont::Monospace);
        font.setFixedPitch(true);
    }
    const LONG weight = logFont.lfWeight == 0 ? kWeightNormal : std::clamp<LONG>(logFont.lfWeight, 100, 900);
    font.setWeight(static_cast<QFont::Weight>(weight));
    font.setItalic(logFont.lfItalic != 0);
    font.setUnderline(logFont.lfUnderline != 0);
    font.setStrikeOut(logFont.lfStrikeOut != 0);
}

} // namespace

CFont::CFont() = default;

CFont::~CFont() {
    DeleteObject();
}

BOOL CFont::CreateFontIndirect(const LOGFONTA* lpLogFont) {
    if (lpLogFont == nullptr)
        return FALSE;
    DeleteObject();
    m_font = std::make_unique<QFont>(QFontFromLogFont(*lpLogFont));
    m_hObject = nextFont++;
    Fonts()[m_hObject] = this;
    return TRUE;
}

BOOL CFont::CreatePointFontIndirect(const LOGFONTA* lpLogFont) {
    if (lpLogFont == nullptr)
        return FALSE;
    DeleteObject();
    auto font = std::make_unique<QFont>();
    ApplyStyle(*lpLogFont, *font);
    const LONG tenths = std::abs(lpLogFont->lfHeight);
    if (tenths > 0)
        font->setPointSizeF(tenths / 10.0);
    m_font = std::move(font);
    m_hObject = nextFont++;
    Fonts()[m_hObject] = this;
    return TRUE;
}

int CFont::GetLogFont(LOGFONTA* pLogFont) const {
    if (pLogFont == nullptr || !m_font)
        return 0;
    LogFontFromQFont(*m_font, *pLogFont);
    return static_cast<int>(sizeof(LOGFONTA));
}

BOOL CFont::DeleteObject() {
    if (m_hObject == 0)
        return FALSE;
    Fonts().erase(m_hObject);
    m_hObject = 0;
    m_font.reset();
    return TRUE;
}

const QFont* CFont::GetQFont() const {
    return m_font.get();
}

CFont* CFont::FromHandle(HFONT hFont) {
    auto found = Fonts().find(hFont);
    return found != Fonts().end() ? found->second : nullptr;
}

LONG ScreenPixelsOfPoints(double points) {
    return static_cast<LONG>(std::lround(points * ScreenDpi() / 72.0));
}

QFont QFontFromLogFont(const LOGFONTA& logFont) {
    QFont font;
    ApplyStyle(logFont, font);
    // A negative height is the character height, a positive one the cell height (about a fifth more).
    if (logFont.lfHeight < 0)
        font.setPixelSize(static_cast<int>(-logFont.lfHeight));
    else if (logFont.lfHeight > 0)
        font.setPixelSize(std::max(1, static_cast<int>(std::lround(logFont.lfHeight * 0.83))));
    return font;
}

void LogFontFromQFont(const QFont& font, LOGFONTA& logFont) {
    std::memset(&logFont, 0, sizeof(logFont));
    if (font.pixelSize() > 0)
        logFont.lfHeight = -font.pixelSize();
    else
        logFont.lfHeight = -static_cast<LONG>(std::lround(font.pointSizeF() * ScreenDpi() / 72.0));
    logFont.lfWeight = static_cast<LONG>(font.weight());
    logFont.lfItalic = font.italic() ? 1 : 0;
    logFont.lfUnderline = font.underline() ? 1 : 0;
    logFont.lfStrikeOut = font.strikeOut() ? 1 : 0;
    logFont.lfPitchAndFamily = font.fixedPitch() ? kFixedPitch : 0;
    CopyFaceName(font.family(), logFont);
}

void GetSystemFixedLogFont(LOGFONTA& logFont) {
    QFont font = QGuiApplication::instance() != nullptr ? QFontDatabase::systemFont(QFontDatabase::FixedFont)
                                                        : QFont(QStringLiteral("Monospace"));
    font.setFixedPitch(true);
    LogFontFromQFont(font, logFont);
    logFont.lfPitchAndFamily = kFixedPitch;
}
