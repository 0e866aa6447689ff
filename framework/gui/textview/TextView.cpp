#include "framework/gui/textview/TextView.h"

#include "framework/gui/drawing/JoinedRepaint.h"
#include "framework/gui/text/ByteGlyphs.h"
#include "framework/gui/text/DisplayText.h"
#include "framework/gui/text/GlyphCells.h"
#include "framework/gui/textview/QuietScrollBar.h"
#include "framework/gui/textview/TextViewAccessible.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QScrollBar>

#include <algorithm>

CTextView::CTextView(QWidget* parent, const CDisplayText& text)
    : QAbstractScrollArea(parent), m_text(text),
      m_holdText(QStringLiteral("Scrolled back: the view holds still. Scroll to the end to follow.")) {
    static const bool accessible = [] {
        QAccessible::installFactory(&TextViewAccessibleFactory);
        return true;
    }();
    (void)accessible;
    setFocusPolicy(Qt::StrongFocus);
    setViewport(NewViewport());
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(false);
    // The view paints every pixel of what it is asked to, so nothing behind it (the window's frame and
    // background) needs painting first.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    // Likewise for the scroll bars, which move on every update: the view fills its own background, so a
    // scroll bar's repaint stops here instead of repainting the window's frame and title below it.
    setAutoFillBackground(true);
    setVerticalScrollBar(new CQuietScrollBar(Qt::Vertical, this));
    setHorizontalScrollBar(new CQuietScrollBar(Qt::Horizontal, this));
    // The scroll area lays out its bars again at every change of their ranges, and that repaints them
    // (and the frame beneath) although they stay where they are; the view changes the vertical range on
    // almost every update. So the bars are laid out only when one of them comes or goes. Should the slot
    // have another name in some Qt version, the disconnection fails and the area keeps its own way.
    for (QScrollBar* bar : {verticalScrollBar(), horizontalScrollBar()})
        m_layoutOnNeedOnly &=
            QObject::disconnect(bar, SIGNAL(rangeChanged(int, int)), this, SLOT(_q_showOrHideScrollBars()));
    verticalScrollBar()->setSingleStep(1);
    // Only the user's own scrolling (bar, wheel, drag) decides whether the view follows the end: the slider
    // position is already the new one when the action is reported.
    QObject::connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this, [this](int) {
        const QScrollBar* vertical = verticalScrollBar();
        m_follow = vertical->sliderPosition() >= vertical->maximum();
    });
    m_redrawTimer.setSingleShot(true);
    QObject::connect(&m_redrawTimer, &QTimer::timeout, this, [this]() { Redraw(); });
    UpdateScrollBars();
}

CTextView::~CTextView() = default;

const CTextView::FontMeasures& CTextView::Measures() const {
    // Measured once per font: an update asks for them several times, and each measuring looks the font up.
    if (!m_measures) {
        const QFontMetrics metrics(font());
        m_measures =
            FontMeasures{std::max(1, metrics.lineSpacing()), metrics.horizontalAdvance(QLatin1Char('W')),
                         QFontMetricsF(font()).averageCharWidth()};
    }
    return *m_measures;
}

int CTextView::LineHeight() const {
    return Measures().lineHeight;
}

int CTextView::VisibleLineCount() const {
    return std::max(1, (viewport()->height() - 2 * kMargin) / LineHeight());
}

std::size_t CTextView::FirstVisibleLine() const {
    return static_cast<std::size_t>(verticalScrollBar()->value());
}

void CTextView::TextChanged(std::size_t dropFront) {
    m_anchor = m_anchor > dropFront ? m_anchor - dropFront : 0;
    m_caret = m_caret > dropFront ? m_caret - dropFront : 0;
    m_anchor = std::min(m_anchor, m_text.Size());
    m_caret = std::min(m_caret, m_text.Size());
    UpdateScrollBars();
    ScheduleRedraw();
}

void CTextView::TextReplaced() {
    // Positions start again: a row of the new text may have the bounds of another of the old.
    InvalidateShown();
    m_anchor = m_caret = 0;
    m_top = m_text.Base();
    m_follow = true;
    UpdateScrollBars();
    ScheduleRedraw();
}

void CTextView::ReadingChanged() {
    InvalidateShown();
    m_anchor = m_text.CharacterStart(m_anchor);
    m_caret = m_text.CharacterStart(m_caret);
    UpdateScrollBars();
    ScheduleRedraw();
}

