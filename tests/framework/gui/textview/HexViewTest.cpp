// The edit view shown as a hex dump: following the stream and holding still while the user reads, find
// of text and of hexadecimal byte strings across rows, copies of the dump and of the bytes, keys and
// clicks by bytes, and what assistive technologies read.
#include "framework/gui/textview/HexView.h"
#include "framework/gui/app/GuiServices.h"
#include "framework/gui/text/DisplayText.h"
#include "framework/gui/text/HexDump.h"
#include "framework/gui/textview/EditView.h"
#include "framework/gui/textview/TextView.h"
#include "support/DialogTestSupport.h"

#include "EditViewHost.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QFont>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <QWidget>

#include <cstdio>
#include <memory>
#include <string>

namespace {

class HexViewTest : public EditViewHost {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(CreateView(640, 300));
        QFont font(QStringLiteral("DejaVu Sans Mono"));
        font.setPixelSize(12);
        m_view->GetWidget()->setGeometry(0, 0, 640, 300);
        Hex()->setFont(font);
        m_view->SetHexView(TRUE);
        m_parent->show();
        AfxPumpMessages();
    }

    CHexView* Hex() const { return m_view->GetHexCtrl(); }

    // count bytes counting up from first (wrapping at 256).
    static std::string Counting(std::size_t first, std::size_t count) {
        std::string bytes;
        for (std::size_t i = first; i < first + count; ++i)
            bytes += static_cast<char>(i & 0xFF);
        return bytes;
    }

    // The offset of the first row in sight.
    std::string TopOffset() const {
        const CHexDump dump = Hex()->Dump();
        return dump.Line(Hex()->FirstVisibleRow()).substr(0, 8);
    }
};

} // namespace

