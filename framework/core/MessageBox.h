#pragma once

#include "framework/core/WinTypes.h"

#include <functional>

// Message box styles and answers, with the desktop platform's values.
constexpr UINT MB_OK = 0x0;
constexpr UINT MB_OKCANCEL = 0x1;
constexpr UINT MB_YESNOCANCEL = 0x3;
constexpr UINT MB_YESNO = 0x4;
constexpr UINT MB_ICONSTOP = 0x10;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONEXCLAMATION = 0x30;
constexpr UINT MB_ICONINFORMATION = 0x40;
constexpr UINT MB_DEFBUTTON2 = 0x100;
constexpr UINT MB_TYPEMASK = 0xF;
constexpr UINT MB_ICONMASK = 0xF0;
constexpr UINT MB_DEFMASK = 0xF00;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Shows a message box and returns the button chosen. The GUI half installs the presenter that shows a real
// box (and the test hook that answers it); without one the text goes to standard error and IDOK comes back.
using MessageBoxPresenter = std::function<int(const CString& text, UINT type)>;
void SetMessageBoxPresenter(MessageBoxPresenter presenter);

int AfxMessageBox(const CString& text, UINT type = MB_OK);

// A box the program raises by itself (a notice, a failure met while working, a refusal reported by
// background work) must not open inside the handler that met it: the box runs an event loop of its own,
// whose messages would re-enter handlers halfway through a change. Such a box is posted instead: the GUI
// half shows it from the event loop once the running handler has returned, one box at a time in the
// order posted, and nobody waits for the answer. Without a poster the presenter shows it at once, as a
// program without an event loop has nothing to re-enter.
using MessageBoxPoster = std::function<void(const CString& text, UINT type)>;
void SetMessageBoxPoster(MessageBoxPoster poster);

void AfxPostMessageBox(const CString& text, UINT type = MB_OK);
