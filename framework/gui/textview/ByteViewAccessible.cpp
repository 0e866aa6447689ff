#include "framework/gui/textview/ByteViewAccessible.h"

#include "framework/gui/textview/ByteView.h"

#include <algorithm>

CByteViewAccessible::CByteViewAccessible(CByteView* view)
    : QAccessibleWidget(view, QAccessible::EditableText) {}

CByteView* CByteViewAccessible::View() const {
    return static_cast<CByteView*>(widget());
}

void* CByteViewAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State CByteViewAccessible::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    state.readOnly = View()->IsReadOnly();
    state.multiLine = true;
    state.selectableText = true;
    return state;
}

QString CByteViewAccessible::text(QAccessible::Text kind) const {
    if (kind == QAccessible::Value)
        return Whole();
    return QAccessibleWidget::text(kind);
}

QString CByteViewAccessible::text(int startOffset, int endOffset) const {
    return Whole().mid(startOffset, std::max(0, endOffset - startOffset));
}

int CByteViewAccessible::characterCount() const {
    return static_cast<int>(Whole().size());
}

void CByteViewAccessible::selection(int index, int* startOffset, int* endOffset) const {
    std::size_t start = 0;
    std::size_t end = 0;
    View()->SelectionRange(start, end);
    const bool any = index == 0 && start != end;
    *startOffset = any ? OffsetOf(start) : 0;
    *endOffset = any ? OffsetOf(end) : 0;
}

int CByteViewAccessible::selectionCount() const {
    return View()->Anchor() != View()->Caret() ? 1 : 0;
}

void CByteViewAccessible::addSelection(int startOffset, int endOffset) {
    setSelection(0, startOffset, endOffset);
}

void CByteViewAccessible::removeSelection(int) {
    View()->SetSelection(View()->Caret(), View()->Caret());
}

void CByteViewAccessible::setSelection(int, int startOffset, int endOffset) {
    View()->SetSelection(PositionOf(startOffset), PositionOf(endOffset));
}

int CByteViewAccessible::cursorPosition() const {
    return OffsetOf(View()->Caret());
}

void CByteViewAccessible::setCursorPosition(int position) {
    View()->SetSelection(PositionOf(position), PositionOf(position));
}

QRect CByteViewAccessible::characterRect(int) const {
    return QRect();
}

int CByteViewAccessible::offsetAtPoint(const QPoint& point) const {
    return OffsetOf(View()->PositionAt(View()->viewport()->mapFromGlobal(point)));
}

void CByteViewAccessible::scrollToSubstring(int startIndex, int) {
    View()->SetSelection(View()->Anchor(), PositionOf(startIndex));
    View()->EnsureCaretVisible();
}

QString CByteViewAccessible::attributes(int offset, int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = offset;
    return QString();
}
