#include "framework/gui/printing/PrintSequence.h"

#include "framework/core/MessageBox.h"
#include "framework/core/Resource.h"
#include "framework/core/WinApp.h"
#include "framework/gui/docview/Document.h"
#include "framework/gui/docview/View.h"
#include "framework/gui/drawing/DC.h"
#include "framework/gui/drawing/Rect.h"
#include "framework/gui/printing/PrintInfo.h"
#include "framework/gui/printing/PrintMarginsDialog.h"
#include "framework/gui/printing/PrintSequenceOutput.h"
#include "framework/gui/windows/TestHook.h"

#include <QDir>
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>

#include <cmath>
#include <memory>

namespace {

constexpr UINT AFX_IDP_FAILED_TO_START_PRINT = 61702;
constexpr UINT kLastPage = 0xFFFF;

QWidget* ParentWidget(CWnd* pParent) {
    if (pParent != nullptr && pParent->GetWidget() != nullptr)
        return pParent->GetWidget()->window();
    if (CWnd* main = AfxGetMainWnd(); main != nullptr)
        return main->GetWidget();
    return nullptr;
}

void ReportPrintStartFailure() {
    const char* text = AfxLoadString(AFX_IDP_FAILED_TO_START_PRINT);
    AfxMessageBox(text != nullptr ? text : "Could not start print job.", MB_OK | MB_ICONEXCLAMATION);
}

void ReportLostJob(const QString& why) {
    AfxMessageBox(why.toStdString(), MB_OK | MB_ICONEXCLAMATION);
}

// The outcome of the last print command.
BOOL& LastJobSucceeded() {
    static BOOL succeeded = FALSE;
    return succeeded;
}

// The name a print queue shows for the job: the document's title, else the application's name.
QString JobName(CView* pView) {
    if (CDocument* document = pView->GetDocument(); document != nullptr && !document->GetTitle().empty())
        return QString::fromStdString(document->GetTitle());
    const CWinApp* app = AfxGetApp();
    return QString::fromStdString(app != nullptr ? app->m_pszAppName : CString());
}

// A fresh printer writes into the documents folder, or into the home folder when there is none: a PDF
// file cannot be made in a folder that does not exist.
QString FallbackPdfFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QDir(documents).exists())
        return documents;
    return QDir::homePath();
}

std::unique_ptr<QPrinter>& PrinterSlot() {
    static std::unique_ptr<QPrinter> printer;
    return printer;
}

} // namespace

QPrinter& AfxGetPrinter() {
    std::unique_ptr<QPrinter>& printer = PrinterSlot();
    if (!printer) {
        printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        // Without a system printer the jobs go to a PDF file, which the print dialog lets the user name.
        if (QPrinterInfo::availablePrinters().isEmpty()) {
            printer->setOutputFormat(QPrinter::PdfFormat);
            CWinApp* app = AfxGetApp();
            const QString name =
                QString::fromStdString(app != nullptr ? app->m_pszAppName : CString("print"));
            printer->setOutputFileName(QDir(FallbackPdfFolder()).filePath(name + QStringLiteral(".pdf")));
        }
        // The printable area is the whole sheet where the device allows it; a printer that cannot print to
        // the edge keeps its own unprintable border.
        printer->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    }
    return *printer;
}

BOOL AfxSelectPrinter(const CString& printerName) {
    const QPrinterInfo found = QPrinterInfo::printerInfo(QString::fromStdString(printerName));
    if (found.isNull())
        return FALSE;
    QPrinter& printer = AfxGetPrinter();
    printer.setOutputFileName(QString());
    printer.setOutputFormat(QPrinter::NativeFormat);
    printer.setPrinterName(found.printerName());
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    return TRUE;
}

BOOL AfxLastPrintJobSucceeded() {
    return LastJobSucceeded();
}

BOOL AfxRunPrintPass(CView* pView, CPrintInfo& info, QPrinter& printer) {
    printer.setDocName(JobName(pView));
    CPrintJobOutput output(printer);
    QPainter painter;
    if (!output.Begin() || !painter.begin(&printer)) {
        ReportPrintStartFailure();
        return FALSE;
    }
    CDC dc;
    dc.m_bPrinting = TRUE;
    dc.SetOutput(&painter);
    dc.SetAttribDevice(&printer);

    info.m_bContinuePrinting = TRUE;
    info.m_nCurPage = info.GetFromPage();
    pView->OnBeginPrinting(&dc, &info);
    dc.StartDoc();

    UINT last = info.GetToPage();
    if (last < info.GetFromPage() || last > kLastPage)
        last = kLastPage;
    QString lost;
    for (UINT page = info.GetFromPage(); page <= last; ++page) {
        info.m_nCurPage = page;
        info.m_rectDraw = CRect(0, 0, dc.GetDeviceCaps(HORZRES), dc.GetDeviceCaps(VERTRES));
        pView->OnPrepareDC(&dc, &info);
        if (!info.m_bContinuePrinting)
            break;
        if (dc.StartPage() < 0) {
            lost = QObject::tr("The printer refused page %1; the print job is incomplete.").arg(page);
            break;
        }
        pView->OnPrint(&dc, &info);
        dc.EndPage();
    }

    // Ending the job is where a print queue takes it and where a file is completed: its failure loses
    // the whole job.
    if (dc.EndDoc() < 0 && lost.isEmpty())
        lost = QObject::tr("The printer did not accept the end of the print job; it was not printed.");
    const QString notWritten = output.Finish();
    if (lost.isEmpty())
        lost = notWritten;
    pView->OnEndPrinting(&dc, &info);
    if (!lost.isEmpty()) {
        ReportLostJob(lost);
        return FALSE;
    }
    return TRUE;
}

