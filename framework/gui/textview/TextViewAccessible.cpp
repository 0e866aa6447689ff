#include "framework/gui/textview/TextViewAccessible.h"

#include "framework/gui/text/DisplayText.h"
#include "framework/gui/textview/ByteViewAccessible.h"
#include "framework/gui/textview/TextView.h"

#include <algorithm>

namespace {

// Offsets count the characters shown (UTF-16 units of the shown text, a line break one), which are the
// bytes themselves while every byte shows as itself.
class TextViewAccessible : public CByteViewAccessible {
public:
    explicit TextViewAccessible(CTextView* view) : CByteViewAccessible(view) {}

    using CByteViewAccessible::text;
    // Only the part asked for is made.
    QString text(int startOffset, int endOffset) const override {
        return View()->Text().ShownText(PositionOf(startOffset), PositionOf(endOffset));
    }
    int characterCount() const override { return OffsetOf(View()->Text().Size()); }

protected:
    QString Whole() const override { return View()->Text().ShownText(0, View()->Text().Size()); }
    std::size_t PositionOf(int offset) const override {
        const CDisplayText& text = View()->Text();
        const auto wanted = static_cast<std::size_t>(std::max(0, offset));
        if (text.Reading().ShowsEveryByte())
            return std::min(wanted, text.Size());
        return text.PositionOfShown(wanted);
    }
    int OffsetOf(std::size_t position) const override {
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
