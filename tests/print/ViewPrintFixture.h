#pragma once

#include "PdfText.h"
#include "support/DialogPortDirectory.h"
#include "support/DialogTestSupport.h"
#include "support/MessageBoxAnswers.h"
#include "support/TempDir.h"

#include "app/main.h"
#include "framework/gui/app/GuiServices.h"
#include "framework/gui/dialogs/Dialog.h"
#include "framework/gui/docview/Document.h"
#include "framework/gui/docview/FrameWnd.h"
#include "framework/gui/printing/PrintSequence.h"
#include "framework/gui/windows/TestHook.h"
#include "settings/Preference.h"
#include "view/CommSettingDlg.h"
#include "view/CommView.h"

#include <gtest/gtest.h>

#include <QDoubleSpinBox>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The terminal window that the printing tests print from, and the answers of their dialogs.

inline std::string LineName(int n) {
    char text[16];
    std::snprintf(text, sizeof text, "line%03d", n);
    return text;
}

// Numbered lines "line001 alpha beta" to "line300 alpha beta", CR LF ended.
inline std::string NumberedLines(int count) {
    std::string text;
    for (int n = 1; n <= count; ++n)
        text += LineName(n) + " alpha beta\r\n";
    return text;
}

inline bool Has(const std::string& haystack, const std::string& needle) {
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
        hook.messageBox = MessageBoxAnswers(IDOK).Hook();
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
