#pragma once

// The About box (template 100): the program's name, version and copyright, closed with OK.
class CAboutDlg {
public:
    CAboutDlg() = default;
    // Runs the box modally over the main window; IDOK when it closes.
    int DoModal();
};
