#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>

#include <array>
#include <cstddef>
#include <vector>

class CByteGlyphs;

// Every byte's glyph drawn once, in one pen on one background, into a cell of its own; a line is then put
// together by copying cells, which costs a fraction of blending each glyph again on every paint. A cell
// is as wide as the widest advance and as tall as a line, so what a glyph paints beyond its advance (a
// rare overhang) is cut off. The cells are opaque: the copy carries the background with it.
class CGlyphCells {
public:
    CGlyphCells(const CByteGlyphs& glyphs, int lineHeight, QColor background, QColor pen);

    // Whether the cells of a font fit in a bounded image. The cells grow with the square of the font's
    // size; beyond the bound the glyphs are drawn one by one instead, which Qt does without caching
    // images of large glyphs, so that the view's memory does not grow with the font.
    static bool Affordable(const CByteGlyphs& glyphs, int lineHeight);

    bool Matches(const QFont& font, int lineHeight, QColor background, QColor pen) const;

    // Copies the cells of bytes [from, to) of a line whose columns are at xs (rounded to whole pixels)
    // into image, the line's left end at x left and its top at y top; clipped to clip (the whole image
    // when empty) and to the image. The image must hold 32-bit pixels (Format_RGB32, or
    // Format_ARGB32_Premultiplied, which opaque pixels share); they are written in place, without
    // detaching the image, so a backing store's image can be drawn on directly. Every column from the
    // first to the last is covered: bytes without a glyph (a tab, a line break) show the background, so
    // the caller need not fill beneath.
    void Draw(QImage& image, int left, int top, const unsigned char* bytes, std::size_t from, std::size_t to,
              const std::vector<qreal>& xs, const QRect& clip = QRect()) const;

    // Fills a rectangle of a 32-bit image, clipped to it, in place.
    static void Fill(QImage& image, const QRect& rect, QColor color);

private:
    QFont m_font;
    int m_lineHeight;
    QRgb m_background;
    QRgb m_pen;
    int m_cellWidth = 1;
    QImage m_atlas; // the 256 cells side by side, byte b at x b * m_cellWidth, and kCopyPixels spare
    std::array<bool, 256> m_drawn{};
    // Where the cells of one Draw go: columns [x0, x1) from the atlas at source, then background over
    // [blank0, blank1).
    struct Span {
        int x0, x1, source, blank0, blank1;
    };
    mutable std::vector<Span> m_spans;
};
