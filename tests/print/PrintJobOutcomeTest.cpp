#include "PdfText.h"
#include "PrivateCups.h"
#include "ViewPrintFixture.h"
#include "support/MessageBoxAnswers.h"

#include "framework/gui/docview/CommandLineInfo.h"

#include <QPageLayout>

namespace {

// Every message box a test shows, answered with OK; the print dialog is confirmed as it stands.
class ConfirmedPrinting {
public:
    ConfirmedPrinting() {
        GuiTestHook hook;
        hook.modalDialog = [](QDialog& dialog) {
            if (dialog.findChild<QDoubleSpinBox*>("leftMargin") != nullptr)
                dialog.accept();
            return IDOK;
        };
        hook.messageBox = m_boxes.Hook();
        m_scoped = std::make_unique<CScopedGuiTestHook>(std::move(hook));
    }
    const std::vector<CString>& Messages() const { return m_boxes.Texts(); }

private:
    MessageBoxAnswers m_boxes;
    std::unique_ptr<CScopedGuiTestHook> m_scoped;
};

TEST_F(ViewPrintTest, APrintoutThatCannotBeWrittenWholeIsReportedAndNotTakenForPrinted) {
    ConfirmedPrinting recorder;
    m_view->OnFilePrint();
    EXPECT_TRUE(recorder.Messages().empty());
    EXPECT_TRUE(AfxLastPrintJobSucceeded());
    EXPECT_GT(PdfPageCount(Pdf()), 2);

    // A device that takes nothing: the file opens, and every write of it fails.
    AfxGetPrinter().setOutputFileName(QStringLiteral("/dev/full"));
    m_view->OnFilePrint();
    ASSERT_EQ(1u, recorder.Messages().size());
    EXPECT_TRUE(Has(recorder.Messages()[0], "/dev/full")) << recorder.Messages()[0];
    EXPECT_TRUE(Has(recorder.Messages()[0], "No space left on device")) << recorder.Messages()[0];
    EXPECT_FALSE(AfxLastPrintJobSucceeded());
    EXPECT_EQ(nullptr, m_view->m_pPrinter);
    // The printer keeps the file the user chose for the next job.
    EXPECT_EQ(QStringLiteral("/dev/full"), AfxGetPrinter().outputFileName());
}

TEST_F(ViewPrintTest, PrintJobsCarryTheDocumentsTitle) {
    m_document.SetTitle("capture.txt");
    ConfirmedPrinting recorder;
    m_view->OnFilePrint();
    EXPECT_EQ("capture.txt", PdfTitle(Pdf()));
    m_view->OnFilePrintDirect();
    EXPECT_TRUE(AfxLastPrintJobSucceeded());
    EXPECT_EQ("capture.txt", PdfTitle(Pdf()));
    EXPECT_TRUE(recorder.Messages().empty());
}

TEST_F(ViewPrintTest, DirectPrintNeedsNoDialogAndPrintsTheWholeText) {
    int dialogs = 0;
    GuiTestHook hook;
    hook.modalDialog = [&dialogs](QDialog&) {
        ++dialogs;
        return IDCANCEL;
    };
    CScopedGuiTestHook scoped(std::move(hook));
    ASSERT_TRUE(m_view->OnCmdMsg(ID_FILE_PRINT_DIRECT, CN_COMMAND, nullptr, FALSE));
    EXPECT_EQ(0, dialogs);
    EXPECT_TRUE(AfxLastPrintJobSucceeded());
    const std::string all = PdfText(Pdf());
    EXPECT_TRUE(Has(all, LineName(1)));
    EXPECT_TRUE(Has(all, LineName(300)));
}

TEST(ShellPrintTo, AnUnknownPrinterIsNamedInAMessageAndNothingPrints) {
    EnsureDialogTestApplication();
    TempDir dir;
    const std::string pdf = dir.file("out.pdf");
    AfxGetPrinter().setOutputFormat(QPrinter::PdfFormat);
    AfxGetPrinter().setOutputFileName(QString::fromStdString(pdf));
    ConfirmedPrinting recorder;
    CCommandLineInfo info;
    info.m_nShellCommand = CCommandLineInfo::FilePrintTo;
    info.m_strFileName = dir.file("capture.txt");
    info.m_strPrinterName = "no-such-printer";
    EXPECT_FALSE(AfxGetApp()->ProcessShellCommand(info));
    ASSERT_EQ(1u, recorder.Messages().size());
    EXPECT_TRUE(Has(recorder.Messages()[0], "no-such-printer")) << recorder.Messages()[0];
    EXPECT_TRUE(Has(recorder.Messages()[0], "capture.txt")) << recorder.Messages()[0];
    EXPECT_TRUE(ReadWholeFile(pdf).empty());
}

// The terminal window printing on a queue of a private print server whose printer cannot print near the
// paper's edges.
class WideBorderPrinterTest : public ViewPrintTest {
protected:
    void SetUp() override {
        ViewPrintTest::SetUp();
        m_savedLayout = AfxGetPrinter().pageLayout();
        if (!m_cups.Failure().empty())
            GTEST_SKIP() << "no private print server: " << m_cups.Failure();
        ASSERT_TRUE(m_cups.AddQueue("wide"));
        ASSERT_TRUE(AfxSelectPrinter("wide"));
        m_selected = true;
    }
    void TearDown() override {
        if (m_selected) {
            QPrinter& printer = AfxGetPrinter();
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setPageLayout(m_savedLayout);
        }
        ViewPrintTest::TearDown();
    }

    PrivateCups m_cups;
    QPageLayout m_savedLayout;
    bool m_selected = false;
};

TEST_F(WideBorderPrinterTest, PageSetupKeepsTheWindowsMarginsWhenThePrintersBorderIsWider) {
    // The queue really has the wide border: the printer cannot print within 12.7 mm of the top.
    QPageLayout layout = AfxGetPrinter().pageLayout();
    layout.setUnits(QPageLayout::Millimeter);
    ASSERT_NEAR(12.7, layout.minimumMargins().top(), 0.2);
    ASSERT_NEAR(6.35, layout.minimumMargins().left(), 0.2);

    ConfirmedPrinting recorder;
    m_view->OnFilePageSetup();
    EXPECT_EQ(CRect(2500, 1000, 2500, 1000), m_view->m_rectMargin);

    PrintAnswers answers;
    answers.onPageSetup = [](QDialog& dialog) {
        dialog.findChild<QDoubleSpinBox*>("topMargin")->setValue(5.0);
        dialog.accept();
    };
    auto hook = Answer(answers);
    m_view->OnFilePageSetup();
    EXPECT_EQ(CRect(2500, 500, 2500, 1000), m_view->m_rectMargin);
}

TEST_F(WideBorderPrinterTest, AQueueThatRefusesTheJobIsReportedAndNotTakenForPrinted) {
    ASSERT_TRUE(m_cups.RejectJobs("wide"));
    ConfirmedPrinting recorder;
    m_view->OnFilePrintDirect();
    EXPECT_FALSE(AfxLastPrintJobSucceeded());
    ASSERT_EQ(1u, recorder.Messages().size());
    EXPECT_TRUE(Has(recorder.Messages()[0], "wide")) << recorder.Messages()[0];
}

TEST_F(WideBorderPrinterTest, AQueueThatTakesTheJobCountsAsPrinted) {
    ConfirmedPrinting recorder;
    m_view->OnFilePrintDirect();
    EXPECT_TRUE(AfxLastPrintJobSucceeded());
    EXPECT_TRUE(recorder.Messages().empty()) << recorder.Messages()[0];
}

} // namespace
