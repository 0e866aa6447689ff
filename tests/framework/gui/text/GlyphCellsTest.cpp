// Lines put together from glyph cells look like lines whose glyphs are drawn one by one (but for the rare
// overhang that the next cell cuts off), and the copies stay inside the image whatever the line's place.
#include "framework/gui/text/GlyphCells.h"
#include "framework/gui/text/ByteGlyphs.h"
#include "support/DialogTestSupport.h"

#include <gtest/gtest.h>

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <cmath>
#include <string>
#include <vector>

namespace {

class GlyphCellsTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureDialogTestApplication();
        m_font = QFont(QStringLiteral("DejaVu Sans Mono"));
        m_font.setPixelSize(13);
        m_glyphs = std::make_unique<CByteGlyphs>(m_font, 80);
        m_height = QFontMetrics(m_font).lineSpacing();
    }

    // The line drawn glyph by glyph, as a painter draws it, on a filled image.
    QImage DrawnDirectly(const std::string& line, int width, int left, QColor background, QColor pen) {
        QImage image(width, m_height + 4, QImage::Format_RGB32);
        image.fill(background);
        Bytes(line);
        QPainter painter(&image);
        painter.setPen(pen);
        m_glyphs->Draw(painter, QPointF(left, 2 + m_glyphs->Ascent()), Data(), 0, line.size(), m_xs);
        return image;
    }

    QImage FromCells(const std::string& line, int width, int left, QColor background, QColor pen) {
        QImage image(width, m_height + 4, QImage::Format_RGB32);
        image.fill(background);
        Bytes(line);
        const CGlyphCells cells(*m_glyphs, m_height, background, pen);
        cells.Draw(image, left, 2, Data(), 0, line.size(), m_xs);
        return image;
    }

    // Pixels that differ away from the edges of the cells: there only a glyph's overhang, cut off by the
    // neighbouring cell, may differ.
    int DifferencesInsideCells(const QImage& direct, const QImage& cells, int left) const {
        std::vector<bool> edge(static_cast<std::size_t>(direct.width()), false);
        for (qreal x : m_xs) {
            const int at = left + static_cast<int>(std::lround(x));
            for (int near = at - 1; near <= at; ++near)
                if (near >= 0 && near < direct.width())
                    edge[static_cast<std::size_t>(near)] = true;
        }
        int differing = 0;
        for (int y = 0; y < direct.height(); ++y)
            for (int x = 0; x < direct.width(); ++x)
                differing += !edge[static_cast<std::size_t>(x)] && direct.pixel(x, y) != cells.pixel(x, y);
        return differing;
    }

    void Bytes(const std::string& line) {
        m_bytes = line;
        m_glyphs->Positions(Data(), line.size(), m_xs);
    }
    const unsigned char* Data() const { return reinterpret_cast<const unsigned char*>(m_bytes.data()); }

    QFont m_font;
    std::unique_ptr<CByteGlyphs> m_glyphs;
    int m_height = 0;
    std::string m_bytes;
    std::vector<qreal> m_xs;
};

TEST_F(GlyphCellsTest, ALineOfCellsIsTheLineDrawnGlyphByGlyphButForCutOverhangs) {
    std::string printable;
    for (int b = 0x21; b < 0x7F; ++b)
        printable.push_back(static_cast<char>(b));
    const std::string lines[] = {printable, "12:00:01 = COM7 \x1b[0m\tend\x01\x7f", "\xe9t\xe9 \x80 \xa3"};
    const QColor schemes[][2] = {{Qt::white, Qt::black}, {QColor(0x30, 0x60, 0xc0), Qt::white}};
    for (const std::string& line : lines) {
        for (const auto& scheme : schemes) {
            const QImage direct = DrawnDirectly(line, 1200, 4, scheme[0], scheme[1]);
            const QImage cells = FromCells(line, 1200, 4, scheme[0], scheme[1]);
            EXPECT_EQ(DifferencesInsideCells(direct, cells, 4), 0) << line;
            EXPECT_NE(cells, FromCells(std::string(line.size(), ' '), 1200, 4, scheme[0], scheme[1]));
        }
    }
}

