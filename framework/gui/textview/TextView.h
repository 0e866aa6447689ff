#pragma once

#include "framework/gui/text/ShownDecoder.h"

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QSize>
#include <QString>
#include <QTimer>

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
// positions in the text. The view follows the end of the text while its last line is in sight; once the
// user scrolls up to read, it holds still (and says so) until the user scrolls back to the end.
// Redraws are coalesced: at most one every kRedrawInterval milliseconds.
class CTextView : public QAbstractScrollArea {
public:
    static constexpr int kRedrawInterval = 33;
    // Blank around the text, as the platform's text controls leave it.
    static constexpr int kMargin = 4;
    static constexpr qreal kTabStop = 80;

    CTextView(QWidget* parent, const CDisplayText& text);
    ~CTextView() override;

    // The caller changed the text: dropFront bytes went from the front (the selection moves with the
    // text), or the whole text was replaced (the selection goes to the start).
    void TextChanged(std::size_t dropFront);
    void TextReplaced();
    // The text reads otherwise (character set, escape sequences): everything is shown again.
    void ReadingChanged();

    // Selection: the anchor stays where it began, the caret moves.
    std::size_t Anchor() const { return m_anchor; }
    std::size_t Caret() const { return m_caret; }
    void SetSelection(std::size_t anchor, std::size_t caret);
    void SelectionRange(std::size_t& start, std::size_t& end) const;
    // The shown characters of the selection, with "\n" for each line break.
    QString SelectedShownText() const;
    void CopySelection() const;
    void SelectAll();

    // Scrolls so that the caret is in sight.
    void EnsureCaretVisible();
    // TRUE while the view follows the end of the text.
    bool IsFollowing() const { return m_follow; }
    // Follows the end again, or holds the lines in sight.
    void SetFollowing(bool follow);
    // The first line in sight and how many lines the viewport shows.
    std::size_t FirstVisibleLine() const;
    int VisibleLineCount() const;

    void SetReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool IsReadOnly() const { return m_readOnly; }

    // The byte position under a point of the viewport.
    std::size_t PositionAt(const QPoint& point) const;
    // The characters painted for a line (without its break).
    QString LineText(std::size_t line) const;

    const CDisplayText& Text() const { return m_text; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void changeEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

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

    void ScheduleRedraw();
    void Redraw();
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
    // The notice that the view holds still while the user reads.
    void PaintHoldNotice(QPainter& painter);
    class Viewport;
    static QWidget* NewViewport();
    void UpdateScrollBars();
    void ScrollToLine(std::size_t line);
    // The font's measures the view uses.
    struct FontMeasures {
        int lineHeight;
        int wideAdvance; // of a 'W', the width a column of a line is reckoned with
        qreal averageWidth;
    };
    const FontMeasures& Measures() const;
    int LineHeight() const;
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
    void MoveCaret(std::size_t position, bool extend);
    void SelectWordAt(std::size_t position);
    void SelectLineAt(std::size_t position);

    const CDisplayText& m_text;
    std::size_t m_anchor = 0;
    std::size_t m_caret = 0;
    // The first line in sight, by the absolute position of its start, so cuts at the front leave it put.
    std::size_t m_top = 0;
    bool m_follow = true;
    bool m_readOnly = false;
    bool m_adjusting = false; // the view itself moves its scroll bars
    // The scroll bars are laid out only when one of them comes or goes (bit 0 vertical, 1 horizontal).
    bool m_layoutOnNeedOnly = true;
    int m_barsNeeded = -1;
    bool m_selecting = false;
    QElapsedTimer m_lastRedraw;
    QTimer m_redrawTimer;
    QElapsedTimer m_lastDoubleClick;
    QPoint m_doubleClickPoint;
    QString m_holdText;
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
