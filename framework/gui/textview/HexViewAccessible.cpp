#include "framework/gui/textview/HexViewAccessible.h"

#include "framework/gui/text/DisplayText.h"
#include "framework/gui/text/HexDump.h"
#include "framework/gui/textview/HexView.h"

#include <QAccessibleWidget>

#include <algorithm>

namespace {

// Offsets are character positions in the dump text (the lines of every row, joined by "\n").
class HexViewAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit HexViewAccessible(CHexView* view) : QAccessibleWidget(view, QAccessible::EditableText) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = View()->IsReadOnly();
        state.multiLine = true;
        state.selectableText = true;
        return state;
    }
    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value)
            return Whole();
        return QAccessibleWidget::text(kind);
    }

    void selection(int index, int* startOffset, int* endOffset) const override {
        std::size_t start = 0;
        std::size_t end = 0;
        View()->SelectionRange(start, end);
        const bool any = index == 0 && start != end;
        *startOffset = any ? OffsetOf(start) : 0;
        *endOffset = any ? OffsetOf(end) : 0;
    }
    int selectionCount() const override { return View()->Anchor() != View()->Caret() ? 1 : 0; }
    void addSelection(int startOffset, int endOffset) override { setSelection(0, startOffset, endOffset); }
    void removeSelection(int) override { View()->SetSelection(View()->Caret(), View()->Caret()); }
    void setSelection(int, int startOffset, int endOffset) override {
        View()->SetSelection(PositionOf(startOffset), PositionOf(endOffset));
    }
    int cursorPosition() const override { return OffsetOf(View()->Caret()); }
    void setCursorPosition(int position) override {
        View()->SetSelection(PositionOf(position), PositionOf(position));
    }
    QString text(int startOffset, int endOffset) const override {
        return Whole().mid(startOffset, std::max(0, endOffset - startOffset));
    }
    int characterCount() const override { return static_cast<int>(Whole().size()); }
    QRect characterRect(int) const override { return QRect(); }
    int offsetAtPoint(const QPoint& point) const override {
        return OffsetOf(View()->PositionAt(View()->viewport()->mapFromGlobal(point)));
    }
    void scrollToSubstring(int startIndex, int) override {
        View()->SetSelection(View()->Anchor(), PositionOf(startIndex));
        View()->EnsureCaretVisible();
    }
    QString attributes(int offset, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = offset;
        return QString();
    }

private:
    CHexView* View() const { return static_cast<CHexView*>(widget()); }
    QString Whole() const { return QString::fromLatin1(View()->Dump().Lines(0, View()->Text().Size())); }
    // Every line but the last is a full one, so a row's line starts at a multiple of a full line's length.
    int LineStride() const { return static_cast<int>(View()->Dump().LineLength()) + 1; }
    int OffsetOf(std::size_t position) const {
        const CHexDump dump = View()->Dump();
        return static_cast<int>(dump.RowOf(position)) * LineStride() +
               static_cast<int>(dump.CaretColumn(position));
    }
    std::size_t PositionOf(int offset) const {
        const CHexDump dump = View()->Dump();
        if (dump.RowCount() == 0)
            return 0;
        const std::size_t row =
            std::min(static_cast<std::size_t>(std::max(0, offset) / LineStride()), dump.RowCount() - 1);
        const std::size_t column = static_cast<std::size_t>(std::max(0, offset) % LineStride());
        return dump.PositionIn(row, dump.ByteAtHexColumn(column));
    }
};

} // namespace

QAccessibleInterface* HexViewAccessibleFactory(const QString&, QObject* object) {
    if (auto* view = dynamic_cast<CHexView*>(object))
        return new HexViewAccessible(view);
    return nullptr;
}
