#include "PdfText.h"
#include "ViewPrintFixture.h"
#include "support/MessageBoxAnswers.h"

#include <QPrintPreviewWidget>

namespace {
TEST_F(ViewPrintTest, WithoutSelectionTheWholeTextPrintsOnPagesWithHeadingAndFootnote) {
    PrintAnswers answers;
    auto hook = Answer(answers);
    m_view->DispatchCommand(ID_FILE_PRINT);
    EXPECT_EQ(1, answers.printDialogs);
    EXPECT_FALSE(answers.selectionOffered);
    EXPECT_FALSE(answers.selectionChosen);
    EXPECT_EQ(nullptr, m_view->m_pPrinter);

    const int pages = PdfPageCount(Pdf());
    ASSERT_GT(pages, 2);
    ExpectHeadingsAndFootnotes(pages);
    const std::string all = PdfText(Pdf());
    for (int n = 1; n <= 300; ++n)
        ASSERT_TRUE(Has(all, LineName(n))) << LineName(n);
    // Pages break between lines: each line appears once, and the last page ends with the last line.
    EXPECT_FALSE(Has(PdfText(Pdf(), pages - 1), LineName(300)));
    EXPECT_TRUE(Has(PdfText(Pdf(), pages), LineName(300)));
}

TEST_F(ViewPrintTest, SelectionLongerThanAPageContinuesAndNothingOutsideItPrints) {
    SelectLines(50, 250);
    PrintAnswers answers;
    auto hook = Answer(answers);
    m_view->DispatchCommand(ID_FILE_PRINT);
    EXPECT_TRUE(answers.selectionOffered);
    EXPECT_TRUE(answers.selectionChosen);
    EXPECT_TRUE(m_view->m_bPrintSelection);

    const int pages = PdfPageCount(Pdf());
    ASSERT_GT(pages, 1);
    ExpectHeadingsAndFootnotes(pages);
    const std::string all = PdfText(Pdf());
    for (int n = 50; n <= 250; ++n)
        ASSERT_TRUE(Has(all, LineName(n))) << LineName(n);
    EXPECT_FALSE(Has(all, LineName(49)));
    EXPECT_FALSE(Has(all, LineName(251)));
    EXPECT_TRUE(Has(PdfText(Pdf(), pages), LineName(250)));
}

TEST_F(ViewPrintTest, ChoosingAllPagesInsteadOfTheSelectionPrintsEverything) {
    SelectLines(10, 12);
    PrintAnswers answers;
    answers.onPrintDialog = [](QPrintDialog& dialog) {
        dialog.setPrintRange(QAbstractPrintDialog::AllPages);
    };
    auto hook = Answer(answers);
    m_view->OnFilePrint();
    EXPECT_TRUE(answers.selectionChosen);
    EXPECT_FALSE(m_view->m_bPrintSelection);
    const std::string all = PdfText(Pdf());
    EXPECT_TRUE(Has(all, LineName(1)));
    EXPECT_TRUE(Has(all, LineName(300)));
}

TEST_F(ViewPrintTest, CancellingThePrintDialogPrintsNothing) {
    PrintAnswers answers;
    answers.answer = IDCANCEL;
    auto hook = Answer(answers);
    m_view->OnFilePrint();
    EXPECT_EQ(1, answers.printDialogs);
    EXPECT_EQ(nullptr, m_view->m_pPrinter);
    EXPECT_TRUE(ReadWholeFile(Pdf()).empty());
}

TEST_F(ViewPrintTest, PreviewOfASelectionShowsOnlyItWithoutADialogAndPrintsTheSameAgain) {
    SelectLines(100, 220);
    PrintAnswers answers;
    int previewPages = 0;
    answers.onPreview = [&previewPages](QPrintPreviewDialog& dialog) {
        auto* widget = dialog.findChild<QPrintPreviewWidget*>();
        ASSERT_NE(nullptr, widget);
        previewPages = widget->pageCount();
        // Printing from the preview draws the pages once more, onto the printer this time.
        widget->print();
    };
    auto hook = Answer(answers);
    m_view->DispatchCommand(ID_FILE_PRINT_PREVIEW);
    EXPECT_EQ(0, answers.printDialogs);
    EXPECT_EQ(1, answers.previews);
    EXPECT_TRUE(m_view->m_bPrintSelection);
    EXPECT_EQ(nullptr, m_view->m_pPrinter);
    ASSERT_GT(previewPages, 1);

    EXPECT_EQ(previewPages, PdfPageCount(Pdf()));
    const std::string all = PdfText(Pdf());
    EXPECT_TRUE(Has(all, LineName(100)));
    EXPECT_TRUE(Has(all, LineName(220)));
    EXPECT_FALSE(Has(all, LineName(99)));
    EXPECT_FALSE(Has(all, LineName(221)));
}

TEST_F(ViewPrintTest, PageSetupMarginsMoveTheBodyOfThatWindowOnly) {
    PrintAnswers defaults;
    {
        auto hook = Answer(defaults);
        m_view->OnFilePrint();
    }
    // 25 mm is 70.9 points from the paper's edge.
    EXPECT_NEAR(70.9, PdfWordLeft(Pdf(), 1, LineName(1)), 1.5);

    PrintAnswers answers;
    answers.onPageSetup = [](QDialog& dialog) {
        auto* left = dialog.findChild<QDoubleSpinBox*>("leftMargin");
        auto* top = dialog.findChild<QDoubleSpinBox*>("topMargin");
        ASSERT_NE(nullptr, left);
        ASSERT_NE(nullptr, top);
        left->setValue(50.0);
        top->setValue(40.0);
        dialog.accept();
    };
    auto hook = Answer(answers);
    m_view->DispatchCommand(ID_FILE_PAGE_SETUP);
    EXPECT_EQ(5000, m_view->m_rectMargin.left);
    EXPECT_EQ(4000, m_view->m_rectMargin.top);
    EXPECT_EQ(2500, m_view->m_rectMargin.right);
    EXPECT_EQ(1000, m_view->m_rectMargin.bottom);

    m_view->OnFilePrint();
    EXPECT_NEAR(141.7, PdfWordLeft(Pdf(), 1, LineName(1)), 1.5);

    // Cancelling page setup keeps the margins.
    answers.answer = IDCANCEL;
    answers.onPageSetup = [](QDialog& dialog) {
        dialog.findChild<QDoubleSpinBox*>("leftMargin")->setValue(5.0);
    };
    m_view->OnFilePageSetup();
    EXPECT_EQ(5000, m_view->m_rectMargin.left);

    CDocument otherDocument;
    CCommView* other = CreateView("COM6", otherDocument);
    ASSERT_NE(nullptr, other);
    EXPECT_EQ(CRect(2500, 1000, 2500, 1000), other->m_rectMargin);
    other->DestroyWindow();
}

TEST_F(ViewPrintTest, LongLinesWrapSoThatNothingIsLost) {
    // A device that sends no line ends makes one line longer than many pages are wide.
    std::string text(3000, 'x');
    text += "\r\nlast\tafter a tab";
    m_view->SetWindowText(text);
    PrintAnswers answers;
    auto hook = Answer(answers);
    m_view->OnFilePrint();
    const std::string all = PdfText(Pdf());
    size_t xs = 0;
    for (char c : all)
        xs += c == 'x' ? 1 : 0;
    EXPECT_EQ(3000u, xs);
    EXPECT_TRUE(Has(all, "last"));
    EXPECT_TRUE(Has(all, "after a tab"));
}

TEST_F(ViewPrintTest, MarginsThatLeaveNoRoomForALineEndTheJob) {
    m_view->m_rectMargin = CRect(2500, 15000, 2500, 15000);
    PrintAnswers answers;
    auto hook = Answer(answers);
    m_view->OnFilePrint();
    EXPECT_EQ(1, PdfPageCount(Pdf()));

    SelectLines(5, 200);
    m_view->OnFilePrint();
    EXPECT_TRUE(answers.selectionChosen);
    EXPECT_EQ(1, PdfPageCount(Pdf()));
    EXPECT_EQ(nullptr, m_view->m_pPrinter);
}

TEST_F(ViewPrintTest, AJobFromALaterPagePrintsThatPageAsTheWholeRunWould) {
    PrintAnswers answers;
    auto hook = Answer(answers);
    m_view->OnFilePrint();
    const std::string secondOfAll = PdfText(Pdf(), 2);
    const auto first = secondOfAll.find("line");
    ASSERT_NE(std::string::npos, first);
    const std::string firstLineOfPageTwo = secondOfAll.substr(first, 7);

    answers.onPrintDialog = [](QPrintDialog& dialog) {
        dialog.setPrintRange(QAbstractPrintDialog::PageRange);
        dialog.printer()->setFromTo(2, 2);
    };
    m_view->OnFilePrint();
    EXPECT_EQ(1, PdfPageCount(Pdf()));
    const std::string only = PdfText(Pdf());
    EXPECT_TRUE(Has(only, "page: 2"));
    EXPECT_EQ(only.find("line"), only.find(firstLineOfPageTwo));
    AfxGetPrinter().setPrintRange(QPrinter::AllPages);
}

TEST_F(ViewPrintTest, APrinterThatCannotOpenIsReportedAndNothingRuns) {
    AfxGetPrinter().setOutputFileName(QString::fromStdString(m_dir.file("missing/folder/out.pdf")));
    const MessageBoxAnswers boxes;
    const std::vector<CString>& messages = boxes.Texts();
    GuiTestHook hook;
    hook.modalDialog = [](QDialog&) { return IDOK; };
    hook.messageBox = boxes.Hook();
    CScopedGuiTestHook scoped(std::move(hook));
    m_view->OnFilePrint();
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ("Could not start print job.", messages[0]);
    EXPECT_EQ(nullptr, m_view->m_pPrinter);
}

} // namespace

