// The text view's painting: rows put together from glyph cells, straight into the window's image when
// the paint goes to the screen.
#include "framework/gui/text/ByteGlyphs.h"
#include "framework/gui/text/DisplayText.h"
#include "framework/gui/text/GlyphCells.h"
#include "framework/gui/textview/TextView.h"

#include <QApplication>
#include <QBackingStore>
#include <QFontMetrics>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

// An image the glyph cells can be written into in place: 32-bit pixels at one device pixel per pixel.
bool TakesCells(const QImage& image) {
    return (image.format() == QImage::Format_RGB32 ||
            image.format() == QImage::Format_ARGB32_Premultiplied) &&
           qFuzzyCompare(image.devicePixelRatio(), 1.0);
}

} // namespace

// The viewport, telling where its paint goes: to the window's image on the screen, or elsewhere (a grab).
class CTextView::Viewport : public QWidget {
public:
    using QWidget::redirected;
};

QWidget* CTextView::NewViewport() {
    return new Viewport;
}

const CGlyphCells& CTextView::Cells(bool selected) const {
    const QColor background = palette().color(selected ? QPalette::Highlight : QPalette::Base);
    const QColor pen = palette().color(selected ? QPalette::HighlightedText : QPalette::Text);
    std::unique_ptr<CGlyphCells>& cells = m_cells[selected ? 1 : 0];
    if (!cells || !cells->Matches(font(), RowHeight(), background, pen))
        cells = std::make_unique<CGlyphCells>(Glyphs(), RowHeight(), background, pen);
    return *cells;
}

CTextView::RunLook CTextView::LookOf(const ShownStyle& style, bool selected) const {
    RunLook look;
    if (selected) {
        look.pen = palette().color(QPalette::HighlightedText);
        look.background = palette().color(QPalette::Highlight);
        return look;
    }
    look.pen = style.foreground & ShownStyle::kSet ? QColor::fromRgb(style.foreground & 0xFFFFFF)
                                                   : palette().color(QPalette::Text);
    look.background = style.background & ShownStyle::kSet ? QColor::fromRgb(style.background & 0xFFFFFF)
                                                          : palette().color(QPalette::Base);
    if (style.flags & ShownStyle::kInverse)
        std::swap(look.pen, look.background);
    if (style.flags & ShownStyle::kFaint)
        look.pen = QColor((look.pen.red() + look.background.red()) / 2,
                          (look.pen.green() + look.background.green()) / 2,
                          (look.pen.blue() + look.background.blue()) / 2);
    look.variant = (style.flags & ShownStyle::kBold ? 1 : 0) | (style.flags & ShownStyle::kItalic ? 2 : 0);
    look.underline = (style.flags & ShownStyle::kUnderline) != 0;
    return look;
}

const CGlyphCells& CTextView::StyledCells(const RunLook& look) const {
    // A log uses a handful of looks; the oldest goes when a text uses many (24-bit colours).
    constexpr std::size_t kLooksKept = 24;
    const CByteGlyphs& glyphs = Glyphs(look.variant);
    for (const auto& cells : m_styledCells)
        if (cells->Matches(glyphs.Font(), RowHeight(), look.background, look.pen))
            return *cells;
    if (m_styledCells.size() >= kLooksKept)
        m_styledCells.erase(m_styledCells.begin());
    m_styledCells.push_back(std::make_unique<CGlyphCells>(glyphs, RowHeight(), look.background, look.pen));
    return *m_styledCells.back();
}