BOOL AfxRunPrintDialog(CPrintInfo& info, CWnd* pParent) {
    QPrinter& printer = AfxGetPrinter();
    PRINTDLG& pd = info.m_pPD->m_pd;
    QPrintDialog dialog(&printer, ParentWidget(pParent));
    QAbstractPrintDialog::PrintDialogOptions options = QAbstractPrintDialog::PrintToFile |
                                                       QAbstractPrintDialog::PrintShowPageSize |
                                                       QAbstractPrintDialog::PrintCollateCopies;
    if ((pd.Flags & PD_NOSELECTION) == 0)
        options |= QAbstractPrintDialog::PrintSelection;
    if ((pd.Flags & PD_NOPAGENUMS) == 0)
        options |= QAbstractPrintDialog::PrintPageRange;
    dialog.setOptions(options);
    dialog.setMinMax(pd.nMinPage, pd.nMaxPage);
    // The printer remembers the last job's choice; this job starts from its own flags.
    if ((pd.Flags & PD_SELECTION) != 0 && (pd.Flags & PD_NOSELECTION) == 0) {
        dialog.setPrintRange(QAbstractPrintDialog::Selection);
    } else if ((pd.Flags & PD_PAGENUMS) != 0 && (pd.Flags & PD_NOPAGENUMS) == 0) {
        dialog.setPrintRange(QAbstractPrintDialog::PageRange);
        printer.setFromTo(pd.nFromPage, pd.nToPage);
    } else {
        dialog.setPrintRange(QAbstractPrintDialog::AllPages);
    }

    if (AfxRunModalDialog(dialog) != IDOK)
        return FALSE;

    pd.Flags &= ~(PD_SELECTION | PD_PAGENUMS);
    switch (dialog.printRange()) {
    case QAbstractPrintDialog::Selection:
        pd.Flags |= PD_SELECTION;
        break;
    case QAbstractPrintDialog::PageRange:
        if (printer.fromPage() > 0) {
            pd.Flags |= PD_PAGENUMS;
            pd.nFromPage = static_cast<WORD>(printer.fromPage());
            pd.nToPage = static_cast<WORD>(printer.toPage() > 0 ? printer.toPage() : pd.nMaxPage);
        }
        break;
    default:
        break;
    }
    return TRUE;
}

BOOL AfxRunPageSetupDialog(CRect& margins, CWnd* pParent) {
    // The margins are all that leaves page setup. The platform's page setup dialog measures them from the
    // paper's edge and refuses any below the printer's own unprintable border: it would replace the view's
    // margins by the printer's defaults. The view's margins count from the printable area's edge instead,
    // so a dialog of margins alone serves every printer alike.
    const QMarginsF preset(margins.left / 100.0, margins.top / 100.0, margins.right / 100.0,
                           margins.bottom / 100.0);
    CMarginsDialog dialog(preset, ParentWidget(pParent));
    if (AfxRunModalDialog(dialog) != IDOK)
        return FALSE;
    const QMarginsF chosen = dialog.Margins();
    margins.left = static_cast<LONG>(std::lround(chosen.left() * 100.0));
    margins.top = static_cast<LONG>(std::lround(chosen.top() * 100.0));
    margins.right = static_cast<LONG>(std::lround(chosen.right() * 100.0));
    margins.bottom = static_cast<LONG>(std::lround(chosen.bottom() * 100.0));
    return TRUE;
}

BOOL AfxRunPrintSetupDialog(CWnd* pParent) {
    QPrintDialog dialog(&AfxGetPrinter(), ParentWidget(pParent));
    dialog.setWindowTitle(QObject::tr("Print Setup"));
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
    return AfxRunModalDialog(dialog) == IDOK;
}

BOOL CView::DoPreparePrinting(CPrintInfo* pInfo) {
    // A preview and a direct job print with the current printer, without asking.
    if (pInfo->m_bPreview || pInfo->m_bDirect)
        return TRUE;
    return AfxRunPrintDialog(*pInfo, this);
}

void CView::OnFilePrint() {
    LastJobSucceeded() = FALSE;
    CPrintInfo info;
    if (!OnPreparePrinting(&info))
        return;
    LastJobSucceeded() = AfxRunPrintPass(this, info, AfxGetPrinter());
}

void CView::OnFilePrintDirect() {
    LastJobSucceeded() = FALSE;
    CPrintInfo info;
    info.m_bDirect = TRUE;
    if (!OnPreparePrinting(&info))
        return;
    LastJobSucceeded() = AfxRunPrintPass(this, info, AfxGetPrinter());
}

void CView::OnFilePrintPreview() {
    CPrintInfo info;
    info.m_bPreview = TRUE;
    if (!OnPreparePrinting(&info))
        return;
    QPrintPreviewDialog dialog(&AfxGetPrinter(), ParentWidget(this));
    // The preview draws its pages again whenever it needs them (after a change of paper or orientation,
    // and when the user prints from it), each time as a whole pass of the sequence.
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested,
                     [this, &info](QPrinter* printer) { AfxRunPrintPass(this, info, *printer); });
    AfxRunModalDialog(dialog);
}

void CWinApp::OnFilePrintSetup() {
    AfxRunPrintSetupDialog(m_pMainWnd);
}
