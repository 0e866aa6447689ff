#include "framework/gui/GlyphCells.h"

#include "framework/gui/ByteGlyphs.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>

CGlyphCells::CGlyphCells(const CByteGlyphs& glyphs, int lineHeight, QColor background, QColor pen)
    : m_font(glyphs.Font()), m_lineHeight(lineHeight), m_background(background.rgb()), m_pen(pen.rgb()) {
    std::vector<qreal> xs;
    qreal widest = 1;
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<unsigned char>(b);
        glyphs.Positions(&byte, 1, xs);
        widest = std::max(widest, xs[1]);
    }
    m_cellWidth = static_cast<int>(std::ceil(widest)) + 1;
    m_atlas = QImage(m_cellWidth * 256, std::max(1, lineHeight), QImage::Format_RGB32);
    m_atlas.fill(background);
    QPainter painter(&m_atlas);
    painter.setPen(pen);
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<unsigned char>(b);
        if (byte == '\t' || byte == '\r' || byte == '\n')
            continue;
        glyphs.Positions(&byte, 1, xs);
        painter.setClipRect(b * m_cellWidth, 0, m_cellWidth, m_atlas.height());
        glyphs.Draw(painter, QPointF(b * m_cellWidth, glyphs.Ascent()), &byte, 0, 1, xs);
        m_drawn[static_cast<std::size_t>(b)] = true;
    }
}

bool CGlyphCells::Matches(const QFont& font, int lineHeight, QColor background, QColor pen) const {
    return m_lineHeight == lineHeight && m_background == background.rgb() && m_pen == pen.rgb() &&
           m_font == font;
}

void CGlyphCells::Draw(QImage& image, int left, int top, const unsigned char* bytes, std::size_t from,
                       std::size_t to, const std::vector<qreal>& xs) const {
    const int rowFrom = std::max(0, top);
    const int rowTo = std::min(image.height(), top + m_atlas.height());
    if (rowFrom >= rowTo)
        return;
    uchar* target = image.bits();
    const qsizetype targetStride = image.bytesPerLine();
    const uchar* source = m_atlas.constBits();
    const qsizetype sourceStride = m_atlas.bytesPerLine();
    const int width = image.width();
    for (std::size_t i = from; i < to; ++i) {
        const unsigned char byte = bytes[i];
        const int start = left + static_cast<int>(std::lround(xs[i]));
        if (start >= width)
            break;
        const int end = left + static_cast<int>(std::lround(xs[i + 1]));
        // The glyph's cell, then the background for what the cell does not cover (a tab's wide advance).
        const int cellEnd = m_drawn[byte] ? std::min(end, start + m_cellWidth) : start;
        const int x0 = std::max(start, 0);
        const int x1 = std::min(cellEnd, width);
        if (x0 < x1) {
            const qsizetype bytesInRow = static_cast<qsizetype>(x1 - x0) * 4;
            const uchar* cell = source + (static_cast<qsizetype>(byte) * m_cellWidth + (x0 - start)) * 4;
            for (int y = rowFrom; y < rowTo; ++y)
                std::memcpy(target + y * targetStride + static_cast<qsizetype>(x0) * 4,
                            cell + (y - top) * sourceStride, static_cast<std::size_t>(bytesInRow));
        }
        const int blank0 = std::max(std::max(cellEnd, x0), 0);
        const int blank1 = std::min(end, width);
        if (blank0 >= blank1)
            continue;
        for (int y = rowFrom; y < rowTo; ++y) {
            auto* pixels = reinterpret_cast<QRgb*>(target + y * targetStride);
            std::fill(pixels + blank0, pixels + blank1, m_background);
        }
    }
}

void CGlyphCells::Fill(QImage& image, const QRect& rect, QColor color) {
    const QRect clipped = rect.intersected(image.rect());
    if (clipped.isEmpty())
        return;
    const QRgb value = color.rgb();
    for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        std::fill(row + clipped.left(), row + clipped.right() + 1, value);
    }
}
