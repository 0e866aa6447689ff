// The edit view's own text widget: lines painted from the bytes, selection and keys across display-only
// breaks, find after the front of the text was cut, holding still while the user reads, and what the
// screen shows.
#include "framework/gui/textview/TextView.h"
#include "framework/gui/app/GuiServices.h"
#include "framework/gui/text/DisplayText.h"
#include "framework/gui/textview/EditView.h"
#include "support/DialogTestSupport.h"
#include "support/ScreenCapture.h"

#include "EditViewHost.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QFont>
#include <QImage>
#include <QKeyEvent>
#include <QPixmap>
#include <QScrollBar>
#include <QWheelEvent>
#include <QWidget>

#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

// An edit view of a fixed size on a plain parent window, following its text as a terminal view does.
class TextViewTest : public EditViewHost {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(CreateView(420, 300));
        QFont font(QStringLiteral("DejaVu Sans Mono"));
        font.setPixelSize(12);
        Widget()->setFont(font);
        m_view->GetWidget()->setGeometry(0, 0, 420, 300);
        m_parent->show();
        AfxPumpMessages();
    }

    CTextView* Widget() const { return m_view->GetEditCtrl(); }

    static std::string NumberedLines(int from, int count) {
        std::string text;
        for (int i = from; i < from + count; ++i)
            text += "line " + std::to_string(i) + "\r\n";
        return text;
    }

    void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent event(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(Widget(), &event);
    }
};

} // namespace

TEST_F(TextViewTest, SelectionAndKeysCrossDisplayOnlyBreaksByteForByte) {
    const std::size_t run = CDisplayText::kMaxRun;
    m_view->SetWindowText(std::string(run * 2 + 10, 'x') + "\r\nend");
    EXPECT_EQ(Widget()->Text().Lines().LineCount(), 4u);
    // The caret steps over a display break without a byte for it, and over a CR LF pair in one step.
    m_view->SetSel(static_cast<int>(run - 1), static_cast<int>(run - 1), TRUE);
    Press(Qt::Key_Right, Qt::ShiftModifier);
    Press(Qt::Key_Right, Qt::ShiftModifier);
    int start = 0;
    int end = 0;
    m_view->GetSel(start, end);
    EXPECT_EQ(start, static_cast<int>(run - 1));
    EXPECT_EQ(end, static_cast<int>(run + 1));
    EXPECT_EQ(Widget()->SelectedShownText(), QStringLiteral("xx"));
    m_view->SetSel(static_cast<int>(2 * run + 10), static_cast<int>(2 * run + 10), TRUE);
    Press(Qt::Key_Right);
    m_view->GetSel(start, end);
    EXPECT_EQ(start, static_cast<int>(2 * run + 12));
    // A selection over both display breaks and the line break copies one "\n", for the line break only.
    m_view->SetSel(10, static_cast<int>(2 * run + 13));
    const QString shown = Widget()->SelectedShownText();
    EXPECT_EQ(shown.count(QChar(u'\n')), 1);
    EXPECT_EQ(shown, QString(static_cast<qsizetype>(2 * run), u'x') + QStringLiteral("\ne"));
    // Up and down keep the column on the lines the display made.
    m_view->SetSel(static_cast<int>(run + 3), static_cast<int>(run + 3), TRUE);
    Press(Qt::Key_Up);
    m_view->GetSel(start, end);
    EXPECT_EQ(start, 3);
}

TEST_F(TextViewTest, FindWorksOnTheTextLeftAfterTheFrontWasCut) {
    m_view->SetWindowText("old target one, target two, ");
    ASSERT_TRUE(m_view->FindText("target"));
    int start = 0;
    int end = 0;
    m_view->GetSel(start, end);
    EXPECT_EQ(start, 4);
    // The first match is cut away; the selection moves with the text that stays, and the next search
    // finds the remaining match and then the new one at their new places.
    m_view->UpdateText(12, "target three");
    m_view->GetSel(start, end);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 0);
    ASSERT_TRUE(m_view->FindText("target"));
    m_view->GetSel(start, end);
    EXPECT_EQ(m_view->GetTextRange(start, end), "target");
    EXPECT_EQ(start, 4);
    ASSERT_TRUE(m_view->FindText("target"));
    m_view->GetSel(start, end);
    EXPECT_EQ(start, 16);
    ASSERT_TRUE(m_view->FindText("TARGET", FALSE, FALSE));
    m_view->GetSel(start, end);
    EXPECT_EQ(start, 4);
}