void CTextView::UpdateScrollBars() {
    const CLineIndex& lines = m_text.Lines();
    const std::size_t count = lines.LineCount();
    const int visible = VisibleLineCount();
    const int last = static_cast<int>(std::min<std::size_t>(
        count > static_cast<std::size_t>(visible) ? count - static_cast<std::size_t>(visible) : 0, INT_MAX));
    // Following keeps the last line in sight; holding keeps the line that was at the top, wherever the
    // front of the text went meanwhile.
    const std::size_t held = lines.LineOf(std::max(m_top, m_text.Base()));
    const int top =
        m_follow ? last : static_cast<int>(std::min<std::size_t>(held, static_cast<std::size_t>(last)));
    const int wideAdvance = Measures().wideAdvance;
    const qreal longest = static_cast<qreal>(lines.Longest(m_text.Base() + m_text.Size())) * wideAdvance;
    const int wide = static_cast<int>(std::min<qreal>(longest + 2 * kMargin - viewport()->width(), INT_MAX));

    m_adjusting = true;
    static_cast<CQuietScrollBar*>(verticalScrollBar())->Apply([&](QScrollBar& vertical) {
        vertical.setRange(0, last);
        vertical.setPageStep(visible);
        vertical.setValue(top);
    });
    const int page = std::max(1, viewport()->width());
    const int step = std::max(1, wideAdvance);
    static_cast<CQuietScrollBar*>(horizontalScrollBar())->Apply([&](QScrollBar& horizontal) {
        horizontal.setRange(0, std::max(0, wide));
        horizontal.setPageStep(page);
        horizontal.setSingleStep(step);
    });
    m_adjusting = false;
    const int needed = (last > 0 ? 1 : 0) | (wide > 0 ? 2 : 0);
    if (m_layoutOnNeedOnly && needed != m_barsNeeded) {
        m_barsNeeded = needed;
        QMetaObject::invokeMethod(this, "_q_showOrHideScrollBars", Qt::DirectConnection);
    }
    m_top = lines.LineStart(static_cast<std::size_t>(top));
    m_follow = top >= last;
}

void CTextView::SetFollowing(bool follow) {
    m_follow = follow;
    UpdateScrollBars();
    ScheduleRedraw();
}

void CTextView::ScrollToLine(std::size_t line) {
    verticalScrollBar()->setValue(static_cast<int>(std::min<std::size_t>(line, INT_MAX)));
}

void CTextView::scrollContentsBy(int, int) {
    if (!m_adjusting)
        m_top = m_text.Lines().LineStart(static_cast<std::size_t>(verticalScrollBar()->value()));
    ScheduleRedraw();
}

void CTextView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
    Redraw();
}

void CTextView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange) {
        m_measures.reset();
        ++m_styleStamp;
        UpdateScrollBars();
        Redraw();
    }
}

void CTextView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    Redraw();
}

void CTextView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    Redraw();
}

void CTextView::ScheduleRedraw() {
    // Always through the timer, even when a redraw is due now: the changes of one handler (the text, then
    // the caret that follows it) then make a single paint.
    if (m_redrawTimer.isActive())
        return;
    const qint64 since = m_lastRedraw.isValid() ? m_lastRedraw.elapsed() : kRedrawInterval;
    m_redrawTimer.start(static_cast<int>(std::max<qint64>(0, kRedrawInterval - since)));
}

bool CTextView::ShownRow::operator==(const ShownRow& other) const {
    return start == other.start && stop == other.stop && selectedFrom == other.selectedFrom &&
           selectedTo == other.selectedTo && breakSelected == other.breakSelected && caret == other.caret;
}

bool CTextView::ShownFrame::operator==(const ShownFrame& other) const {
    return size == other.size && left == other.left && lineHeight == other.lineHeight &&
           following == other.following && focused == other.focused && styleStamp == other.styleStamp;
}

CTextView::ShownFrame CTextView::FrameInSight() const {
    ShownFrame frame;
    frame.size = viewport()->size();
    frame.left = horizontalScrollBar()->value();
    frame.lineHeight = LineHeight();
    frame.following = m_follow;
    frame.focused = hasFocus();
    frame.styleStamp = m_styleStamp;
    return frame;
}

