#include "PdfText.h"
#include "support/DialogPortDirectory.h"
#include "support/DialogTestSupport.h"
#include "support/TempDir.h"

#include "app/main.h"
#include "framework/gui/Dialog.h"
#include "framework/gui/Document.h"
#include "framework/gui/FrameWnd.h"
#include "framework/gui/GuiServices.h"
#include "framework/gui/PrintSequence.h"
#include "framework/gui/TestHook.h"
#include "settings/Preference.h"
#include "view/CommSettingDlg.h"
#include "view/CommView.h"

#include <gtest/gtest.h>

#include <QDoubleSpinBox>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

std::string LineName(int n) {
    char text[16];
    std::snprintf(text, sizeof text, "line%03d", n);
    return text;
}

// Numbered lines "line001 alpha beta" to "line300 alpha beta", CR LF ended.
std::string NumberedLines(int count) {
    std::string text;
    for (int n = 1; n <= count; ++n)
        text += LineName(n) + " alpha beta\r\n";
    return text;
}

bool Has(const std::string& haystack, const std::string& needle) {
    return haystack.find(needle) != std::string::npos;
}

// What the print dialogs of a test saw and how they answer.
struct PrintAnswers {
    int printDialogs = 0;
    int previews = 0;
    bool selectionOffered = false;
    bool selectionChosen = false;
    int answer = IDOK;
    std::function<void(QPrintDialog&)> onPrintDialog;
    std::function<void(QDialog&)> onPageSetup;
    std::function<void(QPrintPreviewDialog&)> onPreview;
};

// A terminal window on COM5 holding 300 numbered lines, with the application's printer writing a 300 dpi
// PDF into a fresh folder.
class ViewPrintTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureDialogTestApplication();
        CPreference& preferences = *gMainApp.m_PrefApp;
        m_savedAvailable = preferences.m_available;
        preferences.m_available &= ~(PREF_COMM_SETTING | PREF_AUTOSAVE);
        m_view = CreateView("COM5", m_document);
        ASSERT_NE(nullptr, m_view);
        m_view->OnStopReception();
        m_view->SetWindowText(NumberedLines(300));

        QPrinter& printer = AfxGetPrinter();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(Pdf()));
        printer.setResolution(300);
    }

    void TearDown() override {
        // KESTRUNE_KEEP_PDF names a folder that keeps each test's printout, for looking at the pages.
        if (const char* keep = std::getenv("KESTRUNE_KEEP_PDF");
            keep != nullptr && !ReadWholeFile(Pdf()).empty()) {
            const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
            WriteWholeFile(std::string(keep) + "/" + info->name() + ".pdf", ReadWholeFile(Pdf()));
        }
        if (m_view != nullptr)
            m_view->DestroyWindow();
        gMainApp.m_PrefApp->m_available = m_savedAvailable;
        gMainApp.m_PrefApp->m_used = 0;
    }

    static CCommView* CreateView(const char* port, CDocument& document) {
        CCreateContext context;
        context.m_pCurrentDoc = &document;
        auto* view = new CCommView;
        DialogAnswerer answerer([port](CDialog& live) {
            live.GetDlgItemAs<CComboBox>(IDC_COM_PORT)->SelectString(-1, port);
            return IDOK;
        });
        if (!view->Create(nullptr, &context))
            return nullptr;
        AfxPumpMessages();
        return view;
    }

    // Installs answers for the printing dialogs for the lifetime of the returned hook.
    std::unique_ptr<CScopedGuiTestHook> Answer(PrintAnswers& answers) {
        GuiTestHook hook;
        hook.modalDialog = [&answers](QDialog& dialog) {
            if (auto* print = qobject_cast<QPrintDialog*>(&dialog)) {
                ++answers.printDialogs;
                answers.selectionOffered = print->testOption(QAbstractPrintDialog::PrintSelection);
                answers.selectionChosen = print->printRange() == QAbstractPrintDialog::Selection;
                if (answers.onPrintDialog)
                    answers.onPrintDialog(*print);
                return answers.answer;
            }
            if (dialog.findChild<QDoubleSpinBox*>("leftMargin") != nullptr) {
                if (answers.onPageSetup)
                    answers.onPageSetup(dialog);
                return answers.answer;
            }
            if (auto* preview = qobject_cast<QPrintPreviewDialog*>(&dialog)) {
                ++answers.previews;
                if (answers.onPreview)
                    answers.onPreview(*preview);
                return IDCANCEL;
            }
            return IDCANCEL;
        };
        hook.messageBox = [](const CString&, UINT) { return IDOK; };
        return std::make_unique<CScopedGuiTestHook>(std::move(hook));
    }

    // Selects from the start of line first to the end of line last (without its line break).
    void SelectLines(int first, int last) {
        CString text;
        m_view->GetWindowText(text);
        const auto start = text.find(LineName(first));
        const auto end = text.find("\r\n", text.find(LineName(last)));
        m_view->SetSel(static_cast<int>(start), static_cast<int>(end));
    }

    // Every page has the heading with its own number and the footnote.
    void ExpectHeadingsAndFootnotes(int pages) {
        for (int page = 1; page <= pages; ++page) {
            const std::string text = PdfText(Pdf(), page);
            EXPECT_TRUE(Has(text, "Kestrune")) << "page " << page;
            EXPECT_TRUE(Has(text, "page: " + std::to_string(page))) << "page " << page;
            EXPECT_TRUE(Has(text, "Edition: ")) << "page " << page;
        }
    }

    std::string Pdf() const { return m_dir.file("out.pdf"); }

    DialogPortDirectory m_ports{{5, 6}};
    TempDir m_dir;
    CDocument m_document;
    CCommView* m_view = nullptr;
    int m_savedAvailable = 0;
};

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
    std::vector<CString> messages;
    GuiTestHook hook;
    hook.modalDialog = [](QDialog&) { return IDOK; };
    hook.messageBox = [&messages](const CString& text, UINT) {
        messages.push_back(text);
        return IDOK;
    };
    CScopedGuiTestHook scoped(std::move(hook));
    m_view->OnFilePrint();
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ("Could not start print job.", messages[0]);
    EXPECT_EQ(nullptr, m_view->m_pPrinter);
}

} // namespace
