#pragma once

#include "framework/gui/textview/ByteView.h"

#include <QFont>
#include <QString>

#include <cstddef>

class CDisplayText;
class CHexDump;

// A read-only hex dump of the same bytes a CTextView shows (see CHexDump for the layout); a row of the
// view is a row of the dump. Positions and the selection are byte positions in the text, as in the text
// view, so the two can hand the selection over; following the end, holding still, the selection and the
// shared input are CByteView's. It paints the rows in sight whole, with a painter.
class CHexView : public CByteView {
public:
    CHexView(QWidget* parent, const CDisplayText& text);
    ~CHexView() override;

    // The offset of the text's present first byte: 0 for a text started afresh, more when bytes before it
    // were cut before the view saw them. Later cuts at the front keep the offsets of the rest.
    void SetFirstOffset(std::size_t offset);
    std::size_t FirstOffset() const;
    // The dump of the text as it is now.
    CHexDump Dump() const;

    // The dump lines of the selected bytes.
    QString SelectedDumpText() const;
    QString SelectedText() const override { return SelectedDumpText(); }
    // Copies the selection's dump lines as text, with the bytes themselves beside them
    // (application/octet-stream).
    void CopySelection() const override;
    // Copies the selected bytes as a hexadecimal byte string ("7e 01 03"), with the bytes themselves.
    void CopySelectedBytes() const;

    // Scrolls so that the caret's row is in sight.
    void EnsureCaretVisible() override;

    std::size_t PositionAt(const QPoint& point) const override;

    // The font a dump is drawn in: the given one when its characters are all as wide, else the system's
    // fixed font at its size, so that the columns line up.
    static QFont DumpFont(const QFont& font);

protected:
    void paintEvent(QPaintEvent* event) override;

    std::size_t Target(Move move) const override;
    // A drag selects whole bytes: the byte under the pointer is included.
    std::size_t DragTarget(const QPoint& point) const override;
    void AddCopyActions(QMenu& menu, bool selected) override;
    int RowHeight() const override;
    void UpdateScrollBars() override;
    void RememberTop() override;
    void StartAfresh() override;
    void Redraw() override;
    void ShowNow() override;

private:
    qreal CellWidth() const;

    // The absolute position (of the text's positions) that offset 0 stands for, modulo 2^64: it may lie
    // before the first position the text ever had.
    std::size_t m_origin = 0;
    // The number of the first row in sight, so that cuts at the front leave it put while holding.
    std::size_t m_topRow = 0;
};
