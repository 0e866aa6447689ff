#pragma once

#include "framework/core/WinTypes.h"

// What the command line asks the program to do at start-up, in the framework's standard switches: no
// argument makes a new document, a file name opens it, "/p file" prints it, "/pt file printer driver port"
// prints it on a given printer, "/dde" and "/embedding" or "/automation" start without a document, and
// "/unregserver" or "/unregister" only unregisters (nothing here) and ends. Switches may begin with "-" and
// are read in any case; any other argument, a path beginning with "/" included, is a file.
class CCommandLineInfo {
public:
    enum { FileNew, FileOpen, FilePrint, FilePrintTo, FileDDE, AppUnregister, FileNothing = -1 };

    CCommandLineInfo() = default;
    virtual ~CCommandLineInfo() = default;

    // Takes one argument: a switch (bFlag, without its leading "/" or "-") or a parameter.
    virtual void ParseParam(const char* pszParam, BOOL bFlag, BOOL bLast);

    int m_nShellCommand = FileNew;
    CString m_strFileName;
    CString m_strPrinterName;
    CString m_strDriverName;
    CString m_strPortName;
    BOOL m_bRunEmbedded = FALSE;
    BOOL m_bRunAutomated = FALSE;

private:
    int m_nPrintToParam = 0;
};
