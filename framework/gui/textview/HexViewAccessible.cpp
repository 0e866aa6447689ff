#include "framework/gui/textview/HexViewAccessible.h"

#include "framework/gui/text/DisplayText.h"
#include "framework/gui/text/HexDump.h"
#include "framework/gui/textview/ByteViewAccessible.h"
#include "framework/gui/textview/HexView.h"

#include <algorithm>

namespace {

// Offsets are character positions in the dump text (the lines of every row, joined by "\n").
class HexViewAccessible : public CByteViewAccessible {
public:
    explicit HexViewAccessible(CHexView* view) : CByteViewAccessible(view) {}

protected:
    QString Whole() const override {
        return QString::fromLatin1(Hex()->Dump().Lines(0, Hex()->Text().Size()));
    }
    int OffsetOf(std::size_t position) const override {
        const CHexDump dump = Hex()->Dump();
        return static_cast<int>(dump.RowOf(position)) * LineStride() +
               static_cast<int>(dump.CaretColumn(position));
    }
    std::size_t PositionOf(int offset) const override {
        const CHexDump dump = Hex()->Dump();
        if (dump.RowCount() == 0)
            return 0;
        const std::size_t row =
            std::min(static_cast<std::size_t>(std::max(0, offset) / LineStride()), dump.RowCount() - 1);
        const std::size_t column = static_cast<std::size_t>(std::max(0, offset) % LineStride());
        return dump.PositionIn(row, dump.ByteAtHexColumn(column));
    }

private:
    CHexView* Hex() const { return static_cast<CHexView*>(View()); }
    // Every line but the last is a full one, so a row's line starts at a multiple of a full line's length.
    int LineStride() const { return static_cast<int>(Hex()->Dump().LineLength()) + 1; }
};

} // namespace

QAccessibleInterface* HexViewAccessibleFactory(const QString&, QObject* object) {
    if (auto* view = dynamic_cast<CHexView*>(object))
        return new HexViewAccessible(view);
    return nullptr;
}
