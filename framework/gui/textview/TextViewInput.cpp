#include "framework/gui/text/DisplayText.h"
#include "framework/gui/textview/TextView.h"

#include <QApplication>
#include <QChar>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>
#include <string_view>

namespace {

bool IsWordByte(unsigned char byte) {
    const QChar shown(CDisplayText::CharForByte(byte));
    return shown.isLetterOrNumber() || shown == u'_';
}

} // namespace

std::size_t CTextView::NextPosition(std::size_t position) const {
    const std::string_view bytes = m_text.Bytes();
    if (position >= bytes.size())
        return bytes.size();
    // A CR LF pair is one break: the caret never stops between its bytes, nor inside a character.
    if (bytes[position] == '\r' && position + 1 < bytes.size() && bytes[position + 1] == '\n')
        return position + 2;
    return m_text.CharacterStart(position + 1);
}

std::size_t CTextView::PreviousPosition(std::size_t position) const {
    const std::string_view bytes = m_text.Bytes();
    position = std::min(position, bytes.size());
    if (position == 0)
        return 0;
    if (position >= 2 && bytes[position - 1] == '\n' && bytes[position - 2] == '\r')
        return position - 2;
    --position;
    while (position > 0 && m_text.Shown(position).kind == ShownByte::kFollow)
        --position;
    return position;
}

std::size_t CTextView::LineAbove(std::size_t position, long long lines) const {
    const CLineIndex& index = m_text.Lines();
    const std::size_t base = m_text.Base();
    const std::size_t end = base + m_text.Size();
    const std::size_t line = index.LineOf(base + position);
    const std::size_t column = std::min(base + position, index.LineEnd(line, end)) - index.LineStart(line);
    const long long last = static_cast<long long>(index.LineCount()) - 1;
    const auto target = static_cast<std::size_t>(std::clamp(static_cast<long long>(line) - lines, 0LL, last));
    return m_text.CharacterStart(std::min(index.LineStart(target) + column, index.LineEnd(target, end)) -
                                 base);
}

void CTextView::MoveCaret(std::size_t position, bool extend) {
    SetSelection(extend ? m_anchor : position, position);
    EnsureCaretVisible();
    // Keys that bring the view back to the end resume following, as scrolling there does.
    const QScrollBar* vertical = verticalScrollBar();
    if (vertical->value() >= vertical->maximum())
        m_follow = true;
}

void CTextView::SelectWordAt(std::size_t position) {
    const CLineIndex& index = m_text.Lines();
    const std::size_t base = m_text.Base();
    const std::size_t line = index.LineOf(base + position);
    const std::size_t lineStart = index.LineStart(line) - base;
    const std::size_t lineEnd = index.LineEnd(line, base + m_text.Size()) - base;
    const auto* bytes = reinterpret_cast<const unsigned char*>(m_text.Bytes().data());
    position = std::clamp(position, lineStart, lineEnd);
    if (position == lineEnd && position > lineStart)
        --position;
    if (position >= lineEnd)
        return SetSelection(position, position);
    if (!IsWordByte(bytes[position]))
        return SetSelection(position, position + 1);
    std::size_t start = position;
    std::size_t end = position;
    while (start > lineStart && IsWordByte(bytes[start - 1]))
        --start;
    while (end < lineEnd && IsWordByte(bytes[end]))
        ++end;
    SetSelection(start, end);
}

void CTextView::SelectLineAt(std::size_t position) {
    const CLineIndex& index = m_text.Lines();
    const std::size_t base = m_text.Base();
    const std::size_t line = index.LineOf(base + position);
    SetSelection(index.LineStart(line) - base, index.LineEnd(line, base + m_text.Size()) - base);
}

void CTextView::keyPressEvent(QKeyEvent* event) {
    const std::size_t size = m_text.Size();
    const long long page = VisibleLineCount();
    struct Move {
        QKeySequence::StandardKey move;
        QKeySequence::StandardKey select;
    };
    const Move moves[] = {
        {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar},
        {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar},
        {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine},
        {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine},
        {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage},
        {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage},
        {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine},
        {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine},
        {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument},
        {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument},
    };
    if (event->matches(QKeySequence::Copy)) {
        CopySelection();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        SelectAll();
        return;
    }
    const CLineIndex& index = m_text.Lines();
    const std::size_t base = m_text.Base();
    const std::size_t line = index.LineOf(base + m_caret);
    for (std::size_t i = 0; i < std::size(moves); ++i) {
        const bool extend = event->matches(moves[i].select);
        if (!extend && !event->matches(moves[i].move))
            continue;
        std::size_t target = m_caret;
        switch (i) {
        case 0:
            target = NextPosition(m_caret);
            break;
        case 1:
            target = PreviousPosition(m_caret);
            break;
        case 2:
            target = LineAbove(m_caret, -1);
            break;
        case 3:
            target = LineAbove(m_caret, 1);
            break;
        case 4:
            target = LineAbove(m_caret, -page);
            break;
        case 5:
            target = LineAbove(m_caret, page);
            break;
        case 6:
            target = index.LineStart(line) - base;
            break;
        case 7:
            target = index.LineEnd(line, base + size) - base;
            break;
        case 8:
            target = 0;
            break;
        default:
            target = size;
            break;
        }
        MoveCaret(target, extend);
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void CTextView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const std::size_t position = PositionAt(event->position().toPoint());
    // A third click soon after a double click, at the same place, selects the line.
    if (m_lastDoubleClick.isValid() && m_lastDoubleClick.elapsed() < QApplication::doubleClickInterval() &&
        (event->position().toPoint() - m_doubleClickPoint).manhattanLength() <
            QApplication::startDragDistance()) {
        m_lastDoubleClick.invalidate();
        SelectLineAt(position);
        return;
    }
    SetSelection((event->modifiers() & Qt::ShiftModifier) != 0 ? m_anchor : position, position);
    m_selecting = true;
}

void CTextView::mouseMoveEvent(QMouseEvent* event) {
    if (!m_selecting || (event->buttons() & Qt::LeftButton) == 0)
        return;
    QPoint point = event->position().toPoint();
    // Dragging past the top or the bottom scrolls a line at a time.
    if (point.y() < 0)
        ScrollToLine(FirstVisibleLine() > 0 ? FirstVisibleLine() - 1 : 0);
    else if (point.y() > viewport()->height())
        ScrollToLine(FirstVisibleLine() + 1);
    point.setY(std::clamp(point.y(), 0, viewport()->height() - 1));
    SetSelection(m_anchor, PositionAt(point));
}

void CTextView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    m_selecting = false;
    QClipboard* clipboard = QApplication::clipboard();
    if (m_anchor != m_caret && clipboard->supportsSelection())
        clipboard->setText(SelectedShownText(), QClipboard::Selection);
}

void CTextView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    SelectWordAt(PositionAt(event->position().toPoint()));
    m_lastDoubleClick.start();
    m_doubleClickPoint = event->position().toPoint();
    m_selecting = false;
}

void CTextView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copy = menu.addAction(QStringLiteral("&Copy\t") +
                                   QKeySequence(QKeySequence::Copy).toString(QKeySequence::NativeText));
    copy->setEnabled(m_anchor != m_caret);
    QObject::connect(copy, &QAction::triggered, this, [this]() { CopySelection(); });
    QAction* all = menu.addAction(QStringLiteral("Select All\t") +
                                  QKeySequence(QKeySequence::SelectAll).toString(QKeySequence::NativeText));
    all->setEnabled(m_text.Size() != 0);
    QObject::connect(all, &QAction::triggered, this, [this]() { SelectAll(); });
    menu.exec(event->globalPos());
}
