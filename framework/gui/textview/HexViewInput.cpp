// The hex view's own input: the caret moves by bytes and by rows of sixteen, a drag takes whole bytes, and
// the context menu also copies the bytes as a hexadecimal byte string.
#include "framework/gui/text/DisplayText.h"
#include "framework/gui/text/HexDump.h"
#include "framework/gui/textview/HexView.h"

#include <QMenu>

#include <algorithm>

std::size_t CHexView::Target(Move move) const {
    const CHexDump dump = Dump();
    const long long size = static_cast<long long>(Text().Size());
    const long long caret = static_cast<long long>(Caret());
    const long long row = static_cast<long long>(CHexDump::kRowBytes);
    const long long page = row * VisibleRowCount();
    long long target = size;
    switch (move) {
    case Move::kNextChar:
        target = caret + 1;
        break;
    case Move::kPreviousChar:
        target = caret - 1;
        break;
    case Move::kNextLine:
        target = caret + row;
        break;
    case Move::kPreviousLine:
        target = caret - row;
        break;
    case Move::kNextPage:
        target = caret + page;
        break;
    case Move::kPreviousPage:
        target = caret - page;
        break;
    case Move::kStartOfLine:
        target = static_cast<long long>(dump.RowBegin(dump.RowOf(Caret())));
        break;
    case Move::kEndOfLine:
        target = static_cast<long long>(dump.RowEnd(dump.RowOf(Caret())));
        break;
    case Move::kStartOfDocument:
        target = 0;
        break;
    case Move::kEndOfDocument:
        break;
    }
    return static_cast<std::size_t>(std::clamp(target, 0LL, size));
}

std::size_t CHexView::DragTarget(const QPoint& point) const {
    const std::size_t position = PositionAt(point);
    return position >= Anchor() ? std::min(position + 1, Text().Size()) : position;
}

void CHexView::AddCopyActions(QMenu& menu, bool selected) {
    QAction* bytes = menu.addAction(QStringLiteral("Copy &Bytes"));
    bytes->setEnabled(selected);
    QObject::connect(bytes, &QAction::triggered, this, [this]() { CopySelectedBytes(); });
}