std::vector<CTextView::ShownRow> CTextView::RowsInSight() const {
    const CLineIndex& lines = m_text.Lines();
    const std::size_t end = m_text.Base() + m_text.Size();
    std::size_t selStart = 0;
    std::size_t selEnd = 0;
    const std::size_t caret = AbsoluteSelection(selStart, selEnd);
    const std::size_t caretLine = hasFocus() ? lines.LineOf(caret) : kNoCaret;
    const std::size_t count = lines.LineCount();
    const std::size_t first = FirstVisibleLine();
    std::vector<ShownRow> rows(static_cast<std::size_t>(viewport()->height() / LineHeight() + 2));
    for (std::size_t row = 0; row < rows.size(); ++row) {
        ShownRow& shown = rows[row];
        const std::size_t line = first + row;
        if (line >= count) {
            shown.start = shown.stop = kNoCaret;
            continue;
        }
        shown.start = lines.LineStart(line);
        shown.stop = lines.LineEnd(line, end);
        shown.selectedFrom = std::clamp(selStart, shown.start, shown.stop) - shown.start;
        shown.selectedTo = std::clamp(selEnd, shown.start, shown.stop) - shown.start;
        shown.breakSelected = selStart <= shown.stop && selEnd > shown.stop && line + 1 < count;
        if (line == caretLine)
            shown.caret = std::min(caret, shown.stop) - shown.start;
    }
    return rows;
}

QRect CTextView::RowRect(int row) const {
    const int height = LineHeight();
    return QRect(0, kMargin + row * height, viewport()->width(), height);
}

void CTextView::Redraw() {
    m_redrawTimer.stop();
    m_lastRedraw.restart();
    QWidget* port = viewport();
    if (!port->isVisible() || !port->updatesEnabled()) {
        // Nothing is painted now, so nothing on the screen can be relied on later.
        InvalidateShown();
        return;
    }
    // Changes of the scroll bars held back until now go with this paint.
    for (QScrollBar* bar : {verticalScrollBar(), horizontalScrollBar()})
        static_cast<CQuietScrollBar*>(bar)->ShowChanges();
    std::vector<ShownRow> rows = RowsInSight();
    const ShownFrame frame = FrameInSight();
    const int count = static_cast<int>(rows.size());
    QRegion dirty;
    // How many rows the lines moved up (down when negative) since the last redraw.
    int shift = 0;
    bool whole = !m_shownValid || frame != m_shownFrame || rows.size() != m_shown.size();
    if (!whole && rows[0].start != m_shown[0].start) {
        const auto later = [](const ShownRow& row, std::size_t start) { return row.start < start; };
        const bool up = rows[0].start > m_shown[0].start;
        const std::vector<ShownRow>& moved = up ? m_shown : rows;
        const std::size_t wanted = up ? rows[0].start : m_shown[0].start;
        const auto found = std::lower_bound(moved.begin(), moved.end(), wanted, later);
        // The notice shown while holding still would move with the lines, so holding repaints instead.
        if (found == moved.end() || found->start != wanted || !m_follow)
            whole = true;
        else
            shift = static_cast<int>(found - moved.begin()) * (up ? 1 : -1);
    }
    if (whole) {
        dirty = port->rect();
    } else {
        if (shift != 0) {
            // The rows that only moved are moved on the screen; the rows that come to sight are painted.
            port->scroll(0, -shift * frame.lineHeight,
                         QRect(0, kMargin, port->width(), port->height() - kMargin));
        }
        for (int row = 0; row < count; ++row) {
            const int before = row + shift;
            if (before < 0 || before >= count ||
                rows[static_cast<std::size_t>(row)] != m_shown[static_cast<std::size_t>(before)])
                dirty |= RowRect(row);
        }
    }
    m_shown = std::move(rows);
    m_shownFrame = frame;
    m_shownValid = true;
    if (!dirty.isEmpty()) {
        JoinedRepaint::Join();
        port->repaint(dirty);
    }
}

const CByteGlyphs& CTextView::Glyphs() const {
    if (!m_glyphs || m_glyphs->Font() != font())
        m_glyphs = std::make_unique<CByteGlyphs>(font(), kTabStop);
    return *m_glyphs;
}

const CByteGlyphs& CTextView::Glyphs(int variant) const {
    if (variant == 0)
        return Glyphs();
    std::unique_ptr<CByteGlyphs>& glyphs = m_variantGlyphs[variant - 1];
    QFont shaped = font();
    shaped.setBold((variant & 1) != 0);
    shaped.setItalic((variant & 2) != 0);
    if (!glyphs || glyphs->Font() != shaped)
        glyphs = std::make_unique<CByteGlyphs>(shaped, kTabStop);
    return *glyphs;
}

