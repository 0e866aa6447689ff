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

char16_t CByteGlyphs::ShownChar(unsigned char byte) {
    return byte == kSoftHyphen ? kShownSoftHyphen : CDisplayText::CharForByte(byte);
}

CByteGlyphs::CByteGlyphs(const QFont& font, qreal tabStop) : m_font(font), m_tabStop(tabStop) {
    m_ascent = QFontMetricsF(font).ascent();
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<unsigned char>(b);
        if (byte == '\t' || byte == '\r' || byte == '\n')
            continue;
        QTextLayout layout(QString(QChar(ShownChar(byte))), font);
        layout.beginLayout();
        QTextLine line = layout.createLine();
        layout.endLayout();
        Glyph& glyph = m_glyphs[b];
        glyph.advance = line.isValid() ? line.naturalTextWidth() : 0;
        m_widest = std::max(m_widest, glyph.advance);
        const QList<QGlyphRun> runs = layout.glyphRuns();
        if (runs.isEmpty() || runs.front().glyphIndexes().isEmpty())
            continue;
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
