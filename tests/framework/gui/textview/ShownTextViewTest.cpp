// The edit view reading its bytes as UTF-8 with escape sequences: colours on the screen's pixels, every
// byte visible in a font without the control pictures, the screen equal to a whole paint, and find, copy
// and the shown text following what is shown.
#include "framework/gui/app/GuiServices.h"
#include "framework/gui/text/ByteGlyphs.h"
#include "framework/gui/text/DisplayText.h"
#include "framework/gui/text/GlyphCells.h"
#include "framework/gui/textview/EditView.h"
#include "framework/gui/textview/TextView.h"
#include "support/DialogTestSupport.h"
#include "support/ScreenCapture.h"

#include "EditViewHost.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QWidget>

#include <memory>
#include <string>

namespace {

class ShownTextViewTest : public EditViewHost {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(CreateView(420, 300));
        QFont font(QStringLiteral("DejaVu Sans Mono"));
        font.setPixelSize(14);
        Widget()->setFont(font);
        Widget()->setGeometry(0, 0, 420, 300);
        m_view->SetReading(CharacterSet::Utf8, EscapeSequences::Colours);
        m_parent->show();
        AfxPumpMessages();
    }

    CTextView* Widget() const { return m_view->GetEditCtrl(); }

    void Add(const std::string& bytes) {
        m_view->UpdateText(0, bytes);
        LetRedrawCome();
    }

    static void LetRedrawCome() {
        QElapsedTimer wait;
        wait.start();
        while (wait.elapsed() < 3 * CTextView::kRedrawInterval)
            AfxPumpMessages();
    }

    // How many pixels of the screen's picture of the view have exactly this colour.
    int PixelsOf(QRgb colour) const {
        const QImage screen = OnScreen(*Widget()->viewport()).convertToFormat(QImage::Format_RGB32);
        int count = 0;
        for (int y = 0; y < screen.height(); ++y)
            for (int x = 0; x < screen.width(); ++x)
                count += (screen.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF) ? 1 : 0;
        return count;
    }
};

} // namespace

TEST_F(ShownTextViewTest, ColoursOfGraphicRenditionsReachTheScreensPixels) {
    const std::string bytes =
        "plain \x1b[31mred red red\x1b[0m \x1b[42m  green  \x1b[0m \x1b[48;2;1;2;250mblue\x1b[0m\r\nnext\r\n";
    Add(bytes);
    EXPECT_GT(PixelsOf(qRgb(0xCD, 0, 0)), 20);         // red letters
    EXPECT_GT(PixelsOf(qRgb(0, 0xCD, 0)), 9 * 14 * 6); // green background of nine cells
    EXPECT_GT(PixelsOf(qRgb(1, 2, 250)), 50);          // a 24-bit background
    EXPECT_EQ(m_view->GetEditCtrl()->LineText(0), QStringLiteral("plain red red red   green   blue"));
    // Hidden without colour: none of it shows, and the sequences stay hidden.
    m_view->SetReading(CharacterSet::Utf8, EscapeSequences::Hide);
    LetRedrawCome();
    EXPECT_EQ(PixelsOf(qRgb(0xCD, 0, 0)), 0);
    EXPECT_EQ(PixelsOf(qRgb(0, 0xCD, 0)), 0);
    EXPECT_EQ(m_view->GetEditCtrl()->LineText(0), QStringLiteral("plain red red red   green   blue"));
    // Shown: every byte, the ESC as its symbol.
    m_view->SetReading(CharacterSet::Utf8, EscapeSequences::Show);
    LetRedrawCome();
    EXPECT_TRUE(m_view->GetEditCtrl()->LineText(0).startsWith(QString("plain ") + QChar(0x241B) + "[31mred"));
    EXPECT_EQ(m_view->GetWindowTextLength(), static_cast<int>(bytes.size()));
}

TEST_F(ShownTextViewTest, TheScreenIsAWholePaintOfColouredWideAndCombinedCharacters) {
    m_parent->setFocus();
    Add("\x1b[1;33mW (1) \xE7\xBD\x91\xE7\xBB\x9C: \xC3\x9C"
        "berlauf e\xCC\x81 23 \xC2\xB0"
        "C\x1b[0m\r\n"
        "\x1b[4munder\x1b[0m \x1b[7minverse\x1b[0m \x01\x02\x7f\r\n");
    const QImage screen = OnScreen(*Widget()->viewport());
    const QImage whole = Widget()->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(screen.size(), whole.size());
    EXPECT_TRUE(screen == whole);
    // The wide characters take two cells each: the colon after them lies four cells on.
    const int cell = QFontMetrics(Widget()->font()).horizontalAdvance(QLatin1Char('W'));
    m_view->SetSel(0, 0);
    const QString line = Widget()->LineText(0);
    EXPECT_EQ(line, QString::fromUtf8("W (1) \xE7\xBD\x91\xE7\xBB\x9C: \xC3\x9C"
                                      "berlauf e\xCC\x81 23 \xC2\xB0"
                                      "C"));
    const std::size_t colon = 7 + 6 + 6;
    const QPoint atColon(CTextView::kMargin + 10 * cell + cell / 2, CTextView::kMargin + 2);
    EXPECT_EQ(Widget()->PositionAt(atColon), colon);
}

