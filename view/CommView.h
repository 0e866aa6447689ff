#pragma once

#include "framework/core/WindowMessage.h"
#include "framework/gui/drawing/Rect.h"
#include "framework/gui/textview/EditView.h"
#include "reception/CommThread.h"

#include <chrono>
#include <memory>

class CPrinter;
class CFont;
struct LOGFONTA;

// Messages a terminal view handles, besides those its reception thread posts (reception/CommThread.h).
constexpr UINT WM_MSG_CHANGE_DOC_TITLE = WM_USER + 2; // wParam: a CString* title, owned by the handler

// The view's own commands.
constexpr UINT ID_SETUP_FREEZE_SCREEN = 202;
constexpr UINT ID_SETUP_TERMINAL = 203;
constexpr UINT ID_SETUP_SERIAL_PORT = 204;
constexpr UINT ID_EDIT_CLEAR_SCREEN = 205;
constexpr UINT ID_FILE_PAGE_SETUP = 57605;
// View menu: the window's bytes as a hex dump.
constexpr UINT ID_VIEW_HEX = 220;
// How the view reads the bytes (View menu): character set, then escape sequences.
constexpr UINT ID_VIEW_CHARSET_UTF8 = 221;
constexpr UINT ID_VIEW_CHARSET_WINDOWS1252 = 222;
constexpr UINT ID_VIEW_ESCAPES_COLOURS = 223;
constexpr UINT ID_VIEW_ESCAPES_HIDE = 224;
constexpr UINT ID_VIEW_ESCAPES_SHOW = 225;
constexpr UINT ID_FILE_CAPTURE = 230;

// The automatic-save timer of every terminal view.
constexpr UINT_PTR AUTOSAVE_TIMER_ID = 3;
// The timer that refreshes a capturing window's caption (file and bytes written).
constexpr UINT_PTR CAPTURE_TIMER_ID = 4;

// The view of a terminal window: a read-only text view of what the window's reception thread has received.
// It owns the reception thread (and through it the serial port) and carries the window's commands: freeze,
// clear, font, serial and terminal settings, automatic saving, printing.
class CCommView : public CEditView {
public:
    CCommView();
    ~CCommView() override;

    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    int OnCreate(LPCREATESTRUCT lpCreateStruct) override;
    void OnClose() override;

    // The document's file format: the view's text, byte for byte. Loading also hands the text to the
    // reception thread when the terminal settings came from the INI file.
    virtual void SerializeRaw(CArchive& ar) override;
    // A loaded text that goes to the reception thread is kept within its buffer loop, so a longer file
    // would lose its start as soon as it is shown: it is refused as a file too large for the control is.
    UINT LargestLoadableText() const override;
    // Text set from outside the reception path; the next update then takes the thread's whole text.
    void SetWindowText(const CString& text) override;

    // Printing hooks (margins, heading and footnote, printing the selection).
    BOOL OnPreparePrinting(CPrintInfo* pInfo) override;
    void OnBeginPrinting(CDC* pDC, CPrintInfo* pInfo) override;
    void OnPrepareDC(CDC* pDC, CPrintInfo* pInfo) override;
    void OnPrint(CDC* pDC, CPrintInfo* pInfo) override;
    void OnEndPrinting(CDC* pDC, CPrintInfo* pInfo) override;
    void OnFilePageSetup();

    // Message handlers.
    LRESULT OnMsgUpdateData(WPARAM wParam, LPARAM lParam);
    LRESULT OnMsgChangeDocTitle(WPARAM wParam, LPARAM lParam);
    LRESULT OnMsgPortState(WPARAM wParam, LPARAM lParam);
    LRESULT OnMsgCaptureFailed(WPARAM wParam, LPARAM lParam);

    // Command handlers.
    void OnStopReception();
    void OnClearScreen();
    void OnSetViewFont();
    void OnViewHex();
    BOOL OnSetCommSetting();
    BOOL OnSetTermSetting();
    // Starts a capture to a file chosen in the capture dialog, or stops the running one.
    void OnCaptureToFile();

