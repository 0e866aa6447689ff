#pragma once

#include "framework/WinTypes.h"

class CPrintInfo;
struct CRect;
class CView;
class CWnd;
class QPrinter;

// The application's printer: the device and paper that print setup chooses and that printing and print
// preview use. It starts as the system's default printer, or a PDF file in the documents folder when the
// system has none, without page margins of its own, so that the views' margins are measured from the
// paper's edge.
QPrinter& AfxGetPrinter();

// Runs one pass of a view's print sequence onto printer: OnBeginPrinting, then for each page from the job's
// first page OnPrepareDC and, while it lets the job go on, OnPrint, then OnEndPrinting. Print and print
// preview both come here (a preview once for every time it draws its pages). FALSE, after the message
// "Could not start print job.", when the printer cannot be opened.
BOOL AfxRunPrintPass(CView* pView, CPrintInfo& info, QPrinter& printer);

// Shows the print dialog for a job on the application's printer, offering the selection only when the
// job's flags allow it and presetting the user's choice from them; the choice comes back in the flags.
// FALSE when the user cancels.
BOOL AfxRunPrintDialog(CPrintInfo& info, CWnd* pParent);

// The page setup dialog for the application's paper, with margins in hundredths of a millimetre preset
// from margins. TRUE, with margins replaced by the user's, when the user confirms. Nothing else chosen in
// the dialog is kept.
BOOL AfxRunPageSetupDialog(CRect& margins, CWnd* pParent);

// Print setup: the printer, paper and orientation for later jobs, kept in the application's printer.
BOOL AfxRunPrintSetupDialog(CWnd* pParent);