void CTextView::DrawShown(QPainter* painter, QImage* target, QPoint offset, const QRect& area,
                          CharPainter& chars, qreal left, qreal top, const unsigned char* bytes,
                          const ShownByte* shown, std::size_t from, std::size_t to, bool selected) {
    if (m_cellBytes.size() < to)
        m_cellBytes.resize(to);
    for (std::size_t i = from; i < to; ++i) {
        const ShownByte& cell = shown[i];
        int byte = '\t'; // a glyph-less cell: its room shows the background
        if (cell.kind == ShownByte::kByte)
            byte = bytes[i];
        else if (cell.kind == ShownByte::kChar)
            byte = std::max(CByteGlyphs::ByteShowing(cell.code), static_cast<int>('\t'));
        m_cellBytes[i] = static_cast<unsigned char>(byte);
    }
    auto charPainter = [&]() -> QPainter& {
        if (chars.drawer == nullptr) {
            // The paint's own painter where it draws on the target, else one on the target, once per paint.
            if (target == nullptr ||
                (painter != nullptr && painter->paintEngine()->paintDevice() == target)) {
                chars.drawer = painter;
            } else {
                chars.own.emplace(target);
                chars.own->translate(offset);
                chars.drawer = &*chars.own;
            }
            chars.drawer->save();
            chars.drawer->setClipRect(area);
        }
        return *chars.drawer;
    };
    const int height = RowHeight();
    const int cellsLeft = static_cast<int>(std::lround(left));
    for (std::size_t i = from; i < to;) {
        std::size_t j = i + 1;
        while (j < to && (selected || shown[j].style == shown[i].style))
            ++j;
        const RunLook look = LookOf(shown[i].style, selected);
        const CByteGlyphs& glyphs = Glyphs(look.variant);
        const qreal x0 = left + std::round(m_xs[i]);
        const qreal x1 = left + std::round(m_xs[j]);
        if (target != nullptr) {
            StyledCells(look).Draw(*target, cellsLeft + offset.x(), static_cast<int>(top) + offset.y(),
                                   m_cellBytes.data(), i, j, m_xs, area.translated(offset));
        } else {
            painter->fillRect(QRectF(x0, top, x1 - x0, height).intersected(area), look.background);
            painter->setPen(look.pen);
            glyphs.Draw(*painter, QPointF(left, top + glyphs.Ascent()), m_cellBytes.data(), i, j, m_xs);
        }
        for (std::size_t k = i; k < j; ++k) {
            if (shown[k].kind != ShownByte::kChar || CByteGlyphs::ByteShowing(shown[k].code) >= 0)
                continue;
            std::size_t base = k;
            QString text;
            if (shown[k].width == 0) {
                // A combining mark goes over the character before it, drawn again with it.
                std::size_t before = k;
                while (before > 0 && shown[before - 1].kind != ShownByte::kChar &&
                       shown[before - 1].kind != ShownByte::kByte)
                    --before;
                if (before > 0) {
                    base = before - 1;
                    const char32_t baseCode = shown[base].kind == ShownByte::kChar
                                                  ? shown[base].code
                                                  : CByteGlyphs::ShownChar(bytes[base]);
                    text = QString::fromUcs4(&baseCode, 1);
                }
            }
            const char32_t code = shown[k].code;
            text += QString::fromUcs4(&code, 1);
            QPainter& p = charPainter();
            p.setFont(glyphs.Font());
            p.setPen(look.pen);
            p.drawText(QPointF(left + std::round(m_xs[base]), top + glyphs.Ascent()), text);
        }
        if (look.underline) {
            const QRectF line(x0, top + glyphs.Ascent() + 1, x1 - x0, 1);
            if (target != nullptr)
                CGlyphCells::Fill(*target, line.toAlignedRect().intersected(area).translated(offset),
                                  look.pen);
            else
                painter->fillRect(line.intersected(area), look.pen);
        }
        i = j;
    }
}

bool CTextView::CellsAffordable() const {
    return CGlyphCells::Affordable(Glyphs(), RowHeight());
}

QImage* CTextView::CellTarget(QPainter& painter, QPoint& offset) {
    offset = QPoint();
    if (!qFuzzyCompare(viewport()->devicePixelRatioF(), 1.0) || !CellsAffordable())
        return nullptr;
    // The backing store's own image when the painter draws on one of 32-bit pixels, unscaled: the cells
    // then go there straight away, with no image of the view's own to copy from.
    QPaintEngine* engine = painter.paintEngine();
    QPaintDevice* device = engine != nullptr ? engine->paintDevice() : nullptr;
    const QTransform transform = painter.deviceTransform();
    if (device != nullptr && device->devType() == QInternal::Image &&
        transform.type() <= QTransform::TxTranslate) {
        auto* image = static_cast<QImage*>(device);
        if (TakesCells(*image)) {
            offset = QPoint(qRound(transform.dx()), qRound(transform.dy()));
            m_frame = QImage();
            return image;
        }
    }
    if (m_frame.size() != viewport()->size())
        m_frame = QImage(viewport()->size(), QImage::Format_RGB32);
    return &m_frame;
}

