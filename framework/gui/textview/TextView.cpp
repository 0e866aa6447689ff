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
#include <climits>

CTextView::CTextView(QWidget* parent, const CDisplayText& text)
    : CByteView(parent, text, NewViewport(), Bars::kQuiet) {
    static const bool accessible = [] {
        QAccessible::installFactory(&TextViewAccessibleFactory);
        return true;
    }();
    (void)accessible;
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(false);
    // The scroll bars move on every update; with the view filling its own background, a scroll bar's
    // repaint stops here instead of repainting the window's frame and title below it.
    setAutoFillBackground(true);
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

int CTextView::RowHeight() const {
    return Measures().lineHeight;
}

void CTextView::StartAfresh() {
    // A row of the new text may have the bounds of another of the old.
    InvalidateShown();
    m_top = Text().Base();
}

void CTextView::ReadingChanged() {
    InvalidateShown();
    SetSelection(Text().CharacterStart(Anchor()), Text().CharacterStart(Caret()));
    UpdateScrollBars();
    ScheduleRedraw();
}

void CTextView::UpdateScrollBars() {
    const CDisplayText& text = Text();
    const CLineIndex& lines = text.Lines();
    // Holding keeps the line that was at the top, wherever the front of the text went meanwhile.
    const std::size_t held = lines.LineOf(std::max(m_top, text.Base()));
    const int wideAdvance = Measures().wideAdvance;
    const qreal longest = static_cast<qreal>(lines.Longest(text.Base() + text.Size())) * wideAdvance;
    const int wide = static_cast<int>(std::min<qreal>(longest + 2 * kMargin - viewport()->width(), INT_MAX));
    const int top = PlaceBars(lines.LineCount(), held, wide, wideAdvance);
    m_top = lines.LineStart(static_cast<std::size_t>(top));
}

void CTextView::RememberTop() {
    m_top = Text().Lines().LineStart(FirstVisibleRow());
}

void CTextView::resizeEvent(QResizeEvent* event) {
    CByteView::resizeEvent(event);
    Redraw();
}

void CTextView::StyleChanged() {
    m_measures.reset();
    ++m_styleStamp;
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
    frame.lineHeight = RowHeight();
    frame.following = IsFollowing();
    frame.focused = hasFocus();
    frame.styleStamp = m_styleStamp;
    return frame;
}

std::vector<CTextView::ShownRow> CTextView::RowsInSight() const {
    const CLineIndex& lines = Text().Lines();
    const std::size_t end = Text().Base() + Text().Size();
    std::size_t selStart = 0;
    std::size_t selEnd = 0;
    const std::size_t caret = AbsoluteSelection(selStart, selEnd);
    const std::size_t caretLine = hasFocus() ? lines.LineOf(caret) : kNoCaret;
    const std::size_t count = lines.LineCount();
    const std::size_t first = FirstVisibleRow();
    std::vector<ShownRow> rows(static_cast<std::size_t>(viewport()->height() / RowHeight() + 2));
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
    const int height = RowHeight();
    return QRect(0, kMargin + row * height, viewport()->width(), height);
}

void CTextView::Redraw() {
    NoteRedraw();
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
        if (found == moved.end() || found->start != wanted || !IsFollowing())
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
    const CLineIndex& lines = Text().Lines();
    const std::size_t base = Text().Base();
    const std::size_t start = lines.LineStart(line);
    count = lines.LineEnd(line, base + Text().Size()) - start;
    const unsigned char* bytes =
        reinterpret_cast<const unsigned char*>(Text().Bytes().data()) + (start - base);
    if (Text().Decodes()) {
        Text().ShownRange(start - base, count, m_lineShown);
        Glyphs().Positions(bytes, m_lineShown.data(), count, Measures().wideAdvance, m_xs);
    } else {
        Glyphs().Positions(bytes, count, m_xs);
    }
    return bytes;
}

QString CTextView::LineText(std::size_t line) const {
    std::size_t count = 0;
    const unsigned char* bytes = LineBytes(line, count);
    const ShownByte* shown = Text().Decodes() ? m_lineShown.data() : nullptr;
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
    const CLineIndex& lines = Text().Lines();
    const std::size_t absolute = Text().Base() + std::min(position, Text().Size());
    const std::size_t line = lines.LineOf(absolute);
    std::size_t count = 0;
    LineBytes(line, count);
    return m_xs[std::min(absolute - lines.LineStart(line), count)];
}

std::size_t CTextView::PositionAt(const QPoint& point) const {
    const CLineIndex& lines = Text().Lines();
    const long long row = point.y() < kMargin ? 0 : (point.y() - kMargin) / RowHeight();
    const std::size_t line = FirstVisibleRow() + static_cast<std::size_t>(row);
    if (line >= lines.LineCount())
        return Text().Size();
    std::size_t count = 0;
    LineBytes(line, count);
    // The column whose left half or the previous column's right half holds the point.
    const qreal x = point.x() - kMargin + horizontalScrollBar()->value();
    std::size_t column = 0;
    while (column < count && (m_xs[column] + m_xs[column + 1]) / 2 <= x)
        ++column;
    return Text().CharacterStart(lines.LineStart(line) + column - Text().Base());
}

std::size_t CTextView::AbsoluteSelection(std::size_t& start, std::size_t& end) const {
    SelectionRange(start, end);
    start += Text().Base();
    end += Text().Base();
    return Text().Base() + Caret();
}

QString CTextView::SelectedShownText() const {
    std::size_t start = 0;
    std::size_t end = 0;
    SelectionRange(start, end);
    return Text().ShownText(start, end);
}

void CTextView::CopySelection() const {
    if (Anchor() != Caret())
        QApplication::clipboard()->setText(SelectedShownText());
}

void CTextView::EnsureCaretVisible() {
    BringRowInSight(Text().Lines().LineOf(Text().Base() + Caret()));
    const int x = static_cast<int>(XOf(Caret()));
    const int room = std::max(1, viewport()->width() - 2 * kMargin);
    static_cast<CQuietScrollBar*>(horizontalScrollBar())->Apply([&](QScrollBar& horizontal) {
        if (x < horizontal.value())
            horizontal.setValue(x);
        else if (x >= horizontal.value() + room)
            horizontal.setValue(x - room + 1);
    });
}