TEST_F(TextViewTest, AUserWhoScrolledUpReadsAStillViewUntilBackAtTheEnd) {
    Update(0, NumberedLines(0, 300));
    ASSERT_TRUE(m_view->IsFollowingEnd());
    QScrollBar* bar = Widget()->verticalScrollBar();
    EXPECT_EQ(bar->value(), bar->maximum());
    // The wheel turned up holds the view; a selection made by the program moves no decision.
    QWheelEvent wheel(QPointF(50, 50), Widget()->viewport()->mapToGlobal(QPointF(50, 50)), QPoint(),
                      QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(Widget()->viewport(), &wheel);
    EXPECT_LT(bar->value(), bar->maximum());
    EXPECT_FALSE(m_view->IsFollowingEnd());
    bar->setSliderPosition(bar->maximum());
    EXPECT_TRUE(m_view->IsFollowingEnd());
    m_view->SetSel(0, 1);
    EXPECT_EQ(bar->value(), 0);
    EXPECT_TRUE(m_view->IsFollowingEnd());
    bar->setSliderPosition(100); // as the user drags the bar
    EXPECT_FALSE(m_view->IsFollowingEnd());
    const QString top = Widget()->LineText(Widget()->FirstVisibleLine());
    EXPECT_EQ(top, QStringLiteral("line 100"));
    m_view->SetSel(3, 8, TRUE);
    // Updates cut lines at the front and add lines at the end: the same line stays at the top and the
    // selection stays on its bytes.
    const std::size_t cut = NumberedLines(0, 20).size();
    Update(cut, NumberedLines(300, 20));
    EXPECT_EQ(Widget()->LineText(Widget()->FirstVisibleLine()), top);
    EXPECT_FALSE(m_view->IsFollowingEnd());
    EXPECT_EQ(m_view->GetSelectedText(), ""); // bytes 3..8 of the old text were cut
    m_view->SetSel(0, 6, TRUE);
    Update(0, NumberedLines(320, 5));
    EXPECT_EQ(m_view->GetSelectedText(), "line 2");
    EXPECT_EQ(Widget()->LineText(Widget()->FirstVisibleLine()), top);
    // Back at the end, the view follows again.
    bar->setSliderPosition(bar->maximum());
    EXPECT_TRUE(m_view->IsFollowingEnd());
    Update(0, NumberedLines(325, 3));
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_EQ(Widget()->LineText(Widget()->Text().Lines().LineCount() - 2), QStringLiteral("line 327"));
}

TEST_F(TextViewTest, AfterAFrontCutTheScreenIsThatOfTheSameTextShownAfresh) {
    const std::string text = NumberedLines(0, 120) + std::string(700, 'q') + "\rlast";
    Update(0, text);
    const std::size_t cut = NumberedLines(0, 37).size() + 3; // inside a line
    Update(cut, "\r\nmore\n");
    Widget()->clearFocus(); // neither view shows its caret
    AfxPumpMessages();
    Widget()->viewport()->repaint();
    const QImage after = Widget()->viewport()->grab().toImage();

    CEditView* fresh = new CEditView;
    ASSERT_TRUE(fresh->Create(&m_host, nullptr));
    fresh->GetEditCtrl()->setFont(Widget()->font());
    fresh->GetWidget()->setGeometry(m_view->GetWidget()->geometry());
    fresh->SetWindowText(text.substr(cut) + "\r\nmore\n");
    const int length = fresh->GetWindowTextLength();
    fresh->SetSel(length, length, TRUE);
    fresh->ScrollCaret();
    fresh->GetWidget()->show();
    fresh->GetEditCtrl()->clearFocus();
    AfxPumpMessages();
    fresh->GetEditCtrl()->viewport()->repaint();
    const QImage again = fresh->GetEditCtrl()->viewport()->grab().toImage();
    EXPECT_EQ(again.size(), after.size());
    EXPECT_EQ(fresh->GetEditCtrl()->FirstVisibleLine(), Widget()->FirstVisibleLine());
    EXPECT_EQ(fresh->GetEditCtrl()->horizontalScrollBar()->value(), Widget()->horizontalScrollBar()->value());
    EXPECT_EQ(again, after);
    fresh->DestroyWindow();
}

TEST_F(TextViewTest, AVeryLongLineScrollsSidewaysToItsCaret) {
    const std::string longLine(100000, 'w');
    Update(0, longLine);
    const CLineIndex& lines = Widget()->Text().Lines();
    EXPECT_EQ(lines.LineCount(), (longLine.size() + CDisplayText::kMaxRun - 1) / CDisplayText::kMaxRun);
    QScrollBar* sideways = Widget()->horizontalScrollBar();
    EXPECT_GT(sideways->maximum(), 0);
    EXPECT_GT(sideways->value(), 0); // the caret at the end of the last display line is in sight
    // A click at the left edge of the top line in sight lands on that line's first byte.
    sideways->setValue(0);
    const std::size_t first = Widget()->FirstVisibleLine();
    EXPECT_EQ(Widget()->PositionAt(QPoint(CTextView::kMargin, CTextView::kMargin + 1)),
              lines.LineStart(first) - Widget()->Text().Base());
    CString all;
    m_view->GetWindowText(all);
    EXPECT_EQ(all, longLine);
}

TEST_F(TextViewTest, EveryByteValueIsShownAsOneCharacter) {
    std::string bytes;
    for (int b = 0; b < 256; ++b)
        bytes.push_back(static_cast<char>(b));
    Update(0, bytes);
    // LF (0x0A) and CR (0x0D) break the line; everything else shows, one character per byte. The soft
    // hyphen (0xAD), which text layout would hide, is painted as a hyphen.
    ASSERT_EQ(Widget()->Text().Lines().LineCount(), 3u);
    QString expected;
    for (int b = 0; b < 256; ++b) {
        if (b == '\n' || b == '\r')
            expected.append(QChar(u'|'));
        else if (b == 0xAD)
            expected.append(QChar(u'\u2010'));
        else
            expected.append(QChar(CDisplayText::CharForByte(static_cast<unsigned char>(b))));
    }
    const QString shown = Widget()->LineText(0) + u'|' + Widget()->LineText(1) + u'|' + Widget()->LineText(2);
    EXPECT_EQ(shown, expected);
    for (QChar ch : shown)
        EXPECT_TRUE(ch.isPrint() || ch == u'\t') << std::hex << ch.unicode();
}

TEST_F(TextViewTest, TheScreenShowsTheLastLinesOfTheText) {
    // Lines of known lengths, so that the ink of each painted row says which line it is.
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += std::string(static_cast<std::size_t>(1 + i % 30), 'M') + "\r\n";
    Update(0, text);
    AfxPumpMessages();
    Widget()->viewport()->repaint();
    const QImage shot = Widget()->viewport()->grab().toImage();
    const CLineIndex& lines = Widget()->Text().Lines();
    const std::size_t first = Widget()->FirstVisibleLine();
    const int visible = Widget()->VisibleLineCount();
    EXPECT_EQ(first + static_cast<std::size_t>(visible), lines.LineCount()); // the last (empty) line in sight
    const int height = QFontMetrics(Widget()->font()).lineSpacing();
    const qreal advance = QFontMetricsF(Widget()->font()).horizontalAdvance(QLatin1Char('M'));
    const QRgb background = Widget()->palette().color(QPalette::Base).rgb();
    for (int row = 0; row + 1 < visible; ++row) {
        const std::size_t line = first + static_cast<std::size_t>(row);
        int inkRight = -1;
        for (int y = CTextView::kMargin + row * height; y < CTextView::kMargin + (row + 1) * height; ++y)
            for (int x = 0; x < shot.width() - 40; ++x)
                if (shot.pixel(x, y) != background)
                    inkRight = std::max(inkRight, x);
        const int length = 1 + static_cast<int>(line % 30);
        const double expected = CTextView::kMargin + length * advance;
        EXPECT_NEAR(inkRight, expected, advance) << "row " << row << ", line " << line;
    }
}

namespace {

// The memory the process holds in RAM, in bytes.
long long ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    long long size = 0;
    long long resident = 0;
    statm >> size >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

} // namespace

// A font of 300 points (as a FontSize of 3000 gives) costs about the memory of a small one: the view keeps
// no images of its 256 glyphs at that size, and still shows the text.
TEST_F(TextViewTest, AHugeFontIsShownWithoutMemoryThatGrowsWithItsSize) {
    const long long before = ResidentBytes();
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(400);
    Widget()->setFont(font);
    std::string text;
    for (int b = 32; b < 256; ++b)
        text.push_back(static_cast<char>(b));
    Update(0, "AB\r\n" + text);
    m_view->SetSel(0, 1, TRUE);
    AfxPumpMessages();
    Widget()->viewport()->repaint();
    const QImage shot = Widget()->viewport()->grab().toImage();
    const long long grown = ResidentBytes() - before;
    EXPECT_LT(grown, 32LL * 1024 * 1024) << "the font took " << grown / (1024 * 1024) << " MB";
    const QRgb background = Widget()->palette().color(QPalette::Base).rgb();
    int ink = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            ink += shot.pixel(x, y) != background ? 1 : 0;
    EXPECT_GT(ink, 1000) << "the text is shown";
}

TEST_F(TextViewTest, AssistiveTechnologiesReadTheTextAndTheSelection) {
    m_view->SetWindowText(std::string("ab\r\n\x1b"
                                      "c",
                                      6));
    m_view->SetSel(1, 5, TRUE);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(Widget());
    ASSERT_NE(accessible, nullptr);
    QAccessibleTextInterface* text = accessible->textInterface();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->characterCount(), 6);
    EXPECT_EQ(accessible->text(QAccessible::Value), QString::fromUtf16(u"ab\n\u241Bc"));
    int start = 0;
    int end = 0;
    ASSERT_EQ(text->selectionCount(), 1);
    text->selection(0, &start, &end);
    EXPECT_EQ(start, 1);
    EXPECT_EQ(end, 5);
    EXPECT_TRUE(accessible->state().readOnly == Widget()->IsReadOnly());
}

