#include "framework/gui/text/ByteGlyphs.h"

#include "framework/gui/text/DisplayText.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace {

// Text layout hides a soft hyphen unless it breaks a line; received, it must be seen.
constexpr unsigned char kSoftHyphen = 0xAD;
constexpr char16_t kShownSoftHyphen = u'\u2010';

} // namespace

bool CByteGlyphs::IsControl(unsigned char byte) {
    return byte < 0x20 || byte == 0x7F || byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 ||
           byte == 0x9D;
}

int CByteGlyphs::ByteShowing(char32_t code) {
    if (code < 0x80)
        return code >= 0x20 && code != 0x7F ? static_cast<int>(code) : -1;
    if (code == kShownSoftHyphen || code > 0xFFFF)
        return -1;
    const int byte = CDisplayText::ByteForChar(static_cast<char16_t>(code));
    return byte >= 0 && !IsControl(static_cast<unsigned char>(byte)) ? byte : -1;
}

char16_t CByteGlyphs::ShownChar(unsigned char byte) {
    return byte == kSoftHyphen ? kShownSoftHyphen : CDisplayText::CharForByte(byte);
}

CByteGlyphs::CByteGlyphs(const QFont& font, qreal tabStop) : m_font(font), m_tabStop(tabStop) {
    const QFontMetricsF metrics(font);
    m_ascent = metrics.ascent();
    m_descent = metrics.descent();
    m_boxFont = font;
    m_boxFont.setPixelSize(std::max(5, static_cast<int>(std::lround((m_ascent + m_descent) * 0.5))));
    m_boxFont.setBold(false);
    m_boxFont.setItalic(false);
    const qreal boxWidth = std::max(metrics.horizontalAdvance(QLatin1Char('W')),
                                    QFontMetricsF(m_boxFont).horizontalAdvance(QStringLiteral("DD")) + 4);
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<unsigned char>(b);
        if (byte == '\t' || byte == '\r' || byte == '\n')
            continue;
        if (IsControl(byte)) {
            m_glyphs[b].box = true;
            m_glyphs[b].advance = boxWidth;
            m_widest = std::max(m_widest, boxWidth);
            continue;
        }
        QTextLayout layout(QString(QChar(ShownChar(byte))), font);
        layout.beginLayout();
        QTextLine line = layout.createLine();
        layout.endLayout();
        Glyph& glyph = m_glyphs[b];
        glyph.advance = line.isValid() ? line.naturalTextWidth() : 0;
        m_widest = std::max(m_widest, glyph.advance);
        const QList<QGlyphRun> runs = layout.glyphRuns();
        if (runs.isEmpty() || runs.front().glyphIndexes().isEmpty() ||
            runs.front().glyphIndexes().front() == 0) {
            // No installed font has it.
            glyph.box = true;
            glyph.advance = boxWidth;
            m_widest = std::max(m_widest, boxWidth);
            continue;
        }
        const QRawFont raw = runs.front().rawFont();
        auto known = std::find(m_fonts.begin(), m_fonts.end(), raw);
        if (known == m_fonts.end())
            known = m_fonts.insert(m_fonts.end(), raw);
        glyph.font = static_cast<int>(known - m_fonts.begin());
        glyph.index = runs.front().glyphIndexes().front();
    }
}

void CByteGlyphs::Positions(const unsigned char* bytes, std::size_t count, std::vector<qreal>& xs) const {
    xs.resize(count + 1);
    qreal x = 0;
    for (std::size_t i = 0; i < count; ++i) {
        xs[i] = x;
        if (bytes[i] == '\t')
            x = (std::floor(x / m_tabStop) + 1) * m_tabStop;
        else
            x += m_glyphs[bytes[i]].advance;
    }
    xs[count] = x;
}

void CByteGlyphs::Positions(const unsigned char* bytes, const ShownByte* shown, std::size_t count,
                            qreal cellWidth, std::vector<qreal>& xs) const {
    xs.resize(count + 1);
    qreal x = 0;
    for (std::size_t i = 0; i < count; ++i) {
        xs[i] = x;
        const ShownByte& cell = shown[i];
        if (cell.kind == ShownByte::kByte) {
            if (bytes[i] == '\t')
                x = (std::floor(x / m_tabStop) + 1) * m_tabStop;
            else
                x += m_glyphs[bytes[i]].advance;
        } else if (cell.kind == ShownByte::kChar) {
            const int byte = ByteShowing(cell.code);
            x += byte >= 0 ? m_glyphs[static_cast<std::size_t>(byte)].advance : cell.width * cellWidth;
        }
    }
    xs[count] = x;
}

void CByteGlyphs::DrawBox(QPainter& painter, const QPointF& origin, qreal x, unsigned char byte) const {
    const Glyph& glyph = m_glyphs[byte];
    const QRectF box(origin.x() + std::round(x) + 1.5, origin.y() - m_ascent + 1.5, glyph.advance - 3,
                     m_ascent + m_descent - 3);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(box);
    painter.setFont(m_boxFont);
    painter.drawText(box, Qt::AlignCenter, QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper());
    painter.restore();
}

void CByteGlyphs::Draw(QPainter& painter, const QPointF& origin, const unsigned char* bytes, std::size_t from,
                       std::size_t to, const std::vector<qreal>& xs) const {
    QList<quint32> indexes;
    QList<QPointF> positions;
    int current = -1;
    auto flush = [&]() {
        if (current >= 0 && !indexes.isEmpty()) {
            QGlyphRun run;
            run.setRawFont(m_fonts[static_cast<std::size_t>(current)]);
            run.setGlyphIndexes(indexes);
            run.setPositions(positions);
            painter.drawGlyphRun(origin, run);
        }
        indexes.clear();
        positions.clear();
    };
    for (std::size_t i = from; i < to; ++i) {
        const Glyph& glyph = m_glyphs[bytes[i]];
        if (glyph.box) {
            DrawBox(painter, origin, xs[i], bytes[i]);
            continue;
        }
        if (glyph.font < 0)
            continue;
        if (glyph.font != current) {
            flush();
            current = glyph.font;
        }
        indexes.append(glyph.index);
        // Whole pixels: the glyph cache then holds one image per glyph, not one per fraction.
        positions.append(QPointF(std::round(xs[i]), 0));
    }
    flush();
}
