#include "framework/gui/textview/HexView.h"

#include "framework/gui/text/DisplayText.h"
#include "framework/gui/text/HexDump.h"
#include "framework/gui/textview/HexViewAccessible.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QMimeData>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <climits>

CHexView::CHexView(QWidget* parent, const CDisplayText& text)
    : QAbstractScrollArea(parent), m_text(text),
      m_holdText(QStringLiteral("Scrolled back: the view holds still. Scroll to the end to follow.")) {
    static const bool accessible = [] {
        QAccessible::installFactory(&HexViewAccessibleFactory);
        return true;
    }();
    (void)accessible;
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    verticalScrollBar()->setSingleStep(1);
    // As in the text view, only the user's own scrolling decides whether the view follows the end.
    QObject::connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this, [this](int) {
        const QScrollBar* vertical = verticalScrollBar();
        m_follow = vertical->sliderPosition() >= vertical->maximum();
    });
    m_redrawTimer.setSingleShot(true);
    QObject::connect(&m_redrawTimer, &QTimer::timeout, this, [this]() {
        m_lastRedraw.restart();
        viewport()->update();
    });
    UpdateScrollBars();
}

CHexView::~CHexView() = default;

QFont CHexView::DumpFont(const QFont& font) {
    if (QFontInfo(font).fixedPitch())
        return font;
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (font.pixelSize() > 0)
        fixed.setPixelSize(font.pixelSize());
    else if (font.pointSizeF() > 0)
        fixed.setPointSizeF(font.pointSizeF());
    return fixed;
}

void CHexView::SetFirstOffset(std::size_t offset) {
    m_origin = m_text.Base() - offset;
    m_topRow = 0;
    UpdateScrollBars();
    ScheduleRedraw();
}

std::size_t CHexView::FirstOffset() const {
    return m_text.Base() - m_origin;
}

CHexDump CHexView::Dump() const {
    return CHexDump(m_text.Bytes(), FirstOffset());
}

int CHexView::RowHeight() const {
    return std::max(1, QFontMetrics(DumpFont(font())).lineSpacing());
}

qreal CHexView::CellWidth() const {
    return QFontMetricsF(DumpFont(font())).horizontalAdvance(QLatin1Char('0'));
}

int CHexView::VisibleRowCount() const {
    return std::max(1, (viewport()->height() - 2 * kMargin) / RowHeight());
}

std::size_t CHexView::FirstVisibleRow() const {
    return static_cast<std::size_t>(verticalScrollBar()->value());
}

void CHexView::TextChanged(std::size_t dropFront) {
    m_anchor = std::min(m_anchor > dropFront ? m_anchor - dropFront : 0, m_text.Size());
    m_caret = std::min(m_caret > dropFront ? m_caret - dropFront : 0, m_text.Size());
    UpdateScrollBars();
    ScheduleRedraw();
}

void CHexView::TextReplaced() {
    m_anchor = m_caret = 0;
    m_topRow = 0;
    m_follow = true;
    UpdateScrollBars();
    ScheduleRedraw();
}

void CHexView::UpdateScrollBars() {
    const CHexDump dump = Dump();
    const std::size_t rows = dump.RowCount();
    const int visible = VisibleRowCount();
    const std::size_t fits = static_cast<std::size_t>(visible);
    const int last = static_cast<int>(std::min<std::size_t>(rows > fits ? rows - fits : 0, INT_MAX));
    // Holding keeps the row that was at the top, wherever the front of the text went meanwhile.
    const std::size_t first = dump.FirstRowNumber();
    const std::size_t held = m_topRow > first ? m_topRow - first : 0;
    const int top =
        m_follow ? last : static_cast<int>(std::min<std::size_t>(held, static_cast<std::size_t>(last)));
    const qreal width = static_cast<qreal>(dump.LineLength()) * CellWidth() + 2 * kMargin;
    m_adjusting = true;
    QScrollBar* vertical = verticalScrollBar();
    vertical->setRange(0, last);
    vertical->setPageStep(visible);
    vertical->setValue(top);
    QScrollBar* horizontal = horizontalScrollBar();
    horizontal->setRange(0, std::max(0, static_cast<int>(width) - viewport()->width()));
    horizontal->setPageStep(std::max(1, viewport()->width()));
    horizontal->setSingleStep(std::max(1, static_cast<int>(CellWidth())));
    m_adjusting = false;
    m_topRow = first + static_cast<std::size_t>(top);
    m_follow = top >= last;
}

