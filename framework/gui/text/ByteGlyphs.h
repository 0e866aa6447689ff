#pragma once

#include <QFont>
#include <QRawFont>

#include "framework/gui/text/ShownDecoder.h"

#include <array>
#include <cstddef>
#include <vector>

class QPainter;
class QPointF;

// The glyph of every byte value in a font, found once: a line of bytes is then drawn as glyph runs without
// shaping, since each byte shows as one character of its own (no byte combines with another). A character
// the font lacks takes the glyph of the fallback font that the text layout picks for it. Tabs advance to
// the next tab stop and draw nothing.
class CByteGlyphs {
public:
    CByteGlyphs(const QFont& font, qreal tabStop);

    // The character a byte shows as on the screen.
    static char16_t ShownChar(unsigned char byte);
    // Whether a byte stands for no character (a control byte, or one Windows-1252 leaves unassigned): it is
    // drawn as a box of hexadecimal digits, whatever the font.
    static bool IsControl(unsigned char byte);
    // The byte whose glyph shows a character, or -1 when none does (a character of its own).
    static int ByteShowing(char32_t code);

    const QFont& Font() const { return m_font; }
    qreal Ascent() const { return m_ascent; }
    // The largest advance of a byte's glyph (a tab's excepted).
    qreal WidestAdvance() const { return m_widest; }

    // The x of each column of a line's bytes, from 0; one more entry than bytes, for the end.
    void Positions(const unsigned char* bytes, std::size_t count, std::vector<qreal>& xs) const;
    // The same for decoded bytes: a character takes the glyph of the byte that shows it, or its width in
    // cells of cellWidth; the other bytes of a character and hidden sequences take no room.
    void Positions(const unsigned char* bytes, const ShownByte* shown, std::size_t count, qreal cellWidth,
                   std::vector<qreal>& xs) const;
    // Whether a byte is drawn as a box of hexadecimal digits.
    bool Boxed(unsigned char byte) const { return m_glyphs[byte].box; }
    // Draws the bytes [from, to) of a line whose columns are at xs, with the baseline at origin.
    void Draw(QPainter& painter, const QPointF& origin, const unsigned char* bytes, std::size_t from,
              std::size_t to, const std::vector<qreal>& xs) const;

private:
    struct Glyph {
        int font = -1; // index into m_fonts; -1 draws nothing
        quint32 index = 0;
        qreal advance = 0;
        bool box = false;
    };

    void DrawBox(QPainter& painter, const QPointF& origin, qreal x, unsigned char byte) const;

    QFont m_font;
    qreal m_tabStop;
    qreal m_ascent = 0;
    qreal m_descent = 0;
    QFont m_boxFont; // the digits in a box
    qreal m_widest = 0;
    std::vector<QRawFont> m_fonts;
    std::array<Glyph, 256> m_glyphs{};
};
