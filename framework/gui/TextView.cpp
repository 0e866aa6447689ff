#include "framework/gui/TextView.h"

#include "framework/gui/DisplayText.h"
#include "framework/gui/TextViewAccessible.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>

#include <algorithm>

namespace {

// Wide enough for the longest line the display breaks leave (tabs included).
constexpr qreal kLayoutWidth = 1e6;

// Text layout hides a soft hyphen unless it breaks a line; received, it must be seen.
constexpr unsigned char kSoftHyphen = 0xAD;
constexpr char16_t kShownSoftHyphen = u'\u2010';

} // namespace

CTextView::CTextView(QWidget* parent, const CDisplayText& text)
    : QAbstractScrollArea(parent), m_text(text),
      m_holdText(QStringLiteral("Scrolled back: the view holds still. Scroll to the end to follow.")) {
    static const bool accessible = [] {
        QAccessible::installFactory(&TextViewAccessibleFactory);
        return true;
    }();
    (void)accessible;
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(false);
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

int CTextView::LineHeight() const {
    return std::max(1, QFontMetrics(font()).lineSpacing());
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
    m_anchor = m_caret = 0;
    m_top = m_text.Base();
    m_follow = true;
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
    const QFontMetrics metrics(font());
    const qreal longest = static_cast<qreal>(lines.Longest(m_text.Base() + m_text.Size())) *
                          metrics.horizontalAdvance(QLatin1Char('W'));
    const int wide = static_cast<int>(std::min<qreal>(longest + 2 * kMargin - viewport()->width(), INT_MAX));

    m_adjusting = true;
    QScrollBar* vertical = verticalScrollBar();
    vertical->setRange(0, last);
    vertical->setPageStep(visible);
    vertical->setValue(top);
    QScrollBar* horizontal = horizontalScrollBar();
    horizontal->setRange(0, std::max(0, wide));
    horizontal->setPageStep(std::max(1, viewport()->width()));
    horizontal->setSingleStep(std::max(1, metrics.horizontalAdvance(QLatin1Char('W'))));
    m_adjusting = false;
    m_top = lines.LineStart(static_cast<std::size_t>(top));
    m_follow = top >= last;
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
    if (m_redrawTimer.isActive())
        return;
    const qint64 since = m_lastRedraw.isValid() ? m_lastRedraw.elapsed() : kRedrawInterval;
    if (since >= kRedrawInterval)
        Redraw();
    else
        m_redrawTimer.start(static_cast<int>(kRedrawInterval - since));
}

void CTextView::Redraw() {
    m_redrawTimer.stop();
    m_lastRedraw.restart();
    viewport()->update();
}

QString CTextView::LineText(std::size_t line) const {
    const CLineIndex& lines = m_text.Lines();
    const std::size_t base = m_text.Base();
    const std::size_t start = lines.LineStart(line) - base;
    const std::size_t end = lines.LineEnd(line, base + m_text.Size()) - base;
    QString shown(static_cast<qsizetype>(end - start), Qt::Uninitialized);
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(m_text.Bytes().data());
    QChar* out = shown.data();
    for (std::size_t j = start; j < end; ++j)
        *out++ = QChar(bytes[j] == kSoftHyphen ? kShownSoftHyphen : CDisplayText::CharForByte(bytes[j]));
    return shown;
}

void CTextView::PrepareLayout(QTextLayout& layout, std::size_t line) const {
    layout.setText(LineText(line));
    layout.setFont(font());
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTabStopDistance(kTabStop);
    layout.setTextOption(option);
    layout.setCacheEnabled(true);
    layout.beginLayout();
    QTextLine textLine = layout.createLine();
    if (textLine.isValid())
        textLine.setLineWidth(kLayoutWidth);
    layout.endLayout();
}

qreal CTextView::XOf(std::size_t position) const {
    const CLineIndex& lines = m_text.Lines();
    const std::size_t absolute = m_text.Base() + std::min(position, m_text.Size());
    const std::size_t line = lines.LineOf(absolute);
    QTextLayout layout;
    PrepareLayout(layout, line);
    const int column = static_cast<int>(
        std::min(absolute, lines.LineEnd(line, m_text.Base() + m_text.Size())) - lines.LineStart(line));
    return layout.lineAt(0).cursorToX(column);
}

std::size_t CTextView::PositionAt(const QPoint& point) const {
    const CLineIndex& lines = m_text.Lines();
    const std::size_t base = m_text.Base();
    const long long row = point.y() < kMargin ? 0 : (point.y() - kMargin) / LineHeight();
    const std::size_t line = FirstVisibleLine() + static_cast<std::size_t>(row);
    if (line >= lines.LineCount())
        return m_text.Size();
    QTextLayout layout;
    PrepareLayout(layout, line);
    const qreal x = point.x() - kMargin + horizontalScrollBar()->value();
    const int column = layout.lineAt(0).xToCursor(std::max<qreal>(0, x));
    const std::size_t end = lines.LineEnd(line, base + m_text.Size());
    return std::min(lines.LineStart(line) + static_cast<std::size_t>(std::max(0, column)), end) - base;
}

void CTextView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.fillRect(event->rect(), palette().brush(QPalette::Base));
    painter.setPen(palette().color(QPalette::Text));
    const CLineIndex& lines = m_text.Lines();
    const std::size_t base = m_text.Base();
    const std::size_t end = base + m_text.Size();
    std::size_t selStart = 0;
    std::size_t selEnd = 0;
    SelectionRange(selStart, selEnd);
    selStart += base;
    selEnd += base;
    const int height = LineHeight();
    const int rows = viewport()->height() / height + 2;
    const std::size_t first = FirstVisibleLine();
    const qreal left = kMargin - horizontalScrollBar()->value();
    QTextCharFormat selected;
    selected.setBackground(palette().brush(QPalette::Highlight));
    selected.setForeground(palette().brush(QPalette::HighlightedText));
    for (int row = 0; row < rows && first + static_cast<std::size_t>(row) < lines.LineCount(); ++row) {
        const std::size_t line = first + static_cast<std::size_t>(row);
        const std::size_t start = lines.LineStart(line);
        const std::size_t stop = lines.LineEnd(line, end);
        QTextLayout layout;
        PrepareLayout(layout, line);
        QList<QTextLayout::FormatRange> ranges;
        if (selStart < stop && selEnd > start) {
            const std::size_t from = std::max(selStart, start);
            const std::size_t to = std::min(selEnd, stop);
            ranges.append({static_cast<int>(from - start), static_cast<int>(to - from), selected});
        }
        const QPointF origin(left, kMargin + row * height);
        layout.draw(&painter, origin, ranges);
        // A selected line break shows as a little highlighted room after the line's text.
        if (selStart <= stop && selEnd > stop && line + 1 < lines.LineCount()) {
            const qreal x = left + layout.lineAt(0).cursorToX(static_cast<int>(stop - start));
            painter.fillRect(QRectF(x, origin.y(), QFontMetricsF(font()).averageCharWidth(), height),
                             palette().brush(QPalette::Highlight));
        }
        const std::size_t caret = base + m_caret;
        if (hasFocus() && lines.LineOf(caret) == line)
            layout.drawCursor(&painter, origin, static_cast<int>(std::min(caret, stop) - start));
    }
    if (!m_follow) {
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
}

void CTextView::SetSelection(std::size_t anchor, std::size_t caret) {
    m_anchor = std::min(anchor, m_text.Size());
    m_caret = std::min(caret, m_text.Size());
    ScheduleRedraw();
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
    QScrollBar* horizontal = horizontalScrollBar();
    const int x = static_cast<int>(XOf(m_caret));
    const int room = std::max(1, viewport()->width() - 2 * kMargin);
    if (x < horizontal->value())
        horizontal->setValue(x);
    else if (x >= horizontal->value() + room)
        horizontal->setValue(x - room + 1);
}
