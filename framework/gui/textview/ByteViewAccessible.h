#pragma once

#include <QAccessibleWidget>

#include <cstddef>

class CByteView;

// What assistive technologies get from a byte view: an editable text, read-only or not, with the view's
// caret and selection. A view's own interface says what its text is and how offsets in it stand to byte
// positions.
class CByteViewAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit CByteViewAccessible(CByteView* view);

    void* interface_cast(QAccessible::InterfaceType type) override;
    QAccessible::State state() const override;
    QString text(QAccessible::Text kind) const override;
    // A part of the whole text, and its length; a view whose text is costly to make whole says them
    // otherwise.
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;

    void selection(int index, int* startOffset, int* endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int index) override;
    void setSelection(int index, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint& point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int* startOffset, int* endOffset) const override;

protected:
    CByteView* View() const;
    // The whole text.
    virtual QString Whole() const = 0;
    // The offset of a byte position, and the byte position of an offset.
    virtual int OffsetOf(std::size_t position) const = 0;
    virtual std::size_t PositionOf(int offset) const = 0;
};
