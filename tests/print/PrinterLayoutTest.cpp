#include "PdfText.h"
#include "support/DialogTestSupport.h"
#include "support/TempDir.h"

#include "framework/gui/drawing/DC.h"
#include "framework/gui/printing/PrintInfo.h"
#include "print/printer.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPrinter>

#include <clocale>
#include <cmath>
#include <ctime>

namespace {

// A white page image of the given size and resolution, with a device context drawing on it.
class ImagePage {
public:
    ImagePage(int width, int height, int dpi) : m_image(width, height, QImage::Format_RGB32) {
        EnsureDialogTestApplication();
        const int dotsPerMeter = static_cast<int>(std::lround(dpi / 0.0254));
        m_image.setDotsPerMeterX(dotsPerMeter);
        m_image.setDotsPerMeterY(dotsPerMeter);
        m_image.fill(Qt::white);
        m_painter.begin(&m_image);
        m_dc.SetOutput(&m_painter);
        m_dc.SetAttribDevice(&m_image);
    }
    CDC& dc() { return m_dc; }
    const QImage& Finish() {
        m_painter.end();
        return m_image;
    }

private:
    QImage m_image;
    QPainter m_painter;
    CDC m_dc;
};

bool IsPure(QRgb pixel, int red, int green, int blue) {
    return qRed(pixel) == red && qGreen(pixel) == green && qBlue(pixel) == blue;
}

// The number of rows in which column x holds the colour.
int RowsOfColour(const QImage& image, int x, int red, int green, int blue) {
    int rows = 0;
    for (int y = 0; y < image.height(); ++y)
        rows += IsPure(image.pixel(x, y), red, green, blue) ? 1 : 0;
    return rows;
}

// The rightmost column with a dark pixel between rows top and bottom; -1 when none.
int RightmostDark(const QImage& image, int top, int bottom) {
    for (int x = image.width() - 1; x >= 0; --x)
        for (int y = std::max(top, 0); y < std::min(bottom, image.height()); ++y)
            if (qGray(image.pixel(x, y)) < 128)
                return x;
    return -1;
}

TEST(PrinterMargins, HundredthsOfMillimetreBecomeTruncatedPixels) {
    EXPECT_EQ(590, MarginToPixels(600, 2500)); // 590.55
    EXPECT_EQ(236, MarginToPixels(600, 1000)); // 236.2
    EXPECT_EQ(0, MarginToPixels(72, 35));      // 0.99
    EXPECT_EQ(1, MarginToPixels(72, 36));      // 1.02

    ImagePage page(5100, 6600, 600);
    CPrintInfo info;
    CRect margins(2500, 1000, 2500, 1000);
    info.m_lpUserData = &margins;
    CPrinter printer(&page.dc(), &info);
    printer.SetPrinterCaps();
    EXPECT_EQ(CRect(590, 236, 590, 236), printer.m_Margins);
    EXPECT_EQ(5100, printer.pageWidth);
    EXPECT_EQ(6600, printer.pageHeight);
    EXPECT_GT(printer.lineHeight, 0);
    EXPECT_EQ(3 * printer.lineHeight, printer.headingHeight);
    EXPECT_EQ(printer.lineHeight, printer.footnoteHeight);
}

TEST(PrinterMargins, WithoutMarginsEverySideGetsHalfAnInch) {
    ImagePage page(2550, 3300, 300);
    CPrintInfo info;
    CPrinter printer(&page.dc(), &info);
    printer.SetPrinterCaps();
    EXPECT_EQ(CRect(150, 150, 150, 150), printer.m_Margins);

    CPrinter detached(&page.dc(), nullptr);
    detached.SetPrinterCaps();
    EXPECT_EQ(CRect(150, 150, 150, 150), detached.m_Margins);
}

TEST(PrinterDrawing, RulesAreAHundredthOfAnInchAndThinnestBelowOneHundredDpi) {
    ImagePage fine(2400, 3000, 600);
    CPrintInfo info;
    CPrinter printer(&fine.dc(), &info);
    printer.SetPrinterCaps();
    printer.PageHeading();
    printer.PageFootNote();
    const QImage& image = fine.Finish();
    // A column between the title and the page text crosses only the two rules.
    const int column = image.width() / 2;
    EXPECT_EQ(6, RowsOfColour(image, column, 255, 0, 0));
    EXPECT_EQ(6, RowsOfColour(image, column, 0, 0, 255));

    ImagePage coarse(800, 1000, 96);
    CPrinter screenLike(&coarse.dc(), &info);
    screenLike.SetPrinterCaps();
    screenLike.PageHeading();
    screenLike.PageFootNote();
    const QImage& small = coarse.Finish();
    EXPECT_EQ(1, RowsOfColour(small, small.width() / 2, 255, 0, 0));
    EXPECT_EQ(1, RowsOfColour(small, small.width() / 2, 0, 0, 255));
}

TEST(PrinterDrawing, RulesAndTextsSitWhereTheBandsSay) {
    ImagePage page(2400, 3000, 300);
    CPrintInfo info;
    info.m_nCurPage = 12;
    CRect margins(2500, 1000, 2500, 1000);
    info.m_lpUserData = &margins;
    CPrinter printer(&page.dc(), &info);
    printer.SetPrinterCaps();
    printer.PageHeading();
    printer.PageFootNote();
    const QImage& image = page.Finish();

    const int right = printer.pageWidth - printer.m_Margins.right;
    const int redY = printer.m_Margins.top + 2 * printer.headingHeight / 3;
    const int blueY = printer.pageHeight - printer.m_Margins.bottom - printer.footnoteHeight;
    EXPECT_TRUE(IsPure(image.pixel(printer.m_Margins.left + 1, redY + 1), 255, 0, 0));
    EXPECT_TRUE(IsPure(image.pixel(right - 1, redY + 1), 255, 0, 0));
    EXPECT_FALSE(IsPure(image.pixel(right + 2, redY + 1), 255, 0, 0));
    EXPECT_TRUE(IsPure(image.pixel(printer.m_Margins.left + 1, blueY + 1), 0, 0, 255));

    // "page: 12" ends at the right margin: its last ink lies just inside it (a glyph's side bearing).
    const int textTop = printer.m_Margins.top + printer.headingHeight / 3;
    const int pageTextEnd = RightmostDark(image, textTop, redY - 1);
    EXPECT_LE(pageTextEnd, right);
    EXPECT_GE(pageTextEnd, right - 12);
    // The footnote's text hangs below the blue rule, right-aligned too.
    const int footEnd = RightmostDark(image, blueY + 4, blueY + printer.footnoteHeight);
    EXPECT_LE(footEnd, right);
    EXPECT_GE(footEnd, right - 12);
    // Nothing is drawn in the empty first line of the heading band.
    EXPECT_EQ(-1, RightmostDark(image, 0, printer.m_Margins.top + printer.headingHeight / 3 - 2));
}

TEST(PrinterTexts, EditionDateFollowsTheFormatAndFallsBackWhenEmpty) {
    const char* previous = std::setlocale(LC_TIME, nullptr);
    const std::string saved = previous != nullptr ? previous : "C";
    std::setlocale(LC_TIME, "C");
    struct tm when {};
    when.tm_year = 2026 - 1900;
    when.tm_mon = 11;
    when.tm_mday = 8;
    when.tm_hour = 18;
    when.tm_min = 5;
    when.tm_wday = 2;
    EXPECT_EQ("Tuesday, December 08, 2026 - 18:05", FormatEditionDate("", when));
    EXPECT_EQ("Tuesday, December 08, 2026 - 18:05", FormatEditionDate(kDefaultDateTimeFormat, when));
    EXPECT_EQ("2026-12-08", FormatEditionDate("%Y-%m-%d", when));
    std::setlocale(LC_TIME, saved.c_str());

    ImagePage page(100, 100, 96);
    CPrinter printer(&page.dc(), nullptr);
    EXPECT_TRUE(printer.SetDateTimeFormat(3100));
    EXPECT_EQ("%A, %B %d, %Y - %H:%M", printer.m_DateTimeFormat);
    CPrinter other(&page.dc(), nullptr);
    EXPECT_FALSE(other.SetDateTimeFormat(3999));
    EXPECT_EQ("", other.m_DateTimeFormat);
}

TEST(PrinterTexts, PdfPageCarriesNameNumberAndEdition) {
    EnsureDialogTestApplication();
    TempDir dir;
    const std::string path = dir.file("heading.pdf");
    QPrinter device(QPrinter::HighResolution);
    device.setOutputFormat(QPrinter::PdfFormat);
    device.setOutputFileName(QString::fromStdString(path));
    device.setResolution(600);
    QPainter painter(&device);
    CDC dc;
    dc.SetOutput(&painter);
    dc.SetAttribDevice(&device);
    CPrintInfo info;
    info.m_nCurPage = 12;
    CPrinter printer(&dc, &info);
    printer.SetPrinterCaps();
    printer.SetDateTimeFormat(3100);
    printer.PageHeading();
    printer.PageFootNote();
    painter.end();

    const std::string text = PdfText(path);
    EXPECT_NE(std::string::npos, text.find("Kestrune")) << text;
    EXPECT_NE(std::string::npos, text.find("page: 12")) << text;
    EXPECT_NE(std::string::npos, text.find("Edition: ")) << text;
}

} // namespace