void CHexView::SetFollowing(bool follow) {
    m_follow = follow;
    UpdateScrollBars();
    ScheduleRedraw();
}

void CHexView::scrollContentsBy(int, int) {
    if (!m_adjusting)
        m_topRow = Dump().FirstRowNumber() + FirstVisibleRow();
    ScheduleRedraw();
}

void CHexView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void CHexView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange) {
        UpdateScrollBars();
        viewport()->update();
    }
}

void CHexView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void CHexView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

void CHexView::ScheduleRedraw() {
    if (m_redrawTimer.isActive())
        return;
    const qint64 since = m_lastRedraw.isValid() ? m_lastRedraw.elapsed() : kRedrawInterval;
    m_redrawTimer.start(static_cast<int>(std::max<qint64>(0, kRedrawInterval - since)));
}

void CHexView::SetSelection(std::size_t anchor, std::size_t caret) {
    m_anchor = std::min(anchor, m_text.Size());
    m_caret = std::min(caret, m_text.Size());
    ScheduleRedraw();
}

void CHexView::SelectionRange(std::size_t& start, std::size_t& end) const {
    start = std::min(m_anchor, m_caret);
    end = std::max(m_anchor, m_caret);
}

QString CHexView::SelectedDumpText() const {
    std::size_t start = 0;
    std::size_t end = 0;
    SelectionRange(start, end);
    return QString::fromLatin1(Dump().Lines(start, end));
}

namespace {

void CopyWithBytes(const QString& text, std::string_view bytes) {
    auto* data = new QMimeData;
    data->setText(text);
    data->setData(QStringLiteral("application/octet-stream"),
                  QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    QApplication::clipboard()->setMimeData(data);
}

} // namespace

void CHexView::CopySelection() const {
    std::size_t start = 0;
    std::size_t end = 0;
    SelectionRange(start, end);
    if (start != end)
        CopyWithBytes(SelectedDumpText(), m_text.Bytes().substr(start, end - start));
}

void CHexView::CopySelectedBytes() const {
    std::size_t start = 0;
    std::size_t end = 0;
    SelectionRange(start, end);
    if (start == end)
        return;
    const std::string_view bytes = m_text.Bytes().substr(start, end - start);
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size() * 3));
    for (char byte : bytes) {
        if (!text.isEmpty())
            text += u' ';
        text += QStringLiteral("%1").arg(static_cast<unsigned char>(byte), 2, 16, QLatin1Char('0'));
    }
    CopyWithBytes(text, bytes);
}

void CHexView::SelectAll() {
    SetSelection(0, m_text.Size());
}

void CHexView::EnsureCaretVisible() {
    const std::size_t row = Dump().RowOf(m_caret);
    const std::size_t first = FirstVisibleRow();
    const std::size_t visible = static_cast<std::size_t>(VisibleRowCount());
    QScrollBar* vertical = verticalScrollBar();
    if (row < first)
        vertical->setValue(static_cast<int>(std::min<std::size_t>(row, INT_MAX)));
    else if (row >= first + visible)
        vertical->setValue(static_cast<int>(std::min<std::size_t>(row - visible + 1, INT_MAX)));
}