    // Capture to a file (CommViewCapture.cpp). While the window captures, freezing holds the screen only:
    // reception goes on into the buffer and the file.
    bool IsCapturing() const;
    // The screen is frozen: reception paused, or (while capturing) the screen held.
    bool IsScreenFrozen() const;
    // Starts the capture the preferences ask of every window when its port opens (before reception resumes)
    // and none runs.
    void StartAutoCapture();
    // Stops a running capture at once; `failed` tells the user why it could not go on. What it wrote is
    // logged when its writer has finished, with or without the window.
    void StopCapture(bool failed);
    // At the end of the program: waits for the captures still finishing, at most `limit`, and logs what
    // those still unfinished then have not written.
    static void AwaitFinishingCaptures(std::chrono::milliseconds limit);
    // How long the end of the program waits for captures still finishing. A disk that works writes out
    // even a full backlog (32 MB) within it at 6.5 MB/s or more, and a capture that keeps up leaves far less
    // than that; one that has written nothing for 5 s is stalled, and waiting longer would only make the
    // program look hung to the user and the session.
    static constexpr std::chrono::milliseconds kCaptureExitWait{5000};
    static void CaptureTimerProc(HWND hWnd, UINT nMsg, UINT_PTR nIDEvent, DWORD dwTime);

    BOOL CreateAutoSaveTimer();
    static void AutoSaveTimerProc(HWND hWnd, UINT nMsg, UINT_PTR nIDEvent, DWORD dwTime);
    // Sets the check mark of "Freeze &screen" from the reception thread's state.
    void RefreshOptionMenu();

    // The text the caption shows after the title while the port is lost, bytes were dropped since the last
    // clear, or the window captures to a file (or its capture failed); "" when none of these.
    CString GetPortStateText() const;

    CCommThread* m_commThread = nullptr;
    int m_bPrintSelection = 0;
    int m_nNextSelCharToBePrint = 0;
    int m_nFirstNonSelChar = 0;
    // Where the selection of the current run starts, so that a preview that draws its pages again starts
    // again from the first selected character.
    int m_nFirstSelChar = 0;
    CPrinter* m_pPrinter = nullptr;
    CRect m_rectMargin{2500, 1000, 2500, 1000};

private:
    // Loading hands the text to the reception thread only when the terminal settings came from the INI file.
    bool LoadGoesToThread() const;
    // Applies the preferences' font, or the fixed system font, by posting WM_SETFONT to the view.
    void SetInitialFont();
    void SetViewFont(const LOGFONTA& logFont);
    // The View menu's character set and escape sequence commands, with their check marks.
    void AddReadingCommands();
    // The reading the preferences give a new window.
    void ApplyPreferredReading();
    // Brings the view's and the document's text up to the thread's buffer.
    void ApplyThreadChanges();
    bool StartCapture(CCaptureWriter::Options options, CaptureContent content);
    // Sets the capture's part of the caption from the capture's status.
    void ShowCaptureState();
    // The record of a stopped capture once it is finished; `failureTold`: its failure is logged already.
    static CCapture::Report FinishedCaptureReport(bool failureTold);

    std::unique_ptr<CFont> m_font;
    CString m_strPortState;
    CString m_strCaptureState;
    // Frozen while capturing: the view takes no updates, the reception thread runs on.
    bool m_bScreenHeld = false;
    // How far the view's text follows the thread's buffer: updates take only what changed since.
    CCommThread::DataMark m_dataMark;
    // An update is being applied; one that came meanwhile (from an event loop run inside it) is deferred.
    bool m_bUpdating = false;
    bool m_bUpdateDeferred = false;
    bool m_bPortLost = false;
    bool m_bSaving = false; // an automatic save is running (it may be asking for a file name)
};
