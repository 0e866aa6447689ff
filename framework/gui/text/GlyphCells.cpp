#include "framework/gui/text/GlyphCells.h"

#include "framework/gui/text/ByteGlyphs.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// A cell row is copied as a block of this many pixels where the room allows: a copy of a fixed size is a
// few instructions, where a call per glyph and pixel row cost most of a paint. What the block writes
// beyond the cell is written again by the next cell of the same run.
constexpr int kCopyPixels = 16;

// The largest image of cells: 8 MB holds the 256 cells of a 100-pixel font, far more than a terminal needs.
constexpr qint64 kLargestAtlasBytes = 8 * 1024 * 1024;

int CellWidthOf(const CByteGlyphs& glyphs) {
    return static_cast<int>(std::ceil(std::max<qreal>(1, glyphs.WidestAdvance()))) + 1;
}

uchar* PixelsOf(QImage& image) {
    // In place: a backing store's image may be shared, and a detached copy would show nothing.
    return const_cast<uchar*>(image.constBits());
}

// The rows of one run: for each pixel row, each cell's row, then the background a cell leaves. A cell no
// wider than Block pixels goes as one block of Block pixels where the run has room for it.
struct RowsOf {
    uchar* target;
    qsizetype targetStride;
    const uchar* source;
    qsizetype sourceStride;
    int rowFrom, rowTo, top, runEnd;
    QRgb background;
};

template <int Block, typename Spans> void CopyRows(const RowsOf& rows, const Spans& spans) {
    for (int y = rows.rowFrom; y < rows.rowTo; ++y) {
        auto* pixels = reinterpret_cast<QRgb*>(rows.target + y * rows.targetStride);
        const auto* cells = reinterpret_cast<const QRgb*>(rows.source + (y - rows.top) * rows.sourceStride);
        for (const auto& span : spans) {
            const int width = span.x1 - span.x0;
            if (width > 0) {
                if (width <= Block && span.x0 + Block <= rows.runEnd)
                    std::memcpy(pixels + span.x0, cells + span.source, Block * sizeof(QRgb));
                else
                    std::memcpy(pixels + span.x0, cells + span.source,
                                static_cast<std::size_t>(width) * sizeof(QRgb));
            }
            if (span.blank0 < span.blank1)
                std::fill(pixels + span.blank0, pixels + span.blank1, rows.background);
        }
    }
}

} // namespace

CGlyphCells::CGlyphCells(const CByteGlyphs& glyphs, int lineHeight, QColor background, QColor pen)
    : m_font(glyphs.Font()), m_lineHeight(lineHeight), m_background(background.rgb()), m_pen(pen.rgb()) {
    std::vector<qreal> xs;
    m_cellWidth = CellWidthOf(glyphs);
    m_atlas = QImage(m_cellWidth * 256 + kCopyPixels, std::max(1, lineHeight), QImage::Format_RGB32);
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

bool CGlyphCells::Affordable(const CByteGlyphs& glyphs, int lineHeight) {
    const qint64 width = static_cast<qint64>(CellWidthOf(glyphs)) * 256 + kCopyPixels;
    return width * std::max(1, lineHeight) * static_cast<qint64>(sizeof(QRgb)) <= kLargestAtlasBytes;
}

bool CGlyphCells::Matches(const QFont& font, int lineHeight, QColor background, QColor pen) const {
    return m_lineHeight == lineHeight && m_background == background.rgb() && m_pen == pen.rgb() &&
           m_font == font;
}

void CGlyphCells::Draw(QImage& image, int left, int top, const unsigned char* bytes, std::size_t from,
                       std::size_t to, const std::vector<qreal>& xs, const QRect& clip) const {
    const QRect area = clip.isEmpty() ? image.rect() : clip.intersected(image.rect());
    const int rowFrom = std::max(area.top(), top);
    const int rowTo = std::min(area.bottom() + 1, top + m_atlas.height());
    if (rowFrom >= rowTo || area.isEmpty())
        return;
    const int areaEnd = area.right() + 1;
    // The columns once for the run, then the run row by row: the writes go forward through memory.
    m_spans.clear();
    int runEnd = area.left();
    int widest = 0;
    int end = left + static_cast<int>(std::lround(xs[from]));
    for (std::size_t i = from; i < to; ++i) {
        const int start = end;
        if (start >= areaEnd)
            break;
        end = left + static_cast<int>(std::lround(xs[i + 1]));
        if (end <= area.left())
            continue;
        const unsigned char byte = bytes[i];
        const int cellEnd = m_drawn[byte] ? std::min(end, start + m_cellWidth) : start;
        Span span;
        span.x0 = std::max(start, area.left());
        span.x1 = std::min(cellEnd, areaEnd);
        span.source = byte * m_cellWidth + (span.x0 - start);
        span.blank0 = std::max(cellEnd, area.left());
        span.blank1 = std::min(end, areaEnd);
        m_spans.push_back(span);
        runEnd = std::min(end, areaEnd);
        widest = std::max(widest, span.x1 - span.x0);
    }
    RowsOf context{PixelsOf(image),
                   image.bytesPerLine(),
                   m_atlas.constBits(),
                   m_atlas.bytesPerLine(),
                   rowFrom,
                   rowTo,
                   top,
                   runEnd,
                   m_background};
    if (widest <= 8)
        CopyRows<8>(context, m_spans);
    else
        CopyRows<kCopyPixels>(context, m_spans);
}

void CGlyphCells::Fill(QImage& image, const QRect& rect, QColor color) {
    const QRect clipped = rect.intersected(image.rect());
    if (clipped.isEmpty())
        return;
    const QRgb value = color.rgb();
    for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(PixelsOf(image) + y * image.bytesPerLine());
        std::fill(row + clipped.left(), row + clipped.right() + 1, value);
    }
}