// A paint asked for may never come (the window system dropped it, the view was covered or could not be
// updated): the next change must still ask for one, or the view shows old text until the user clicks it.
TEST_F(TextViewTest, AChangeAfterAPaintThatNeverCameIsStillPainted) {
    PaintCounter counter;
    Widget()->viewport()->installEventFilter(&counter);
    Update(0, NumberedLines(0, 50));
    QElapsedTimer wait;
    wait.start();
    while (wait.elapsed() < 200)
        AfxPumpMessages();
    // Updates of the viewport are off for a moment, so what the next change asks for is lost.
    Widget()->viewport()->setAttribute(Qt::WA_UpdatesDisabled, true);
    Update(0, NumberedLines(50, 5));
    wait.restart();
    while (wait.elapsed() < 200)
        AfxPumpMessages();
    Widget()->viewport()->setAttribute(Qt::WA_UpdatesDisabled, false);
    const int before = counter.paints;
    Update(0, NumberedLines(55, 5));
    wait.restart();
    while (wait.elapsed() < 500 && counter.paints == before)
        AfxPumpMessages();
    EXPECT_GT(counter.paints, before);
    Widget()->viewport()->removeEventFilter(&counter);
}

namespace {

// Lets a coalesced redraw come.
void LetRedrawCome() {
    QElapsedTimer wait;
    wait.start();
    while (wait.elapsed() < 3 * CTextView::kRedrawInterval)
        AfxPumpMessages();
}

} // namespace

