#include "framework/gui/textview/QuietScrollBar.h"

#include <QBackingStore>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

#include <algorithm>
#include <array>

namespace {

// What decides a line's pixels in a style that draws the slider alike along its length: inside the
// slider or not, and how far from its ends, up to kEdgeLines.
struct LineRole {
    bool inside = false;
    bool after = false; // outside, past the slider's end
    int fromStart = 0;
    int toEnd = 0;
    bool operator==(const LineRole& other) const {
        return inside == other.inside && after == other.after && fromStart == other.fromStart &&
               toEnd == other.toEnd;
    }
};

LineRole RoleOf(int line, int start, int end, int edge) {
    LineRole role;
    role.inside = line >= start && line < end;
    if (role.inside) {
        role.fromStart = std::min(line - start, edge);
        role.toEnd = std::min(end - 1 - line, edge);
    } else {
        role.fromStart = std::min(line < start ? start - 1 - line : line - end, edge);
        role.after = line >= end && role.fromStart < edge;
    }
    return role;
}

} // namespace

CQuietScrollBar::CQuietScrollBar(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent) {
    // The bar paints its background itself, as its parents would beneath it: the same pixels in one layer
    // instead of two.
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_repaintLater.setSingleShot(true);
    QObject::connect(&m_repaintLater, &QTimer::timeout, this, [this]() { RepaintChange(); });
}

CQuietScrollBar::Look CQuietScrollBar::CurrentLook() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    Look look;
    look.slider = style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
    look.atStart = option.sliderPosition <= option.minimum;
    look.atEnd = option.sliderPosition >= option.maximum;
    return look;
}

void CQuietScrollBar::Apply(const std::function<void(QScrollBar&)>& change) {
    // Most changes of an update leave a bar's values as they were; the look, which asks the style, is only
    // worked out when one of them moved.
    const auto values = [this] {
        return std::array<int, 4>{minimum(), maximum(), pageStep(), sliderPosition()};
    };
    const std::array<int, 4> before = values();
    const bool disabled = testAttribute(Qt::WA_UpdatesDisabled);
    setAttribute(Qt::WA_UpdatesDisabled, true);
    m_applying = true;
    change(*this);
    m_applying = false;
    setAttribute(Qt::WA_UpdatesDisabled, disabled);
    if (!disabled && !m_repaintLater.isActive() &&
        (!m_everPainted || (values() != before && CurrentLook() != m_painted)))
        m_repaintLater.start(kApplyRepaintMs);
}

void CQuietScrollBar::ShowChanges() {
    const qint64 since = m_lastPaint.isValid() ? m_lastPaint.elapsed() : kApplyRepaintMs;
    if (!m_repaintLater.isActive() || since < kApplyRepaintMs)
        return;
    m_repaintLater.stop();
    RepaintChange();
}

QRegion CQuietScrollBar::ChangedArea(const Look& from, const Look& to) const {
    const bool vertical = orientation() == Qt::Vertical;
    const bool lineWise = style()->name().compare(QLatin1String("fusion"), Qt::CaseInsensitive) == 0;
    const bool acrossAlike =
        vertical ? from.slider.left() == to.slider.left() && from.slider.width() == to.slider.width()
                 : from.slider.top() == to.slider.top() && from.slider.height() == to.slider.height();
    if (!lineWise || !acrossAlike || from.atStart != to.atStart || from.atEnd != to.atEnd ||
        from.slider.isEmpty() || to.slider.isEmpty())
        return rect();
    const int fromStart = vertical ? from.slider.top() : from.slider.left();
    const int fromEnd = fromStart + (vertical ? from.slider.height() : from.slider.width());
    const int toStart = vertical ? to.slider.top() : to.slider.left();
    const int toEnd = toStart + (vertical ? to.slider.height() : to.slider.width());
    // Only lines within reach of an end can change; the runs of those that do are repainted.
    const int first = std::max(0, std::min(fromStart, toStart) - kEdgeLines - 1);
    const int last = std::min(vertical ? height() : width(), std::max(fromEnd, toEnd) + kEdgeLines + 1);
    QRegion area;
    int runStart = -1;
    auto addRun = [&](int runEnd) {
        area += vertical ? QRect(0, runStart, width(), runEnd - runStart)
                         : QRect(runStart, 0, runEnd - runStart, height());
        runStart = -1;
    };
    for (int line = first; line < last; ++line) {
        const bool changed =
            !(RoleOf(line, fromStart, fromEnd, kEdgeLines) == RoleOf(line, toStart, toEnd, kEdgeLines));
        if (changed && runStart < 0)
            runStart = line;
        else if (!changed && runStart >= 0)
            addRun(line);
    }
    if (runStart >= 0)
        addRun(last);
    return area;
}

