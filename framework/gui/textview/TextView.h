#pragma once

#include "framework/gui/text/ShownDecoder.h"
#include "framework/gui/textview/ByteView.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QSize>
#include <QString>

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

class CDisplayText;
class CByteGlyphs;
class CGlyphCells;
struct ShownStyle;

// A read-only view of a text of bytes, painted straight from the bytes and their line index: only the
// visible lines are laid out, so a change costs the same whatever the size of the text. Positions are byte
// positions in the text; a row of the view is a line of the text. Following the end, holding still, the
// selection and the input it shares with the hex view are CByteView's.
class CTextView : public CByteView {
public:
    static constexpr qreal kTabStop = 80;

    CTextView(QWidget* parent, const CDisplayText& text);
    ~CTextView() override;

    // The text reads otherwise (character set, escape sequences): everything is shown again.
    void ReadingChanged();

    // The shown characters of the selection, with "\n" for each line break.
    QString SelectedShownText() const;
    QString SelectedText() const override { return SelectedShownText(); }
    void CopySelection() const override;

    void EnsureCaretVisible() override;
    // The first line in sight and how many lines the viewport shows, under the names of lines.
    std::size_t FirstVisibleLine() const { return FirstVisibleRow(); }
    int VisibleLineCount() const { return VisibleRowCount(); }

    std::size_t PositionAt(const QPoint& point) const override;
    // The characters painted for a line (without its break).
    QString LineText(std::size_t line) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

    std::size_t Target(Move move) const override;
    int RowHeight() const override;
    void UpdateScrollBars() override;
    void RememberTop() override;
    void StartAfresh() override;
    void Redraw() override;
    void ShowNow() override { Redraw(); }
    void StyleChanged() override;

private:
    // What one row of the viewport shows: a line by its absolute bounds, the selected columns, whether its
    // break is selected, and the caret's column (or none). Equal rows show the same pixels: absolute
    // positions never come back with other bytes until the whole text is replaced.
    struct ShownRow {
        std::size_t start = 0;
        std::size_t stop = 0;
        std::size_t selectedFrom = 0;
        std::size_t selectedTo = 0;
        bool breakSelected = false;
        std::size_t caret = kNoCaret;
        bool operator==(const ShownRow& other) const;
        bool operator!=(const ShownRow& other) const { return !(*this == other); }
    };
    static constexpr std::size_t kNoCaret = static_cast<std::size_t>(-1);
    // What the whole viewport depends on besides its rows; a change of any repaints everything.
    struct ShownFrame {
        QSize size;
        int left = 0;
        int lineHeight = 0;
        bool following = true;
        bool focused = false;
        qint64 styleStamp = 0;
        bool operator==(const ShownFrame& other) const;
        bool operator!=(const ShownFrame& other) const { return !(*this == other); }
    };

    // Repaints everything at the next redraw (the font, the colours or the whole text changed).
    void InvalidateShown() { m_shownValid = false; }
    std::vector<ShownRow> RowsInSight() const;
    ShownFrame FrameInSight() const;
    // The selection in absolute positions; returns the caret's.
    std::size_t AbsoluteSelection(std::size_t& start, std::size_t& end) const;
    // The rectangle of a row of the viewport.
    QRect RowRect(int row) const;
    // Where glyph cells are put together: the backing store's image itself when the painter draws on one
    // (offset: where the viewport lies in it), else an image of the view's own; none on a scaled screen,
    // where glyphs are drawn one by one.
    QImage* CellTarget(QPainter& painter, QPoint& offset);
    // Whether the font's glyph cells are small enough to keep; a very large font is drawn glyph by glyph.
    bool CellsAffordable() const;
    // The window's image that this paint goes to, when the view may put its pixels there itself without a
    // painter: 32-bit pixels at one device pixel per pixel (offset: where the viewport lies in it). None
    // for a picture of the view (a grab) or on a scaled screen.
    QImage* StoreImage(QPoint& offset) const;
    // Paints one rectangle of the viewport, from glyph cells into target or, without one, with painter;
    // notes where the caret goes.
    void PaintArea(QPainter* painter, QImage* target, QPoint offset, const QRect& area, QRectF& caretBar);
    class Viewport;
    static QWidget* NewViewport();
    // The font's measures the view uses.
    struct FontMeasures {
        int lineHeight;
        int wideAdvance; // of a 'W', the width a column of a line is reckoned with
        qreal averageWidth;
    };
    const FontMeasures& Measures() const;
    const CByteGlyphs& Glyphs() const;
    // The glyphs in bold (variant bit 0) or italic (bit 1), or both; variant 0 is Glyphs().
    const CByteGlyphs& Glyphs(int variant) const;
    // The glyph cells in the text's colours, or in the selection's.
    const CGlyphCells& Cells(bool selected) const;
    // How a run of decoded characters looks: its colours and its glyphs.
    struct RunLook {
        QColor pen;
        QColor background;
        int variant = 0;
        bool underline = false;
    };
    RunLook LookOf(const ShownStyle& style, bool selected) const;
    // Glyph cells in a run's colours and glyphs, kept for the few looks a text uses.
    const CGlyphCells& StyledCells(const RunLook& look) const;
    // The painter of one paint's characters of their own, made when the first is drawn.
    struct CharPainter {
        std::optional<QPainter> own;
        QPainter* drawer = nullptr;
    };
    // Draws the decoded bytes [from, to) of a line (columns in m_xs) run by run of the same look; the
    // characters no byte's glyph shows are drawn one by one over their room.
    void DrawShown(QPainter* painter, QImage* target, QPoint offset, const QRect& area, CharPainter& chars,
                   qreal left, qreal top, const unsigned char* bytes, const ShownByte* shown,
                   std::size_t from, std::size_t to, bool selected);
    // The bytes of a line and the x of each of its columns (in m_xs), and what they show (in m_lineShown,
    // while the text is decoded).
    const unsigned char* LineBytes(std::size_t line, std::size_t& count) const;
    // The x of a position inside its line, in text coordinates.
    qreal XOf(std::size_t position) const;
    // Keyboard moves, in byte positions.
    std::size_t NextPosition(std::size_t position) const;
    std::size_t PreviousPosition(std::size_t position) const;
    std::size_t LineAbove(std::size_t position, long long lines) const;
    void SelectWordAt(std::size_t position);
    void SelectLineAt(std::size_t position);

    // The first line in sight, by the absolute position of its start, so cuts at the front leave it put.
    std::size_t m_top = 0;
    QElapsedTimer m_lastDoubleClick;
    QPoint m_doubleClickPoint;
    mutable std::unique_ptr<CByteGlyphs> m_glyphs;
    mutable std::unique_ptr<CByteGlyphs> m_variantGlyphs[3];
    mutable std::unique_ptr<CGlyphCells> m_cells[2];
    mutable std::vector<std::unique_ptr<CGlyphCells>> m_styledCells;
    // The byte whose glyph cell each decoded byte of a line takes.
    std::vector<unsigned char> m_cellBytes;
    // The lines are put together here from glyph cells, then shown in one copy, when the backing store
    // cannot be drawn on directly.
    QImage m_frame;
    // What the viewport shows since the last redraw: a redraw repaints only the rows that changed, and
    // moves the pixels of the rows that only moved.
    std::vector<ShownRow> m_shown;
    ShownFrame m_shownFrame;
    bool m_shownValid = false;
    qint64 m_styleStamp = 0; // counts changes of the font and the colours
    mutable std::vector<qreal> m_xs;
    mutable std::vector<ShownByte> m_lineShown;
    mutable std::optional<FontMeasures> m_measures;
};