// The view repaints only the rows that changed and moves the rows that only moved; whatever the change,
// the screen must then show what a paint of the whole viewport shows.
TEST_F(TextViewTest, TheScreenAfterEachKindOfRedrawIsAWholePaintOfTheText) {
    m_parent->setFocus(); // no caret: its blinking is not the point here
    auto expectSame = [&](const char* step) {
        LetRedrawCome();
        const QImage screen = OnScreen(*Widget()->viewport());
        const QImage whole = Widget()->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(screen.size(), whole.size()) << step;
        EXPECT_TRUE(screen == whole) << step;
    };
    Update(0, NumberedLines(0, 10));
    expectSame("first lines");
    Update(0, NumberedLines(10, 7)); // the rows move up by seven
    expectSame("lines moved up");
    Update(0, "partial");
    expectSame("the last line grows");
    Update(0, " and more\r\n" + NumberedLines(17, 40));
    expectSame("more lines than the viewport holds");
    const std::size_t cut = NumberedLines(0, 30).size();
    Update(cut, NumberedLines(57, 3)); // a full loop: cut at the front, added at the end
    expectSame("a front cut");
    m_view->SetSel(40, 300, TRUE);
    expectSame("a selection over several rows");
    m_view->SetSel(41, 41, TRUE);
    expectSame("the selection gone");
    // The user scrolls up: the view holds still with its notice, and the rows move down.
    QScrollBar* bar = Widget()->verticalScrollBar();
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    ASSERT_FALSE(m_view->IsFollowingEnd());
    expectSame("scrolled up, holding");
    Update(0, NumberedLines(60, 5));
    expectSame("an update while holding");
    bar->setSliderPosition(bar->maximum());
    Update(0, NumberedLines(65, 2));
    expectSame("following again");
    // Data without line ends scroll sideways to the caret.
    Update(0, std::string(3000, 'x') + "\ty\x01z");
    expectSame("a long line");
    Update(0, std::string(700, 'v'));
    expectSame("the long line grows");
    QFont bigger = Widget()->font();
    bigger.setPixelSize(15);
    Widget()->setFont(bigger);
    expectSame("another font");
    m_parent->resize(380, 260);
    m_view->GetWidget()->setGeometry(0, 0, 380, 260);
    expectSame("another size");
    // With the focus the caret shows, drawn over the cells, and moves with the next update.
    m_parent->activateWindow();
    Widget()->setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(Widget()->hasFocus());
    Update(0, "\r\ncaret");
    expectSame("the caret at the end");
    Update(0, " moves");
    expectSame("the caret moved on");
}