TEST_F(GlyphCellsTest, CopiesAreClippedToTheImageOnEverySide) {
    const std::string line(300, 'W');
    // Scrolled sideways (the line starts left of the image), running past its right edge, and half above
    // or below it: whatever falls outside is cut, what falls inside is the same as drawn directly.
    for (int left : {-1000, -7, 0, 3, 190}) {
        const QImage direct = DrawnDirectly(line, 200, left, Qt::white, Qt::black);
        const QImage cells = FromCells(line, 200, left, Qt::white, Qt::black);
        EXPECT_EQ(DifferencesInsideCells(direct, cells, left), 0) << "left " << left;
    }
    QImage image(50, 10, QImage::Format_RGB32);
    image.fill(Qt::white);
    Bytes(line);
    const CGlyphCells cells(*m_glyphs, m_height, Qt::white, Qt::black);
    cells.Draw(image, 0, -m_height + 3, Data(), 0, line.size(), m_xs);
    cells.Draw(image, 0, 8, Data(), 0, line.size(), m_xs);
    cells.Draw(image, 0, 500, Data(), 0, line.size(), m_xs);
    cells.Draw(image, 0, -500, Data(), 0, line.size(), m_xs);
    CGlyphCells::Fill(image, QRect(-20, -20, 30, 25), Qt::red);
    CGlyphCells::Fill(image, QRect(45, 8, 100, 100), Qt::blue);
    EXPECT_EQ(image.pixel(0, 0), QColor(Qt::red).rgb());
    EXPECT_EQ(image.pixel(9, 4), QColor(Qt::red).rgb());
    EXPECT_NE(image.pixel(10, 4), QColor(Qt::red).rgb());
    EXPECT_EQ(image.pixel(49, 9), QColor(Qt::blue).rgb());
}

TEST_F(GlyphCellsTest, CellsAreMadeAgainForAnotherFontSizeOrColour) {
    const CGlyphCells cells(*m_glyphs, m_height, Qt::white, Qt::black);
    EXPECT_TRUE(cells.Matches(m_font, m_height, Qt::white, Qt::black));
    EXPECT_FALSE(cells.Matches(m_font, m_height + 1, Qt::white, Qt::black));
    EXPECT_FALSE(cells.Matches(m_font, m_height, Qt::yellow, Qt::black));
    EXPECT_FALSE(cells.Matches(m_font, m_height, Qt::white, Qt::red));
    QFont bigger = m_font;
    bigger.setPixelSize(20);
    EXPECT_FALSE(cells.Matches(bigger, m_height, Qt::white, Qt::black));
}

TEST_F(GlyphCellsTest, ARunCoversEveryColumnItSpansAndNothingOutsideItsClip) {
    // Tabs and line-break bytes have no glyph: their columns show the cells' background, so a paint need
    // not fill beneath the text; and what lies outside the clip, or after the run, is left alone.
    const std::string line = "ab\tcd\t\te\r\nfg";
    Bytes(line);
    const int width = static_cast<int>(std::lround(m_xs.back())) + 40;
    QImage image(width, m_height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::red);
    const CGlyphCells cells(*m_glyphs, m_height, Qt::white, Qt::black);
    cells.Draw(image, 0, 0, Data(), 0, line.size(), m_xs);
    const int runEnd = static_cast<int>(std::lround(m_xs.back()));
    for (int y = 0; y < m_height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool red = image.pixel(x, y) == QColor(Qt::red).rgb();
            ASSERT_EQ(red, x >= runEnd) << "x " << x << ", y " << y;
        }
    }
    // The same run clipped to a band in the middle: only the band changes.
    image.fill(Qt::red);
    const QRect band(runEnd / 3, 2, runEnd / 3, m_height - 4);
    cells.Draw(image, 0, 0, Data(), 0, line.size(), m_xs, band);
    for (int y = 0; y < m_height; ++y)
        for (int x = 0; x < width; ++x)
            ASSERT_EQ(image.pixel(x, y) == QColor(Qt::red).rgb(), !band.contains(x, y))
                << "x " << x << ", y " << y;
    // A selected run in the middle of a line leaves the columns after it as they were.
    image.fill(Qt::red);
    cells.Draw(image, 0, 0, Data(), 0, 3, m_xs);
    const int third = static_cast<int>(std::lround(m_xs[3]));
    EXPECT_EQ(image.pixel(third, 0), QColor(Qt::red).rgb());
    EXPECT_NE(image.pixel(third - 1, 0), QColor(Qt::red).rgb());
}

} // namespace