TEST_F(HexViewTest, FollowsTheStreamAndHoldsStillWhileTheUserReads) {
    ASSERT_TRUE(Hex()->isVisible());
    EXPECT_FALSE(m_view->GetEditCtrl()->isVisible());
    Update(0, Counting(0, 16 * 300));
    ASSERT_TRUE(m_view->IsFollowingEnd());
    QScrollBar* bar = Hex()->verticalScrollBar();
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_EQ(Hex()->Dump().RowCount(), 300u);
    // The wheel turned up holds the view.
    QWheelEvent wheel(QPointF(50, 50), Hex()->viewport()->mapToGlobal(QPointF(50, 50)), QPoint(),
                      QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(Hex()->viewport(), &wheel);
    EXPECT_FALSE(m_view->IsFollowingEnd());
    bar->setSliderPosition(100); // as the user drags the bar
    EXPECT_FALSE(m_view->IsFollowingEnd());
    EXPECT_EQ(TopOffset(), "00000640");
    // The loop cuts 20 rows and a half at the front and the stream goes on: the same row stays at the top,
    // under the same offset.
    Update(16 * 20 + 8, Counting(16 * 300, 16 * 21));
    EXPECT_FALSE(m_view->IsFollowingEnd());
    EXPECT_EQ(TopOffset(), "00000640");
    EXPECT_EQ(Hex()->Dump().Line(0).substr(0, 8), "00000140");
    // Back at the end, the view follows again.
    bar->setSliderPosition(bar->maximum());
    EXPECT_TRUE(m_view->IsFollowingEnd());
    Update(0, Counting(16 * 321, 16 * 3));
    EXPECT_EQ(bar->value(), bar->maximum());
    const CHexDump dump = Hex()->Dump();
    EXPECT_EQ(dump.Line(dump.RowCount() - 1).substr(0, 8), "00001430");
}

TEST_F(HexViewTest, SwitchingKeepsTheBytesTheSelectionAndThePlaceInSight) {
    // 300 lines of 16 bytes: line n is row n of the dump.
    std::string text;
    for (int n = 0; n < 300; ++n) {
        char line[17];
        std::snprintf(line, sizeof line, "line %09d\r\n", n);
        text += line;
    }
    Update(0, text);
    m_view->SetSel(20, 40);
    m_view->SetHexView(FALSE);
    EXPECT_TRUE(m_view->GetEditCtrl()->isVisible());
    CString back;
    m_view->GetWindowText(back);
    EXPECT_EQ(back, text);
    int start = 0;
    int end = 0;
    m_view->GetSel(start, end);
    EXPECT_EQ(start, 20);
    EXPECT_EQ(end, 40);
    EXPECT_TRUE(m_view->IsFollowingEnd());
    m_view->SetHexView(TRUE);
    m_view->GetSel(start, end);
    EXPECT_EQ(start, 20);
    EXPECT_EQ(end, 40);
    EXPECT_TRUE(m_view->IsFollowingEnd());
    // Holding still in the dump at row 100, the text holds still at line 100, and the other way round.
    Hex()->verticalScrollBar()->setSliderPosition(100);
    ASSERT_FALSE(m_view->IsFollowingEnd());
    m_view->SetHexView(FALSE);
    EXPECT_FALSE(m_view->IsFollowingEnd());
    EXPECT_EQ(m_view->GetEditCtrl()->FirstVisibleLine(), 100u);
    Update(0, "line 000000300\r\n");
    EXPECT_FALSE(m_view->IsFollowingEnd());
    m_view->GetEditCtrl()->verticalScrollBar()->setSliderPosition(50);
    m_view->SetHexView(TRUE);
    EXPECT_FALSE(m_view->IsFollowingEnd());
    EXPECT_EQ(Hex()->FirstVisibleRow(), 50u);
    Hex()->verticalScrollBar()->setSliderPosition(Hex()->verticalScrollBar()->maximum());
    EXPECT_TRUE(m_view->IsFollowingEnd());
    m_view->SetHexView(FALSE);
    EXPECT_TRUE(m_view->IsFollowingEnd());
}

TEST_F(HexViewTest, FindTakesTextOrAByteStringAcrossRows) {
    // "needle" straddles rows 0 and 1; the frame 7e 01 03 straddles rows 1 and 2; "7e" as text is at 40.
    std::string text(64, '.');
    text.replace(13, 6, "needle");
    text.replace(30, 3, std::string("\x7e\x01\x03", 3));
    text.replace(40, 2, "7e");
    Update(0, text);
    m_view->SetSel(0, 0);
    ASSERT_TRUE(m_view->FindText("NEEDLE", TRUE, FALSE));
    int start = 0;
    int end = 0;
    m_view->GetSel(start, end);
    EXPECT_EQ(start, 13);
    EXPECT_EQ(end, 19);
    ASSERT_TRUE(m_view->FindText("7e 01 03"));
    m_view->GetSel(start, end);
    EXPECT_EQ(start, 30);
    EXPECT_EQ(end, 33);
    EXPECT_EQ(m_view->GetSelectedText(), std::string("\x7e\x01\x03", 3));
    // "7e" is both a byte and a text: the nearer one is found first, then the other.
    m_view->SetSel(0, 0);
    ASSERT_TRUE(m_view->FindText("7e"));
    m_view->GetSel(start, end);
    EXPECT_EQ(start, 30);
    EXPECT_EQ(end, 31);
    ASSERT_TRUE(m_view->FindText("7e"));
    m_view->GetSel(start, end);
    EXPECT_EQ(start, 40);
    EXPECT_EQ(end, 42);
    // Backwards, and wrapping around.
    ASSERT_TRUE(m_view->FindText("7e", FALSE));
    m_view->GetSel(start, end);
    EXPECT_EQ(start, 30);
    EXPECT_FALSE(m_view->FindText("7e 01 04"));
    // In the text view the same search is for the text only.
    m_view->SetHexView(FALSE);
    m_view->SetSel(0, 0);
    EXPECT_FALSE(m_view->FindText("7e 01 03"));
}

TEST_F(HexViewTest, CopyGivesTheDumpLinesOrTheBytesWithTheBytesBeside) {
    const std::string text = std::string("Hello, hex view\r\n", 17) + std::string("\x00\x01\x7e", 3);
    Update(0, text);
    m_view->SetSel(13, 18);
    m_view->OnEditCopy();
    const QMimeData* copied = QApplication::clipboard()->mimeData();
    ASSERT_NE(copied, nullptr);
    EXPECT_EQ(
        copied->text(),
        QStringLiteral("00000000                                          65 77 0d  |             ew.|\n"
                       "00000010  0a 00                                             |..|"));
    EXPECT_EQ(copied->data(QStringLiteral("application/octet-stream")), QByteArray("ew\r\n\0", 5));
    Hex()->CopySelectedBytes();
    copied = QApplication::clipboard()->mimeData();
    EXPECT_EQ(copied->text(), QStringLiteral("65 77 0d 0a 00"));
    EXPECT_EQ(copied->data(QStringLiteral("application/octet-stream")), QByteArray("ew\r\n\0", 5));
    // Ctrl+C in the dump copies the same as the command.
    QApplication::clipboard()->clear();
    QKeyEvent copyKey(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier);
    QApplication::sendEvent(Hex(), &copyKey);
    EXPECT_TRUE(QApplication::clipboard()->text().startsWith(QStringLiteral("00000000  ")));
    // What is kept is untouched by copying and switching.
    CString kept;
    m_view->GetWindowText(kept);
    EXPECT_EQ(kept, text);
}

TEST_F(HexViewTest, KeysAndClicksMoveByBytesAndRows) {
    Update(0, Counting(0, 16 * 10));
    m_view->SetSel(0, 0);
    Hex()->setFocus();
    auto press = [&](int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent event(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(Hex(), &event);
    };
    press(Qt::Key_Right);
    press(Qt::Key_Down, Qt::ShiftModifier);
    int start = 0;
    int end = 0;
    m_view->GetSel(start, end);
    EXPECT_EQ(start, 1);
    EXPECT_EQ(end, 17);
    press(Qt::Key_End, Qt::ShiftModifier);
    m_view->GetSel(start, end);
    EXPECT_EQ(end, 32);
    // A click on a byte's digits or on its character puts the caret before it.
    const CHexDump dump = Hex()->Dump();
    const QFontMetricsF metrics(CHexView::DumpFont(Hex()->font()));
    const qreal cell = metrics.horizontalAdvance(QLatin1Char('0'));
    const int rowHeight = QFontMetrics(CHexView::DumpFont(Hex()->font())).lineSpacing();
    const int firstRow = static_cast<int>(Hex()->FirstVisibleRow());
    const int y = CHexView::kMargin + (2 - firstRow) * rowHeight + rowHeight / 2;
    const QPoint onDigits(static_cast<int>(CHexView::kMargin + (dump.HexColumn(9) + 1) * cell), y);
    const QPoint onChar(static_cast<int>(CHexView::kMargin + (dump.CharColumn(3) + 0.5) * cell), y);
    EXPECT_EQ(Hex()->PositionAt(onDigits), 32u + 9u);
    EXPECT_EQ(Hex()->PositionAt(onChar), 32u + 3u);
}

TEST_F(HexViewTest, AssistiveTechnologiesReadTheDumpLines) {
    Update(0, std::string("Hello, hex view\r\nmore"));
    m_view->SetSel(15, 17);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(Hex());
    ASSERT_NE(accessible, nullptr);
    const QString value = accessible->text(QAccessible::Value);
    EXPECT_EQ(value, QString::fromLatin1(Hex()->Dump().Lines(0, 21)));
    EXPECT_TRUE(value.startsWith(
        QStringLiteral("00000000  48 65 6c 6c 6f 2c 20 68  65 78 20 76 69 65 77 0d  |Hello, hex view.|\n"
                       "00000010  0a 6d 6f 72 65")));
    QAccessibleTextInterface* text = accessible->textInterface();
    ASSERT_NE(text, nullptr);
    int start = 0;
    int end = 0;
    text->selection(0, &start, &end);
    // Byte 15 (0d) in row 0 and byte 17 (6d) in row 1, by their digits in the dump text.
    EXPECT_EQ(value.mid(start, 2), QStringLiteral("0d"));
    EXPECT_EQ(value.mid(end, 2), QStringLiteral("6d"));
    EXPECT_EQ(m_view->GetShownText().substr(0, 10), "00000000  ");
}