TEST_F(ShownTextViewTest, FindCopyAndTheShownTextFollowWhatIsShown) {
    Add("\x1b[32mT=23 \xC2\xB0"
        "C\x1b[0m\r\n\x1b[31m\xE7\xBD\x91\xE7\xBB\x9C timeout\x1b[0m\r\n");
    ASSERT_TRUE(m_view->FindShownText(QString::fromUtf8("\xC2\xB0"
                                                        "C\n\xE7\xBD\x91")));
    m_view->OnEditCopy();
    EXPECT_EQ(QApplication::clipboard()->text(), QString::fromUtf8("\xC2\xB0"
                                                                   "C\n\xE7\xBD\x91"));
    EXPECT_TRUE(m_view->FindText("TIMEOUT", TRUE, FALSE));
    int start = 0, end = 0;
    m_view->GetSel(start, end);
    EXPECT_EQ(m_view->GetTextRange(start, end), "timeout");
    EXPECT_EQ(m_view->GetShownText(), "T=23 \xC2\xB0"
                                      "C\n\xE7\xBD\x91\xE7\xBB\x9C timeout\n");
    // Read as Windows-1252 with the sequences shown, the same bytes are found as their characters.
    m_view->SetReading(CharacterSet::Windows1252, EscapeSequences::Show);
    ASSERT_TRUE(m_view->FindText("\xC2\xB0"
                                 "C"));
    m_view->OnEditCopy();
    EXPECT_EQ(QApplication::clipboard()->text(), QString::fromUtf8("\xC3\x82\xC2\xB0"
                                                                   "C"));
    // The bytes themselves never change.
    CString bytes;
    m_view->GetWindowText(bytes);
    EXPECT_EQ(bytes.substr(0, 5), "\x1b[32m");
}

TEST_F(ShownTextViewTest, AssistiveTechnologiesReadTheTextAsShown) {
    const std::string bytes = "\x1b[33mW: \xC3\x9C"
                              "berlauf\x1b[0m\r\n\xE7\xBD\x91 \xF0\x9F\x98\x80!";
    m_view->SetWindowText(bytes);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(Widget());
    ASSERT_NE(accessible, nullptr);
    QAccessibleTextInterface* text = accessible->textInterface();
    ASSERT_NE(text, nullptr);
    const QString shown = QString::fromUtf8("W: \xC3\x9C"
                                            "berlauf\n\xE7\xBD\x91 \xF0\x9F\x98\x80!");
    EXPECT_EQ(accessible->text(QAccessible::Value), shown);
    EXPECT_EQ(text->characterCount(), shown.size());
    EXPECT_EQ(text->text(3, 11), QString::fromUtf8("\xC3\x9C"
                                                   "berlauf"));
    // Offsets are the shown text's: selecting "Überlauf" there selects its bytes.
    text->setSelection(0, 3, 11);
    int start = 0, end = 0;
    m_view->GetSel(start, end);
    EXPECT_EQ(m_view->GetTextRange(start, end), "\xC3\x9C"
                                                "berlauf");
    text->selection(0, &start, &end);
    EXPECT_EQ(start, 3);
    EXPECT_EQ(end, 11);
}

// No installed font need have the control pictures: the view draws control bytes itself, and every byte
// value but the blanks leaves a mark.
TEST(ByteGlyphsBoxes, EveryByteLeavesAMarkInAFontWithoutControlPictures) {
    EnsureDialogTestApplication();
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(14);
    ASSERT_FALSE(QFontMetrics(font).inFont(QChar(0x2401))) << "the font must lack the control pictures";
    const CByteGlyphs glyphs(font, 80);
    const CGlyphCells cells(glyphs, 18, Qt::white, Qt::black);
    std::vector<qreal> xs;
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<unsigned char>(b);
        if (byte == '\t' || byte == '\r' || byte == '\n' || byte == ' ' || byte == 0xA0)
            continue;
        glyphs.Positions(&byte, 1, xs);
        QImage image(40, 18, QImage::Format_RGB32);
        image.fill(Qt::white);
        cells.Draw(image, 0, 0, &byte, 0, 1, xs);
        int marked = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                marked += (image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF ? 1 : 0;
        EXPECT_GT(marked, 4) << "byte " << b;
    }
}
