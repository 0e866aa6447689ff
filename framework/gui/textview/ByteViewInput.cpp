// The keyboard, mouse and context menu the byte views share: keys move the caret (Shift extends the
// selection), a press places it, a drag selects and scrolls past the viewport's edges.
#include "framework/gui/text/DisplayText.h"
#include "framework/gui/textview/ByteView.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>

void CByteView::MoveCaret(std::size_t position, bool extend) {
    SetSelection(extend ? m_anchor : position, position);
    EnsureCaretVisible();
    // Keys that bring the view back to the end resume following, as scrolling there does.
    const QScrollBar* vertical = verticalScrollBar();
    if (vertical->value() >= vertical->maximum())
        m_follow = true;
}

void CByteView::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        CopySelection();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        SelectAll();
        return;
    }
    struct Key {
        QKeySequence::StandardKey move;
        QKeySequence::StandardKey select;
        Move target;
    };
    static constexpr Key kKeys[] = {
        {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar, Move::kNextChar},
        {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar, Move::kPreviousChar},
        {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine, Move::kNextLine},
        {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine, Move::kPreviousLine},
        {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage, Move::kNextPage},
        {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage, Move::kPreviousPage},
        {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine, Move::kStartOfLine},
        {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine, Move::kEndOfLine},
        {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument, Move::kStartOfDocument},
        {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument, Move::kEndOfDocument},
    };
    for (const Key& key : kKeys) {
        const bool extend = event->matches(key.select);
        if (!extend && !event->matches(key.move))
            continue;
        MoveCaret(Target(key.target), extend);
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void CByteView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const std::size_t position = PositionAt(event->position().toPoint());
    SetSelection((event->modifiers() & Qt::ShiftModifier) != 0 ? m_anchor : position, position);
    m_selecting = true;
}

void CByteView::mouseMoveEvent(QMouseEvent* event) {
    if (!m_selecting || (event->buttons() & Qt::LeftButton) == 0)
        return;
    QPoint point = event->position().toPoint();
    // Dragging past the top or the bottom scrolls a row at a time.
    const std::size_t first = FirstVisibleRow();
    if (point.y() < 0)
        ScrollToRow(first > 0 ? first - 1 : 0);
    else if (point.y() > viewport()->height())
        ScrollToRow(first + 1);
    point.setY(std::clamp(point.y(), 0, viewport()->height() - 1));
    SetSelection(m_anchor, DragTarget(point));
}

void CByteView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    m_selecting = false;
    QClipboard* clipboard = QApplication::clipboard();
    if (m_anchor != m_caret && clipboard->supportsSelection())
        clipboard->setText(SelectedText(), QClipboard::Selection);
}

void CByteView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    const bool selected = m_anchor != m_caret;
    QAction* copy = menu.addAction(QStringLiteral("&Copy\t") +
                                   QKeySequence(QKeySequence::Copy).toString(QKeySequence::NativeText));
    copy->setEnabled(selected);
    QObject::connect(copy, &QAction::triggered, this, [this]() { CopySelection(); });
    AddCopyActions(menu, selected);
    QAction* all = menu.addAction(QStringLiteral("Select All\t") +
                                  QKeySequence(QKeySequence::SelectAll).toString(QKeySequence::NativeText));
    all->setEnabled(m_text.Size() != 0);
    QObject::connect(all, &QAction::triggered, this, [this]() { SelectAll(); });
    menu.exec(event->globalPos());
}
