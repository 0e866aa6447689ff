#pragma once

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include <cstddef>

class CDisplayText;
class CHexDump;

// A read-only hex dump of the same bytes a CTextView shows (see CHexDump for the layout). Positions and the
// selection are byte positions in the text, as in the text view, so the two can hand the selection over.
// Like the text view it follows the end of the text while its last row is in sight and holds still once the
// user scrolls up; it paints only the rows in sight, at most once every kRedrawInterval milliseconds.
class CHexView : public QAbstractScrollArea {
public:
    static constexpr int kRedrawInterval = 33;
    static constexpr int kMargin = 4;

    CHexView(QWidget* parent, const CDisplayText& text);
    ~CHexView() override;

    // The offset of the text's present first byte: 0 for a text started afresh, more when bytes before it
    // were cut before the view saw them. Later cuts at the front keep the offsets of the rest.
    void SetFirstOffset(std::size_t offset);
    std::size_t FirstOffset() const;
    // The dump of the text as it is now.
    CHexDump Dump() const;

    // The caller changed the text: dropFront bytes went from the front, or the whole text was replaced.
    void TextChanged(std::size_t dropFront);
    void TextReplaced();

    std::size_t Anchor() const { return m_anchor; }
    std::size_t Caret() const { return m_caret; }
    void SetSelection(std::size_t anchor, std::size_t caret);
    void SelectionRange(std::size_t& start, std::size_t& end) const;
    // The dump lines of the selected bytes.
    QString SelectedDumpText() const;
    // Copies the selection's dump lines as text, with the bytes themselves beside them
    // (application/octet-stream).
    void CopySelection() const;
    // Copies the selected bytes as a hexadecimal byte string ("7e 01 03"), with the bytes themselves.
    void CopySelectedBytes() const;
    void SelectAll();

    // Scrolls so that the caret's row is in sight.
    void EnsureCaretVisible();
    bool IsFollowing() const { return m_follow; }
    // Follows the end again, or holds the rows in sight.
    void SetFollowing(bool follow);
    std::size_t FirstVisibleRow() const;
    int VisibleRowCount() const;
    void SetReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool IsReadOnly() const { return m_readOnly; }

    // The byte position under a point of the viewport.
    std::size_t PositionAt(const QPoint& point) const;
    const CDisplayText& Text() const { return m_text; }

    // The font a dump is drawn in: the given one when its characters are all as wide, else the system's
    // fixed font at its size, so that the columns line up.
    static QFont DumpFont(const QFont& font);

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
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void ScheduleRedraw();
    void UpdateScrollBars();
    void MoveCaret(std::size_t position, bool extend);
    int RowHeight() const;
    qreal CellWidth() const;
    void PaintHoldNotice(QPainter& painter);

    const CDisplayText& m_text;
    // The absolute position (of the text's positions) that offset 0 stands for, modulo 2^64: it may lie
    // before the first position the text ever had.
    std::size_t m_origin = 0;
    std::size_t m_anchor = 0;
    std::size_t m_caret = 0;
    // The number of the first row in sight, so that cuts at the front leave it put while holding.
    std::size_t m_topRow = 0;
    bool m_follow = true;
    bool m_readOnly = true;
    bool m_adjusting = false;
    bool m_selecting = false;
    QElapsedTimer m_lastRedraw;
    QTimer m_redrawTimer;
    QString m_holdText;
};