void CQuietScrollBar::RepaintChange() {
    if (!m_everPainted) {
        update();
        return;
    }
    const Look now = CurrentLook();
    if (now != m_painted)
        update(ChangedArea(m_painted, now));
}

void CQuietScrollBar::sliderChange(SliderChange change) {
    // Compared with the last paint, not the last change: whatever else repainted the bar meanwhile (a
    // resize, the mouse over it) showed the values of then.
    // Within Apply the look is compared once, at the end.
    if (m_applying)
        return;
    if (change == SliderOrientationChange)
        QScrollBar::sliderChange(change);
    else
        RepaintChange();
}

void CQuietScrollBar::paintEvent(QPaintEvent* event) {
    // A paint into a picture of the bar (a grab) changes nothing on the screen; a paint for the screen
    // goes to the window's backing store.
    QBackingStore* store = backingStore();
    if (store != nullptr && redirected(nullptr) == store->paintDevice()) {
        const Look now = CurrentLook();
        // A paint of only part of a changed bar (asked for by something else) leaves lines of the old
        // look: the whole bar follows.
        if (m_everPainted && now != m_painted && !(ChangedArea(m_painted, now) - event->region()).isEmpty())
            update();
        m_painted = now;
        m_everPainted = true;
        m_lastPaint.restart();
    }
    // Pointed at or held, the bar shows what the pointer does to it, which only its own paint knows.
    if (underMouse() || isSliderDown() || QGuiApplication::mouseButtons() != Qt::NoButton) {
        QPainter(this).fillRect(event->rect(), palette().brush(backgroundRole()));
        QScrollBar::paintEvent(event);
        return;
    }
    DrawPieces(event->region());
}

void CQuietScrollBar::DrawPieces(const QRegion& area) {
    // Each piece of the paint is drawn in an image with a clip of that piece alone, then copied. Drawn
    // straight into the window, the style's lines and fills would go through the paint's clip of several
    // pieces, and the raster engine hands such fills of a hundred lines or more to worker threads and waits
    // for them, even for a bar a few pixels high. A piece is copied before the next is drawn: the style
    // sets clips of its own, which may reach beyond the piece.
    QStyleOptionSlider option;
    initStyleOption(&option);
    option.subControls = QStyle::SC_All;
    option.activeSubControls = QStyle::SC_None;
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    if (m_drawn.size() != pixels) {
        m_drawn = QImage(pixels, QImage::Format_RGB32);
        m_drawn.setDevicePixelRatio(ratio);
    }
    QPainter onScreen(this);
    for (const QRect& piece : area) {
        {
            QPainter painter(&m_drawn);
            painter.setClipRect(piece);
            painter.fillRect(piece, palette().brush(backgroundRole()));
            style()->drawComplexControl(QStyle::CC_ScrollBar, &option, &painter, this);
        }
        onScreen.drawImage(QRectF(piece), m_drawn,
                           QRectF(QPointF(piece.topLeft()) * ratio, QSizeF(piece.size()) * ratio));
    }
}