QImage* CTextView::StoreImage(QPoint& offset) const {
    QWidget* port = viewport();
    QBackingStore* store = port->backingStore();
    QPoint redirection;
    QPaintDevice* device = static_cast<const Viewport*>(port)->redirected(&redirection);
    if (store == nullptr || device == nullptr || device != store->paintDevice() ||
        device->devType() != QInternal::Image || !qFuzzyCompare(port->devicePixelRatioF(), 1.0) ||
        !TakesCells(*static_cast<QImage*>(device)) || !CellsAffordable())
        return nullptr;
    // The paint is redirected by the viewport's place in the window, the other way round.
    offset = -redirection;
    return static_cast<QImage*>(device);
}

void CTextView::paintEvent(QPaintEvent* event) {
    // A paint that the view did not ask for (an expose) shows the text as it is now; when a redraw is
    // still due, the rows it did not cover show the text as it was, so the next redraw repaints all.
    if (RedrawDue() || FrameInSight() != m_shownFrame)
        InvalidateShown();
    const QColor text = palette().color(QPalette::Text);
    QRectF caretBar;
    QPoint offset;
    // Painting to the screen, the cells go straight into the window's image. A painter, set up anew for
    // every paint, costs about as much as drawing three rows, and the cells do not need one.
    if (QImage* store = StoreImage(offset)) {
        // Rectangle by rectangle of the region: writing pixels straight into a backing store must not
        // touch what lies outside it (another window over this one).
        for (const QRect& area : event->region())
            PaintArea(nullptr, store, offset, area, caretBar);
        if (!caretBar.isNull())
            for (const QRect& area : event->region())
                CGlyphCells::Fill(*store, caretBar.toAlignedRect().intersected(area).translated(offset),
                                  text);
        if (!IsFollowing()) {
            QPainter painter(viewport());
            PaintHoldNotice(painter);
        }
        return;
    }
    QPainter painter(viewport());
    // At one device pixel per pixel the lines are put together from glyph cells; on a scaled screen the
    // glyphs are drawn one by one, at the screen's resolution.
    QImage* target = CellTarget(painter, offset);
    for (const QRect& area : event->region())
        PaintArea(&painter, target, offset, area, caretBar);
    if (target == &m_frame)
        for (const QRect& area : event->region())
            painter.drawImage(area, m_frame, area);
    if (!caretBar.isNull())
        painter.fillRect(caretBar, text);
    if (!IsFollowing())
        PaintHoldNotice(painter);
}