// The scroll bars come when the text needs them, and a bar repaints only when what it shows changes: an
// update of a full loop that keeps the bar's slider where it is costs the bar nothing.
TEST_F(TextViewTest, ScrollBarsComeWhenNeededAndRepaintOnlyWhenTheirLookChanges) {
    QScrollBar* vertical = Widget()->verticalScrollBar();
    QScrollBar* horizontal = Widget()->horizontalScrollBar();
    Update(0, "short\r\n");
    LetRedrawCome();
    EXPECT_FALSE(vertical->isVisible());
    EXPECT_FALSE(horizontal->isVisible());
    Update(0, NumberedLines(0, 400));
    LetRedrawCome();
    EXPECT_TRUE(vertical->isVisible());
    EXPECT_FALSE(horizontal->isVisible());
    Update(0, std::string(400, 'h') + "\r\n");
    LetRedrawCome();
    EXPECT_TRUE(horizontal->isVisible());
    EXPECT_GT(horizontal->maximum(), 0);

    PaintCounter counter;
    vertical->installEventFilter(&counter);
    // Each update cuts as many lines as it adds: the slider, pinned to the end, stays.
    for (int round = 0; round < 5; ++round) {
        const std::size_t cut = Widget()->Text().Lines().LineStart(3) - Widget()->Text().Base();
        Update(cut, NumberedLines(400 + 3 * round, 3));
        LetRedrawCome();
    }
    EXPECT_EQ(counter.paints, 0);
    // The user drags the bar: that shows.
    vertical->setSliderPosition(0);
    LetRedrawCome();
    EXPECT_GT(counter.paints, 0);
    vertical->removeEventFilter(&counter);
}
