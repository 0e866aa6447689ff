#include "framework/gui/textview/TextViewAccessible.h"

#include "framework/gui/text/DisplayText.h"
#include "framework/gui/textview/TextView.h"

#include <QAccessibleWidget>

#include <algorithm>

namespace {

// Offsets count the characters shown (UTF-16 units of the shown text, a line break one), which are the
// bytes themselves while every byte shows as itself.
class TextViewAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit TextViewAccessible(CTextView* view) : QAccessibleWidget(view, QAccessible::EditableText) {}

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
            return View()->Text().ShownText(0, View()->Text().Size());
        return QAccessibleWidget::text(kind);
    }

    void selection(int index, int* startOffset, int* endOffset) const override {
        std::size_t start = 0;
        std::size_t end = 0;
        View()->SelectionRange(start, end);
        *startOffset = index == 0 && start != end ? Shown(start) : 0;
        *endOffset = index == 0 && start != end ? Shown(end) : 0;
    }
    int selectionCount() const override { return View()->Anchor() != View()->Caret() ? 1 : 0; }
    void addSelection(int startOffset, int endOffset) override { setSelection(0, startOffset, endOffset); }
    void removeSelection(int) override { View()->SetSelection(View()->Caret(), View()->Caret()); }
    void setSelection(int, int startOffset, int endOffset) override {
        View()->SetSelection(Offset(startOffset), Offset(endOffset));
    }
    int cursorPosition() const override { return Shown(View()->Caret()); }
    void setCursorPosition(int position) override {
        View()->SetSelection(Offset(position), Offset(position));
    }
    QString text(int startOffset, int endOffset) const override {
        return View()->Text().ShownText(Offset(startOffset), Offset(endOffset));
    }
    int characterCount() const override { return Shown(View()->Text().Size()); }
    QRect characterRect(int) const override { return QRect(); }
    int offsetAtPoint(const QPoint& point) const override {
        return Shown(View()->PositionAt(View()->viewport()->mapFromGlobal(point)));
    }
    void scrollToSubstring(int startIndex, int) override {
        View()->SetSelection(View()->Anchor(), Offset(startIndex));
        View()->EnsureCaretVisible();
    }
    QString attributes(int offset, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = offset;
        return QString();
    }

private:
    CTextView* View() const { return static_cast<CTextView*>(widget()); }
    // The byte position of an offset, and the offset of a byte position.
    std::size_t Offset(int offset) const {
        const CDisplayText& text = View()->Text();
        const auto wanted = static_cast<std::size_t>(std::max(0, offset));
        if (text.Reading().ShowsEveryByte())
            return std::min(wanted, text.Size());
        return text.PositionOfShown(wanted);
    }
    int Shown(std::size_t position) const {
        const CDisplayText& text = View()->Text();
        return static_cast<int>(text.Reading().ShowsEveryByte() ? position : text.ShownOffset(position));
    }
};

} // namespace

QAccessibleInterface* TextViewAccessibleFactory(const QString&, QObject* object) {
    if (auto* view = dynamic_cast<CTextView*>(object))
        return new TextViewAccessible(view);
    return nullptr;
}