void CTextView::PaintArea(QPainter* painter, QImage* target, QPoint offset, const QRect& area,
                          QRectF& caretBar) {
    const bool fromCells = target != nullptr;
    // Rectangles in the viewport's coordinates; the target's are moved by offset.
    auto fill = [&](const QRectF& rect, QPalette::ColorRole role) {
        if (fromCells)
            CGlyphCells::Fill(*target, rect.toAlignedRect().intersected(area).translated(offset),
                              palette().color(role));
        else
            painter->fillRect(rect.intersected(area), palette().brush(role));
    };
    const CLineIndex& lines = Text().Lines();
    std::size_t selStart = 0;
    std::size_t selEnd = 0;
    const std::size_t caret = AbsoluteSelection(selStart, selEnd);
    const std::size_t caretLine = hasFocus() ? lines.LineOf(caret) : kNoCaret;
    const int height = RowHeight();
    const int rows = viewport()->height() / height + 2;
    // Only the rows the area touches.
    const int rowFrom = std::max(0, (area.top() - kMargin) / height);
    const int rowTo = std::min(rows, (area.bottom() - kMargin) / height + 1);
    const std::size_t first = FirstVisibleRow();
    const qreal left = kMargin - horizontalScrollBar()->value();
    const CByteGlyphs& glyphs = Glyphs();
    const CGlyphCells* cells[2] = {fromCells ? &Cells(false) : nullptr, fromCells ? &Cells(true) : nullptr};
    const QColor text = palette().color(QPalette::Text);
    const QColor highlighted = palette().color(QPalette::HighlightedText);
    const qreal breakWidth = Measures().averageWidth;
    const int cellsLeft = static_cast<int>(std::lround(left));
    const QRect clip = area.translated(offset);
    const ShownByte* shown = nullptr;
    CharPainter chars;
    auto draw = [&](qreal top, const unsigned char* bytes, std::size_t from, std::size_t to, bool selected) {
        if (from >= to)
            return;
        if (shown != nullptr) {
            DrawShown(painter, target, offset, area, chars, left, top, bytes, shown, from, to, selected);
        } else if (fromCells) {
            cells[selected ? 1 : 0]->Draw(*target, cellsLeft + offset.x(), static_cast<int>(top) + offset.y(),
                                          bytes, from, to, m_xs, clip);
        } else {
            painter->setPen(selected ? highlighted : text);
            glyphs.Draw(*painter, QPointF(left, top + glyphs.Ascent()), bytes, from, to, m_xs);
        }
    };
    // Glyph cells cover the columns they are given, so only what lies beside them is filled; painted one
    // by one, the glyphs go onto a background filled first.
    if (fromCells)
        fill(QRect(area.left(), area.top(), area.width(), std::max(0, kMargin - area.top())), QPalette::Base);
    else
        fill(area, QPalette::Base);
    for (int row = rowFrom; row < rowTo; ++row) {
        const std::size_t line = first + static_cast<std::size_t>(row);
        const qreal top = kMargin + row * height;
        if (line >= lines.LineCount()) {
            if (fromCells)
                fill(QRect(area.left(), static_cast<int>(top), area.width(), height), QPalette::Base);
            continue;
        }
        const std::size_t start = lines.LineStart(line);
        std::size_t count = 0;
        const unsigned char* bytes = LineBytes(line, count);
        shown = Text().Decodes() ? m_lineShown.data() : nullptr;
        const std::size_t stop = start + count;
        // The selected columns of this line, and a little highlighted room for a selected line break.
        const std::size_t from = std::clamp(selStart, start, stop) - start;
        const std::size_t to = std::clamp(selEnd, start, stop) - start;
        // Only the columns in sight are drawn: a long line shows a small part of itself.
        const auto shownFrom = static_cast<std::size_t>(
            std::upper_bound(m_xs.begin(), m_xs.end() - 1, area.left() - left - breakWidth * 2) -
            m_xs.begin());
        const auto shownTo = static_cast<std::size_t>(
            std::lower_bound(m_xs.begin(), m_xs.end() - 1, area.right() + 1 - left) - m_xs.begin());
        const std::size_t drawFrom = shownFrom > 0 ? shownFrom - 1 : 0;
        const std::size_t drawTo = std::min(count, shownTo + 1);
        if (fromCells) {
            const int textFrom = cellsLeft + static_cast<int>(std::lround(m_xs[drawFrom]));
            const int textTo = cellsLeft + static_cast<int>(std::lround(m_xs[drawTo]));
            const int y = static_cast<int>(top);
            fill(QRect(area.left(), y, textFrom - area.left(), height), QPalette::Base);
            fill(QRect(textTo, y, area.right() + 1 - textTo, height), QPalette::Base);
        } else if (from < to) {
            fill(QRectF(left + std::round(m_xs[from]), top, std::round(m_xs[to]) - std::round(m_xs[from]),
                        height),
                 QPalette::Highlight);
        }
        if (selStart <= stop && selEnd > stop && line + 1 < lines.LineCount())
            fill(QRectF(left + std::round(m_xs[count]), top, breakWidth, height), QPalette::Highlight);
        draw(top, bytes, drawFrom, std::clamp(from, drawFrom, drawTo), false);
        draw(top, bytes, std::clamp(to, drawFrom, drawTo), drawTo, false);
        draw(top, bytes, std::clamp(from, drawFrom, drawTo), std::clamp(to, drawFrom, drawTo), true);
        if (line == caretLine)
            caretBar = QRectF(left + std::round(m_xs[std::min(caret, stop) - start]), top, 1, height);
    }
    if (chars.drawer != nullptr)
        chars.drawer->restore();
}
