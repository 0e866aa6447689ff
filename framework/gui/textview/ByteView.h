#pragma once

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include <cstddef>
#include <functional>

class CDisplayText;
class QMenu;
class QPainter;
class QScrollBar;

// What the read-only views of a CDisplayText's bytes (CTextView, CHexView) have in common: a selection of
// byte positions in the text, rows of the same height under a vertical scroll bar, following the end of
// the text while its last row is in sight and holding still (and saying so) once the user scrolls up,
// redraws coalesced to at most one every kRedrawInterval milliseconds, and the keys, clicks, drags and
// context menu that move the caret and copy. Each view lays out, hit-tests and paints its own rows.
class CByteView : public QAbstractScrollArea {
public:
    static constexpr int kRedrawInterval = 33;
    // Blank around the rows, as the platform's text controls leave it.
    static constexpr int kMargin = 4;

    ~CByteView() override;

    // The caller changed the text: dropFront bytes went from the front (the selection moves with the
    // text), or the whole text was replaced (the selection goes to the start, the view follows the end).
    void TextChanged(std::size_t dropFront);
    void TextReplaced();

    // Selection: the anchor stays where it began, the caret moves.
    std::size_t Anchor() const { return m_anchor; }
    std::size_t Caret() const { return m_caret; }
    void SetSelection(std::size_t anchor, std::size_t caret);
    void SelectionRange(std::size_t& start, std::size_t& end) const;
    void SelectAll();
    // The selection as the view shows it, which the primary selection gets after a drag.
    virtual QString SelectedText() const = 0;
    virtual void CopySelection() const = 0;

    // Scrolls so that the caret is in sight.
    virtual void EnsureCaretVisible() = 0;
    // TRUE while the view follows the end of the text.
    bool IsFollowing() const { return m_follow; }
    // Follows the end again, or holds the rows in sight.
    void SetFollowing(bool follow);
    // The first row in sight and how many rows the viewport shows.
    std::size_t FirstVisibleRow() const;
    int VisibleRowCount() const;

    void SetReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool IsReadOnly() const { return m_readOnly; }

    // The byte position under a point of the viewport.
    virtual std::size_t PositionAt(const QPoint& point) const = 0;
    const CDisplayText& Text() const { return m_text; }

protected:
    // How the scroll bars show the program's changes of them: at once, or quietly (see CQuietScrollBar).
    enum class Bars { kPlain, kQuiet };
    // viewport: the view's own viewport widget, or none for the scroll area's.
    CByteView(QWidget* parent, const CDisplayText& text, QWidget* viewport, Bars bars);

    // The moves of the caret by keys; Target says where each one goes from the caret.
    enum class Move {
        kNextChar,
        kPreviousChar,
        kNextLine,
        kPreviousLine,
        kNextPage,
        kPreviousPage,
        kStartOfLine,
        kEndOfLine,
        kStartOfDocument,
        kEndOfDocument
    };
    virtual std::size_t Target(Move move) const = 0;
    // The caret's place while the pointer drags a selection to a point.
    virtual std::size_t DragTarget(const QPoint& point) const { return PositionAt(point); }
    // Copies of the selection the context menu offers besides Copy.
    virtual void AddCopyActions(QMenu&, bool /*selected*/) {}

    virtual int RowHeight() const = 0;
    // Sets the scroll bars for the text as it is now.
    virtual void UpdateScrollBars() = 0;
    // Lays the scroll bars out for rows rows: following keeps the last row in sight, holding keeps row
    // held at the top. wide: how much wider than the viewport the rows are; step: a column's width.
    // Returns the row now at the top.
    int PlaceBars(std::size_t rows, std::size_t held, int wide, int step);
    // The user scrolled: notes the row at the top, which holding keeps in sight as the text changes.
    virtual void RememberTop() = 0;
    // The text was replaced: positions start again.
    virtual void StartAfresh() = 0;
    void ScrollToRow(std::size_t row);
    void BringRowInSight(std::size_t row);
    void MoveCaret(std::size_t position, bool extend);
    void StopSelecting() { m_selecting = false; }

    // Asks for a redraw at most kRedrawInterval after the last one. The changes of one handler (the text,
    // then the caret that follows it) make a single paint.
    void ScheduleRedraw();
    // The redraw that ScheduleRedraw asked for; it calls NoteRedraw first.
    virtual void Redraw() = 0;
    void NoteRedraw();
    bool RedrawDue() const { return m_redrawTimer.isActive(); }
    // Shows the view as it is at once (the focus, the font or the colours changed).
    virtual void ShowNow() = 0;
    // The font or the colours changed.
    virtual void StyleChanged() {}
    // The notice that the view holds still while the user reads.
    void PaintHoldNotice(QPainter& painter);

    void scrollContentsBy(int dx, int dy) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // Changes a scroll bar's values, quietly where the bars are.
    void ChangeBar(QScrollBar* bar, const std::function<void(QScrollBar&)>& change);

    const CDisplayText& m_text;
    std::size_t m_anchor = 0;
    std::size_t m_caret = 0;
    bool m_follow = true;
    bool m_readOnly = false;
    bool m_quietBars = false;
    bool m_adjusting = false; // the view itself moves its scroll bars
    // The scroll bars are laid out only when one of them comes or goes (bit 0 vertical, 1 horizontal).
    bool m_layoutOnNeedOnly = false;
    int m_barsNeeded = -1;
    bool m_selecting = false;
    QElapsedTimer m_lastRedraw;
    QTimer m_redrawTimer;
    QString m_holdText;
};