TEST_F(ViewPrintTest, TheTextPrintsAsShownWithEscapeSequencesHiddenAndControlBytesBoxed) {
    // The NUL is part of the text: the length is given.
    const char text[] = "\x1b[0;32mI (1) temp=23.4 \xC2\xB0"
                        "C \xE7\xBD\x91\xE7\xBB\x9C\x1b[0m\r\n"
                        "frame ~\x01\x03\x00\x10~\r\n";
    m_view->SetWindowText(CString(text, sizeof text - 1));
    m_view->SetReading(CharacterSet::Utf8, EscapeSequences::Colours);
    PrintAnswers answers;
    auto hook = Answer(answers);
    m_view->OnFilePrint();
    const std::string all = PdfText(Pdf());
    EXPECT_TRUE(Has(all, "temp=23.4 \xC2\xB0"
                         "C \xE7\xBD\x91\xE7\xBB\x9C"))
        << all;
    EXPECT_FALSE(Has(all, "[0;32m")) << all;
    // Every control byte leaves its digits on the page.
    for (const char* digits : {"01", "03", "00", "10"})
        EXPECT_TRUE(Has(all, digits)) << digits << " in " << all;
    // Read as Windows-1252 with the sequences shown, the page shows every byte as such.
    m_view->SetReading(CharacterSet::Windows1252, EscapeSequences::Show);
    m_view->OnFilePrint();
    const std::string bytes = PdfText(Pdf());
    EXPECT_TRUE(Has(bytes, "[0;32mI (1)")) << bytes;
    EXPECT_TRUE(Has(bytes, "1B")) << bytes;
    EXPECT_TRUE(Has(bytes, "\xC3\x82\xC2\xB0"
                           "C"))
        << bytes;
}
