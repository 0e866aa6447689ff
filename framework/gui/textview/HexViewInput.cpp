// The hex view's keyboard, mouse and context menu: the caret moves by bytes and by rows of sixteen.
#include "framework/gui/text/DisplayText.h"
#include "framework/gui/text/HexDump.h"
#include "framework/gui/textview/HexView.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>
#include <iterator>

void CHexView::MoveCaret(std::size_t position, bool extend) {
    SetSelection(extend ? m_anchor : position, position);
    EnsureCaretVisible();
    // Keys that bring the view back to the end resume following, as scrolling there does.
    const QScrollBar* vertical = verticalScrollBar();
    if (vertical->value() >= vertical->maximum())
        m_follow = true;
}

void CHexView::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        CopySelection();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        SelectAll();
        return;
    }
    const CHexDump dump = Dump();
    const long long size = static_cast<long long>(m_text.Size());
    const long long caret = static_cast<long long>(m_caret);
    const long long row = static_cast<long long>(CHexDump::kRowBytes);
    const long long page = row * VisibleRowCount();
    const long long rowStart = static_cast<long long>(dump.RowBegin(dump.RowOf(m_caret)));
    const long long rowEnd = static_cast<long long>(dump.RowEnd(dump.RowOf(m_caret)));
    struct Move {
        QKeySequence::StandardKey move;
        QKeySequence::StandardKey select;
        long long target;
    };
    const Move moves[] = {
        {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar, caret + 1},
        {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar, caret - 1},
        {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine, caret + row},
        {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine, caret - row},
        {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage, caret + page},
        {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage, caret - page},
        {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine, rowStart},
        {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine, rowEnd},
        {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument, 0},
        {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument, size},
    };
    for (const Move& move : moves) {
        const bool extend = event->matches(move.select);
        if (!extend && !event->matches(move.move))
            continue;
        MoveCaret(static_cast<std::size_t>(std::clamp(move.target, 0LL, size)), extend);
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void CHexView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const std::size_t position = PositionAt(event->position().toPoint());
    SetSelection((event->modifiers() & Qt::ShiftModifier) != 0 ? m_anchor : position, position);
    m_selecting = true;
}

void CHexView::mouseMoveEvent(QMouseEvent* event) {
    if (!m_selecting || (event->buttons() & Qt::LeftButton) == 0)
        return;
    QPoint point = event->position().toPoint();
    QScrollBar* vertical = verticalScrollBar();
    // Dragging past the top or the bottom scrolls a row at a time.
    if (point.y() < 0)
        vertical->setValue(vertical->value() - 1);
    else if (point.y() > viewport()->height())
        vertical->setValue(vertical->value() + 1);
    point.setY(std::clamp(point.y(), 0, viewport()->height() - 1));
    // A drag selects whole bytes: the byte under the pointer is included.
    const std::size_t position = PositionAt(point);
    SetSelection(m_anchor, position >= m_anchor ? std::min(position + 1, m_text.Size()) : position);
}

void CHexView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    m_selecting = false;
    QClipboard* clipboard = QApplication::clipboard();
    if (m_anchor != m_caret && clipboard->supportsSelection())
        clipboard->setText(SelectedDumpText(), QClipboard::Selection);
}

void CHexView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    const bool selected = m_anchor != m_caret;
    QAction* copy = menu.addAction(QStringLiteral("&Copy\t") +
                                   QKeySequence(QKeySequence::Copy).toString(QKeySequence::NativeText));
    copy->setEnabled(selected);
    QObject::connect(copy, &QAction::triggered, this, [this]() { CopySelection(); });
    QAction* bytes = menu.addAction(QStringLiteral("Copy &Bytes"));
    bytes->setEnabled(selected);
    QObject::connect(bytes, &QAction::triggered, this, [this]() { CopySelectedBytes(); });
    QAction* all = menu.addAction(QStringLiteral("Select All\t") +
                                  QKeySequence(QKeySequence::SelectAll).toString(QKeySequence::NativeText));
    all->setEnabled(m_text.Size() != 0);
    QObject::connect(all, &QAction::triggered, this, [this]() { SelectAll(); });
    menu.exec(event->globalPos());
}
