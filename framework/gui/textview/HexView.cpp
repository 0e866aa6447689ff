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

CHexView::CHexView(QWidget* parent, const CDisplayText& text)
    : CByteView(parent, text, nullptr, Bars::kPlain) {
    static const bool accessible = [] {
        QAccessible::installFactory(&HexViewAccessibleFactory);
        return true;
    }();
    (void)accessible;
    SetReadOnly(true);
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
    m_origin = Text().Base() - offset;
    m_topRow = 0;
    UpdateScrollBars();
    ScheduleRedraw();
}

std::size_t CHexView::FirstOffset() const {
    return Text().Base() - m_origin;
}

CHexDump CHexView::Dump() const {
    return CHexDump(Text().Bytes(), FirstOffset());
}

int CHexView::RowHeight() const {
    return std::max(1, QFontMetrics(DumpFont(font())).lineSpacing());
}

qreal CHexView::CellWidth() const {
    return QFontMetricsF(DumpFont(font())).horizontalAdvance(QLatin1Char('0'));
}

void CHexView::StartAfresh() {
    m_topRow = 0;
}

void CHexView::UpdateScrollBars() {
    const CHexDump dump = Dump();
    // Holding keeps the row that was at the top, wherever the front of the text went meanwhile.
    const std::size_t first = dump.FirstRowNumber();
    const std::size_t held = m_topRow > first ? m_topRow - first : 0;
    const qreal width = static_cast<qreal>(dump.LineLength()) * CellWidth() + 2 * kMargin;
    const int top = PlaceBars(dump.RowCount(), held, static_cast<int>(width) - viewport()->width(),
                              static_cast<int>(CellWidth()));
    m_topRow = first + static_cast<std::size_t>(top);
}

void CHexView::RememberTop() {
    m_topRow = Dump().FirstRowNumber() + FirstVisibleRow();
}

void CHexView::Redraw() {
    NoteRedraw();
    viewport()->update();
}

void CHexView::ShowNow() {
    viewport()->update();
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
        CopyWithBytes(SelectedDumpText(), Text().Bytes().substr(start, end - start));
}

void CHexView::CopySelectedBytes() const {
    std::size_t start = 0;
    std::size_t end = 0;
    SelectionRange(start, end);
    if (start == end)
        return;
    const std::string_view bytes = Text().Bytes().substr(start, end - start);
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size() * 3));
    for (char byte : bytes) {
        if (!text.isEmpty())
            text += u' ';
        text += QStringLiteral("%1").arg(static_cast<unsigned char>(byte), 2, 16, QLatin1Char('0'));
    }
    CopyWithBytes(text, bytes);
}

void CHexView::EnsureCaretVisible() {
    BringRowInSight(Dump().RowOf(Caret()));
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
        if (hasFocus() && dump.RowOf(Caret()) == row)
            painter.fillRect(QRectF(left + dump.CaretColumn(Caret()) * cell - 1, top, 1, height), text);
    }
    if (!IsFollowing())
        PaintHoldNotice(painter);
}
