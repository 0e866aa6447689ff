#include "framework/gui/textview/ByteView.h"

#include "framework/gui/text/DisplayText.h"
#include "framework/gui/textview/QuietScrollBar.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <climits>

CByteView::CByteView(QWidget* parent, const CDisplayText& text, QWidget* viewport, Bars bars)
    : QAbstractScrollArea(parent), m_text(text), m_quietBars(bars == Bars::kQuiet),
      m_holdText(QStringLiteral("Scrolled back: the view holds still. Scroll to the end to follow.")) {
    setFocusPolicy(Qt::StrongFocus);
    if (viewport != nullptr)
        setViewport(viewport);
    this->viewport()->setCursor(Qt::IBeamCursor);
    // The view paints every pixel of what it is asked to, so nothing behind it needs painting first.
    this->viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    if (m_quietBars) {
        setVerticalScrollBar(new CQuietScrollBar(Qt::Vertical, this));
        setHorizontalScrollBar(new CQuietScrollBar(Qt::Horizontal, this));
        // The scroll area lays out its bars again at every change of their ranges, and that repaints them
        // (and the frame beneath) although they stay where they are; the view changes the vertical range
        // on almost every update. So the bars are laid out only when one of them comes or goes. Should the
        // slot have another name in some Qt version, the disconnection fails and the area keeps its own way.
        m_layoutOnNeedOnly = true;
        for (QScrollBar* bar : {verticalScrollBar(), horizontalScrollBar()})
            m_layoutOnNeedOnly &= QObject::disconnect(bar, SIGNAL(rangeChanged(int, int)), this,
                                                      SLOT(_q_showOrHideScrollBars()));
    }
    verticalScrollBar()->setSingleStep(1);
    // Only the user's own scrolling (bar, wheel, drag) decides whether the view follows the end: the slider
    // position is already the new one when the action is reported.
    QObject::connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this, [this](int) {
        const QScrollBar* vertical = verticalScrollBar();
        m_follow = vertical->sliderPosition() >= vertical->maximum();
    });
    m_redrawTimer.setSingleShot(true);
    QObject::connect(&m_redrawTimer, &QTimer::timeout, this, [this]() { Redraw(); });
}

CByteView::~CByteView() = default;

void CByteView::TextChanged(std::size_t dropFront) {
    m_anchor = std::min(m_anchor > dropFront ? m_anchor - dropFront : 0, m_text.Size());
    m_caret = std::min(m_caret > dropFront ? m_caret - dropFront : 0, m_text.Size());
    UpdateScrollBars();
    ScheduleRedraw();
}

void CByteView::TextReplaced() {
    StartAfresh();
    m_anchor = m_caret = 0;
    m_follow = true;
    UpdateScrollBars();
    ScheduleRedraw();
}

void CByteView::SetSelection(std::size_t anchor, std::size_t caret) {
    m_anchor = std::min(anchor, m_text.Size());
    m_caret = std::min(caret, m_text.Size());
    ScheduleRedraw();
}

void CByteView::SelectionRange(std::size_t& start, std::size_t& end) const {
    start = std::min(m_anchor, m_caret);
    end = std::max(m_anchor, m_caret);
}

void CByteView::SelectAll() {
    SetSelection(0, m_text.Size());
}

int CByteView::VisibleRowCount() const {
    return std::max(1, (viewport()->height() - 2 * kMargin) / RowHeight());
}

std::size_t CByteView::FirstVisibleRow() const {
    return static_cast<std::size_t>(verticalScrollBar()->value());
}

void CByteView::SetFollowing(bool follow) {
    m_follow = follow;
    UpdateScrollBars();
    ScheduleRedraw();
}

void CByteView::ChangeBar(QScrollBar* bar, const std::function<void(QScrollBar&)>& change) {
    if (m_quietBars)
        static_cast<CQuietScrollBar*>(bar)->Apply(change);
    else
        change(*bar);
}

int CByteView::PlaceBars(std::size_t rows, std::size_t held, int wide, int step) {
    const int visible = VisibleRowCount();
    const std::size_t fits = static_cast<std::size_t>(visible);
    const int last = static_cast<int>(std::min<std::size_t>(rows > fits ? rows - fits : 0, INT_MAX));
    const int top =
        m_follow ? last : static_cast<int>(std::min<std::size_t>(held, static_cast<std::size_t>(last)));
    const int page = std::max(1, viewport()->width());
    m_adjusting = true;
    ChangeBar(verticalScrollBar(), [&](QScrollBar& vertical) {
        vertical.setRange(0, last);
        vertical.setPageStep(visible);
        vertical.setValue(top);
    });
    ChangeBar(horizontalScrollBar(), [&](QScrollBar& horizontal) {
        horizontal.setRange(0, std::max(0, wide));
        horizontal.setPageStep(page);
        horizontal.setSingleStep(std::max(1, step));
    });
    m_adjusting = false;
    const int needed = (last > 0 ? 1 : 0) | (wide > 0 ? 2 : 0);
    if (m_layoutOnNeedOnly && needed != m_barsNeeded) {
        m_barsNeeded = needed;
        QMetaObject::invokeMethod(this, "_q_showOrHideScrollBars", Qt::DirectConnection);
    }
    m_follow = top >= last;
    return top;
}

void CByteView::ScrollToRow(std::size_t row) {
    verticalScrollBar()->setValue(static_cast<int>(std::min<std::size_t>(row, INT_MAX)));
}

void CByteView::BringRowInSight(std::size_t row) {
    const std::size_t first = FirstVisibleRow();
    const std::size_t visible = static_cast<std::size_t>(VisibleRowCount());
    if (row < first)
        ScrollToRow(row);
    else if (row >= first + visible)
        ScrollToRow(row - visible + 1);
}

void CByteView::scrollContentsBy(int, int) {
    if (!m_adjusting)
        RememberTop();
    ScheduleRedraw();
}

void CByteView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void CByteView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange) {
        StyleChanged();
        UpdateScrollBars();
        ShowNow();
    }
}

void CByteView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    ShowNow();
}

void CByteView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    ShowNow();
}

void CByteView::ScheduleRedraw() {
    // Always through the timer, even when a redraw is due now.
    if (m_redrawTimer.isActive())
        return;
    const qint64 since = m_lastRedraw.isValid() ? m_lastRedraw.elapsed() : kRedrawInterval;
    m_redrawTimer.start(static_cast<int>(std::max<qint64>(0, kRedrawInterval - since)));
}

void CByteView::NoteRedraw() {
    m_redrawTimer.stop();
    m_lastRedraw.restart();
}

void CByteView::PaintHoldNotice(QPainter& painter) {
    const QFontMetrics metrics(QApplication::font());
    const QRect box = metrics.boundingRect(m_holdText).adjusted(-6, -3, 6, 3);
    const QRect place(viewport()->width() - box.width() - 4, viewport()->height() - box.height() - 4,
                      box.width(), box.height());
    painter.setFont(QApplication::font());
    painter.fillRect(place, palette().brush(QPalette::ToolTipBase));
    painter.setPen(palette().color(QPalette::ToolTipText));
    painter.drawRect(place.adjusted(0, 0, -1, -1));
    painter.drawText(place, Qt::AlignCenter, m_holdText);
}
