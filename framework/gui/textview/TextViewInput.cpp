// The text view's own input: keys move by characters (a CR LF pair and a character's bytes are one step)
// and lines, a double click selects a word, a third click the line.
#include "framework/gui/text/DisplayText.h"
#include "framework/gui/textview/TextView.h"

#include <QApplication>
#include <QChar>
#include <QMouseEvent>

#include <algorithm>
#include <string_view>

namespace {

bool IsWordByte(unsigned char byte) {
    const QChar shown(CDisplayText::CharForByte(byte));
    return shown.isLetterOrNumber() || shown == u'_';
}

} // namespace

std::size_t CTextView::NextPosition(std::size_t position) const {
    const std::string_view bytes = Text().Bytes();
    if (position >= bytes.size())
        return bytes.size();
    // A CR LF pair is one break: the caret never stops between its bytes, nor inside a character.
    if (bytes[position] == '\r' && position + 1 < bytes.size() && bytes[position + 1] == '\n')
        return position + 2;
    return Text().CharacterStart(position + 1);
}

std::size_t CTextView::PreviousPosition(std::size_t position) const {
    const std::string_view bytes = Text().Bytes();
    position = std::min(position, bytes.size());
    if (position == 0)
        return 0;
    if (position >= 2 && bytes[position - 1] == '\n' && bytes[position - 2] == '\r')
        return position - 2;
    --position;
    while (position > 0 && Text().Shown(position).kind == ShownByte::kFollow)
        --position;
    return position;
}

std::size_t CTextView::LineAbove(std::size_t position, long long lines) const {
    const CLineIndex& index = Text().Lines();
    const std::size_t base = Text().Base();
    const std::size_t end = base + Text().Size();
    const std::size_t line = index.LineOf(base + position);
    const std::size_t column = std::min(base + position, index.LineEnd(line, end)) - index.LineStart(line);
    const long long last = static_cast<long long>(index.LineCount()) - 1;
    const auto target = static_cast<std::size_t>(std::clamp(static_cast<long long>(line) - lines, 0LL, last));
    return Text().CharacterStart(std::min(index.LineStart(target) + column, index.LineEnd(target, end)) -
                                 base);
}

void CTextView::SelectWordAt(std::size_t position) {
    const CLineIndex& index = Text().Lines();
    const std::size_t base = Text().Base();
    const std::size_t line = index.LineOf(base + position);
    const std::size_t lineStart = index.LineStart(line) - base;
    const std::size_t lineEnd = index.LineEnd(line, base + Text().Size()) - base;
    const auto* bytes = reinterpret_cast<const unsigned char*>(Text().Bytes().data());
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
    const CLineIndex& index = Text().Lines();
    const std::size_t base = Text().Base();
    const std::size_t line = index.LineOf(base + position);
    SetSelection(index.LineStart(line) - base, index.LineEnd(line, base + Text().Size()) - base);
}

std::size_t CTextView::Target(Move move) const {
    const CLineIndex& index = Text().Lines();
    const std::size_t base = Text().Base();
    const std::size_t size = Text().Size();
    const std::size_t caret = Caret();
    const long long page = VisibleRowCount();
    switch (move) {
    case Move::kNextChar:
        return NextPosition(caret);
    case Move::kPreviousChar:
        return PreviousPosition(caret);
    case Move::kNextLine:
        return LineAbove(caret, -1);
    case Move::kPreviousLine:
        return LineAbove(caret, 1);
    case Move::kNextPage:
        return LineAbove(caret, -page);
    case Move::kPreviousPage:
        return LineAbove(caret, page);
    case Move::kStartOfLine:
        return index.LineStart(index.LineOf(base + caret)) - base;
    case Move::kEndOfLine:
        return index.LineEnd(index.LineOf(base + caret), base + size) - base;
    case Move::kStartOfDocument:
        return 0;
    case Move::kEndOfDocument:
        break;
    }
    return size;
}

void CTextView::mousePressEvent(QMouseEvent* event) {
    // A third click soon after a double click, at the same place, selects the line.
    if (event->button() == Qt::LeftButton && m_lastDoubleClick.isValid() &&
        m_lastDoubleClick.elapsed() < QApplication::doubleClickInterval() &&
        (event->position().toPoint() - m_doubleClickPoint).manhattanLength() <
            QApplication::startDragDistance()) {
        m_lastDoubleClick.invalidate();
        SelectLineAt(PositionAt(event->position().toPoint()));
        return;
    }
    CByteView::mousePressEvent(event);
}

void CTextView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    SelectWordAt(PositionAt(event->position().toPoint()));
    m_lastDoubleClick.start();
    m_doubleClickPoint = event->position().toPoint();
    StopSelecting();
}