const unsigned char* CTextView::LineBytes(std::size_t line, std::size_t& count) const {
    const CLineIndex& lines = m_text.Lines();
    const std::size_t base = m_text.Base();
    const std::size_t start = lines.LineStart(line);
    count = lines.LineEnd(line, base + m_text.Size()) - start;
    const unsigned char* bytes =
        reinterpret_cast<const unsigned char*>(m_text.Bytes().data()) + (start - base);
    if (m_text.Decodes()) {
        m_text.ShownRange(start - base, count, m_lineShown);
        Glyphs().Positions(bytes, m_lineShown.data(), count, Measures().wideAdvance, m_xs);
    } else {
        Glyphs().Positions(bytes, count, m_xs);
    }
    return bytes;
}

QString CTextView::LineText(std::size_t line) const {
    std::size_t count = 0;
    const unsigned char* bytes = LineBytes(line, count);
    const ShownByte* shown = m_text.Decodes() ? m_lineShown.data() : nullptr;
    QString text;
    text.reserve(static_cast<qsizetype>(count));
    for (std::size_t j = 0; j < count; ++j) {
        if (shown == nullptr || shown[j].kind == ShownByte::kByte) {
            text.append(QChar(CByteGlyphs::ShownChar(bytes[j])));
        } else if (shown[j].kind == ShownByte::kChar) {
            const char32_t code = shown[j].code;
            text.append(QString::fromUcs4(&code, 1));
        }
    }
    return text;
}

qreal CTextView::XOf(std::size_t position) const {
    const CLineIndex& lines = m_text.Lines();
    const std::size_t absolute = m_text.Base() + std::min(position, m_text.Size());
    const std::size_t line = lines.LineOf(absolute);
    std::size_t count = 0;
    LineBytes(line, count);
    return m_xs[std::min(absolute - lines.LineStart(line), count)];
}

std::size_t CTextView::PositionAt(const QPoint& point) const {
    const CLineIndex& lines = m_text.Lines();
    const long long row = point.y() < kMargin ? 0 : (point.y() - kMargin) / LineHeight();
    const std::size_t line = FirstVisibleLine() + static_cast<std::size_t>(row);
    if (line >= lines.LineCount())
        return m_text.Size();
    std::size_t count = 0;
    LineBytes(line, count);
    // The column whose left half or the previous column's right half holds the point.
    const qreal x = point.x() - kMargin + horizontalScrollBar()->value();
    std::size_t column = 0;
    while (column < count && (m_xs[column] + m_xs[column + 1]) / 2 <= x)
        ++column;
    return m_text.CharacterStart(lines.LineStart(line) + column - m_text.Base());
}

void CTextView::SetSelection(std::size_t anchor, std::size_t caret) {
    m_anchor = std::min(anchor, m_text.Size());
    m_caret = std::min(caret, m_text.Size());
    ScheduleRedraw();
}

std::size_t CTextView::AbsoluteSelection(std::size_t& start, std::size_t& end) const {
    SelectionRange(start, end);
    start += m_text.Base();
    end += m_text.Base();
    return m_text.Base() + m_caret;
}

void CTextView::SelectionRange(std::size_t& start, std::size_t& end) const {
    start = std::min(m_anchor, m_caret);
    end = std::max(m_anchor, m_caret);
}

QString CTextView::SelectedShownText() const {
    std::size_t start = 0;
    std::size_t end = 0;
    SelectionRange(start, end);
    return m_text.ShownText(start, end);
}

void CTextView::CopySelection() const {
    if (m_anchor != m_caret)
        QApplication::clipboard()->setText(SelectedShownText());
}

void CTextView::SelectAll() {
    SetSelection(0, m_text.Size());
}

void CTextView::EnsureCaretVisible() {
    const std::size_t line = m_text.Lines().LineOf(m_text.Base() + m_caret);
    const std::size_t first = FirstVisibleLine();
    const std::size_t visible = static_cast<std::size_t>(VisibleLineCount());
    if (line < first)
        ScrollToLine(line);
    else if (line >= first + visible)
        ScrollToLine(line - visible + 1);
    const int x = static_cast<int>(XOf(m_caret));
    const int room = std::max(1, viewport()->width() - 2 * kMargin);
    static_cast<CQuietScrollBar*>(horizontalScrollBar())->Apply([&](QScrollBar& horizontal) {
        if (x < horizontal.value())
            horizontal.setValue(x);
        else if (x >= horizontal.value() + room)
            horizontal.setValue(x - room + 1);
    });
}