std::size_t CHexView::PositionAt(const QPoint& point) const {
    const CHexDump dump = Dump();
    if (dump.RowCount() == 0)
        return 0;
    const long long rowInSight = point.y() < kMargin ? 0 : (point.y() - kMargin) / RowHeight();
    const std::size_t row =
        std::min(FirstVisibleRow() + static_cast<std::size_t>(rowInSight), dump.RowCount() - 1);
    const qreal x = point.x() - kMargin + horizontalScrollBar()->value();
    const auto column = static_cast<std::size_t>(std::max<qreal>(0, x / CellWidth()));
    // The byte whose cells hold the point, in the characters or among the hexadecimal digits.
    const std::size_t k = column >= dump.CharColumn(0)
                              ? std::min(column - dump.CharColumn(0), CHexDump::kRowBytes)
                              : dump.ByteAtHexColumn(column);
    return dump.PositionIn(row, k);
}

void CHexView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.fillRect(event->rect(), palette().brush(QPalette::Base));
    painter.setFont(DumpFont(font()));
    const CHexDump dump = Dump();
    const QFontMetricsF metrics(painter.font());
    const qreal cell = metrics.horizontalAdvance(QLatin1Char('0'));
    const int height = RowHeight();
    const qreal left = kMargin - horizontalScrollBar()->value();
    std::size_t selStart = 0;
    std::size_t selEnd = 0;
    SelectionRange(selStart, selEnd);
    const QColor text = palette().color(QPalette::Text);
    const QColor highlighted = palette().color(QPalette::HighlightedText);
    const std::size_t first = FirstVisibleRow();
    const int rowFrom = std::max(0, (event->rect().top() - kMargin) / height);
    const int rowTo = (event->rect().bottom() - kMargin) / height + 1;
    for (int rowInSight = rowFrom; rowInSight <= rowTo; ++rowInSight) {
        const std::size_t row = first + static_cast<std::size_t>(rowInSight);
        if (row >= dump.RowCount())
            break;
        const qreal top = kMargin + rowInSight * height;
        const qreal baseline = top + metrics.ascent();
        const QString line = QString::fromLatin1(dump.Line(row));
        // The selected bytes of the row, by their columns.
        const std::size_t begin = dump.RowBegin(row);
        const std::size_t end = dump.RowEnd(row);
        const std::size_t from = std::clamp(selStart, begin, end);
        const std::size_t to = std::clamp(selEnd, begin, end);
        auto span = [&](std::size_t columnFrom, std::size_t columnTo, bool selected) {
            if (columnFrom >= columnTo || columnFrom >= static_cast<std::size_t>(line.size()))
                return;
            const QRectF rect(left + columnFrom * cell, top, (columnTo - columnFrom) * cell, height);
            if (selected)
                painter.fillRect(rect, palette().brush(QPalette::Highlight));
            painter.setPen(selected ? highlighted : text);
            painter.drawText(
                QPointF(rect.left(), baseline),
                line.mid(static_cast<qsizetype>(columnFrom), static_cast<qsizetype>(columnTo - columnFrom)));
        };
        if (from < to) {
            const std::size_t kFrom = dump.ColumnOf(from);
            const std::size_t kTo = kFrom + (to - from);
            const std::size_t hexFrom = dump.HexColumn(kFrom);
            const std::size_t hexTo = dump.HexColumn(kTo - 1) + 2;
            span(0, hexFrom, false);
            span(hexFrom, hexTo, true);
            span(hexTo, dump.CharColumn(kFrom), false);
            span(dump.CharColumn(kFrom), dump.CharColumn(kTo), true);
            span(dump.CharColumn(kTo), static_cast<std::size_t>(line.size()), false);
        } else {
            span(0, static_cast<std::size_t>(line.size()), false);
        }
        if (hasFocus() && dump.RowOf(m_caret) == row)
            painter.fillRect(QRectF(left + dump.CaretColumn(m_caret) * cell - 1, top, 1, height), text);
    }
    if (!m_follow)
        PaintHoldNotice(painter);
}

void CHexView::PaintHoldNotice(QPainter& painter) {
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
