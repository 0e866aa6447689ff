#pragma once

#include "framework/core/WinTypes.h"

class CPrintInfo;
struct CRect;
class CView;
class CWnd;
class QPrinter;

// The application's printer: the device and paper that print setup chooses and that printing and print
// preview use. It starts as the system's default printer, or, when the system has none, a PDF file named
// after the application (its title and ".pdf") in the documents folder (the home folder when there is no
// documents folder). The views' margins are measured from the edges of the area the printer can print on.
QPrinter& AfxGetPrinter();

// Makes the system's printer of that name the application's printer; FALSE, with the printer unchanged,
// when the system has no printer of that name.
BOOL AfxSelectPrinter(const CString& printerName);

// Runs one pass of a view's print sequence onto printer: OnBeginPrinting, then for each page from the job's
// first page OnPrepareDC and, while it lets the job go on, OnPrint, then OnEndPrinting. Print and print
// preview both come here (a preview once for every time it draws its pages). The job is named after the
// view's document. FALSE, after the message "Could not start print job.", when the printer cannot be
// opened, and after a message saying why when the job is lost on the way (a page the device refuses, a
// PDF file that cannot be written whole, a print queue that does not take the job).
BOOL AfxRunPrintPass(CView* pView, CPrintInfo& info, QPrinter& printer);

// Whether the last print command (print or direct print) delivered its whole job. A command that the user
// cancelled, or that ran no job, counts as not delivered.
BOOL AfxLastPrintJobSucceeded();

// Shows the print dialog for a job on the application's printer, offering the selection only when the
// job's flags allow it and presetting the user's choice from them; the choice comes back in the flags.
// FALSE when the user cancels.
BOOL AfxRunPrintDialog(CPrintInfo& info, CWnd* pParent);

// The page setup dialog: the margins in hundredths of a millimetre, preset from margins. TRUE, with
// margins replaced by the user's, when the user confirms. The margins are the view's own and are measured
// from the edges of the printable area, so no printer's limits change them.
BOOL AfxRunPageSetupDialog(CRect& margins, CWnd* pParent);

// Print setup: the printer, paper and orientation for later jobs, kept in the application's printer.
BOOL AfxRunPrintSetupDialog(CWnd* pParent);
