#include "CommViewTestSupport.h"

#include "app/main.h"
#include "framework/gui/app/GuiServices.h"
#include "framework/gui/docview/FrameWnd.h"
#include "log/LogLevel.h"
#include "settings/Preference.h"
#include "support/DialogTestSupport.h"
#include "support/StalledPipe.h"
#include "view/CaptureDlg.h"
#include "view/CommView.h"

#include <gtest/gtest.h>

#include <chrono>

#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

class CaptureWindowTest : public TerminalWindowTest {
protected:
    // Starts the window's capture through its File menu command, the dialog answered with the file and
    // the content given.
    void StartThroughTheDialog(CCommView* view, const std::string& path, const char* content) {
        {
            DialogAnswerer answerer([&](CDialog& dialog) {
                m_proposed = GetItemText(dialog, IDC_CAPTURE_FILE);
                SetItemText(dialog, IDC_CAPTURE_FILE, path);
                auto* list = dialog.GetDlgItemAs<CComboBox>(IDC_CAPTURE_CONTENT);
                if (list != nullptr)
                    list->SelectString(-1, content);
                return IDOK;
            });
            view->OnCaptureToFile();
        }
        // A box the command posted shows once the answerer of the dialog is gone.
        AfxPumpMessages();
    }

    static CString CaptionOf(CCommView* view) {
        CString caption;
        view->GetParentFrame()->GetWindowText(caption);
        return caption;
    }

    void EnableLog() {
        CPreference* preferences = gMainApp.m_PrefApp;
        preferences->m_logFilePath = m_dir.file("Kestrune.log");
        preferences->m_available |= PREF_LOG_FILE;
        preferences->m_logLevel = LEVELONE;
        gMainApp.m_logEnable = gMainApp.SetLogFile();
        ASSERT_TRUE(gMainApp.m_logEnable);
    }

    // Starts a raw capture of a new window to a stalled pipe and sends it more than the pipe holds: its
    // writer cannot finish before the pipe's reader takes some. The bytes sent.
    std::string CaptureMoreThanAStalledPipeHolds(CCommView* view, StalledPipe& pipe,
                                                 std::size_t size = 200000) {
        StartThroughTheDialog(view, pipe.path(), CCaptureDlg::kRawChoice);
        EXPECT_TRUE(view->IsCapturing());
        std::string sent;
        for (int line = 0; sent.size() < size; ++line)
            sent += "line " + std::to_string(line) + " of a capture the disk holds up|";
        m_device.Send(sent);
        EXPECT_TRUE(WaitFor([&] {
            CCaptureWriter::Status status;
            CaptureContent content;
            return view->m_commThread->m_Capture.GetStatus(status, content) &&
                   status.written + status.waiting == sent.size();
        }));
        return sent;
    }

    std::string Log() const { return ReadWholeFile(m_dir.file("Kestrune.log")); }

    CString m_proposed;
};

// Milliseconds since `start`.
long long MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
        .count();
}

} // namespace

// While a window captures, freezing holds its screen only: what arrives meanwhile goes into the file at
// once and onto the screen when it is unfrozen. The caption names the file and its bytes; start and stop
// are logged.
TEST_F(CaptureWindowTest, FreezeWhileCapturingHoldsTheScreenOnly) {
    EnableLog();
    CCommView* view = OpenWindow();
    ASSERT_NE(view, nullptr);
    const std::string path = m_dir.file("frozen.log");
    StartThroughTheDialog(view, path, CCaptureDlg::kTextChoice);
    ASSERT_TRUE(view->IsCapturing());
    // The proposed name is the port and the start time, in the working directory.
    EXPECT_EQ(m_proposed.rfind(".log"), m_proposed.size() - 4) << m_proposed;
    EXPECT_EQ(m_proposed.find('/'), CString::npos) << m_proposed;

    m_device.Send("before|");
    ASSERT_TRUE(WaitFor([&] { return TextOf(view) == "before|"; }));
    view->OnStopReception();
    EXPECT_TRUE(view->IsScreenFrozen());
    EXPECT_FALSE(view->m_commThread->m_Suspended);
    m_device.Send("while frozen");
    EXPECT_TRUE(WaitFor([&] { return ReadWholeFile(path) == "before|while frozen"; }));
    EXPECT_EQ(TextOf(view), "before|");
    EXPECT_TRUE(WaitFor(
        [&] { return CaptionOf(view).find("capturing to frozen.log: 19 bytes") != CString::npos; }, 3000))
        << CaptionOf(view);

    view->OnStopReception();
    EXPECT_FALSE(view->IsScreenFrozen());
    EXPECT_TRUE(WaitFor([&] { return TextOf(view) == "before|while frozen"; }));

    view->OnCaptureToFile();
    EXPECT_FALSE(view->IsCapturing());
    EXPECT_EQ(CaptionOf(view).find("capturing"), CString::npos) << CaptionOf(view);
    const std::string log = ReadWholeFile(m_dir.file("Kestrune.log"));
    EXPECT_NE(log.find("Capture started (text), file of 0 bytes:"), std::string::npos) << log;
    // The stop's record follows as soon as the writer has finished, on its own thread.
    EXPECT_TRUE(WaitFor([&] {
        return Log().find("Capture stopped, file of 19 bytes, 0 bytes not written:") != std::string::npos;
    })) << Log();
}

// A window frozen before its capture starts keeps its screen still but receives again, into the file.
TEST_F(CaptureWindowTest, ACaptureStartedWhileFrozenReceivesAtOnce) {
    CCommView* view = OpenWindow();
    ASSERT_NE(view, nullptr);
    view->OnStopReception();
    ASSERT_TRUE(view->m_commThread->m_Suspended);
    const std::string path = m_dir.file("raw.log");
    StartThroughTheDialog(view, path, CCaptureDlg::kRawChoice);
    EXPECT_TRUE(view->IsScreenFrozen());
    EXPECT_FALSE(view->m_commThread->m_Suspended);
    m_device.Send("raw\n");
    EXPECT_TRUE(WaitFor([&] { return ReadWholeFile(path) == "raw\n"; }));
    EXPECT_EQ(TextOf(view), "");
}

// A full disk: the capture stops for this window, the caption says why, one box is posted (it waits for
// no one), the log has it, and reception and the display go on.
TEST_F(CaptureWindowTest, AFullDiskIsToldOnceAndReceptionGoesOn) {
    EnableLog();
    CCommView* view = OpenWindow();
    ASSERT_NE(view, nullptr);
    const std::string path = m_dir.file("full.log");
    ASSERT_EQ(::symlink("/dev/full", path.c_str()), 0);
    StartThroughTheDialog(view, path, CCaptureDlg::kTextChoice);
    ASSERT_TRUE(view->IsCapturing());
    const std::size_t boxes = m_boxes.Texts().size();
    m_device.Send("lost to the disk|");
    ASSERT_TRUE(WaitFor([&] { return !view->IsCapturing(); }));
    EXPECT_NE(CaptionOf(view).find("capture stopped: "), CString::npos) << CaptionOf(view);
    EXPECT_NE(CaptionOf(view).find("No space left on device"), CString::npos) << CaptionOf(view);
    m_device.Send("shown");
    EXPECT_TRUE(WaitFor([&] { return TextOf(view) == "lost to the disk|shown"; }));
    ASSERT_EQ(m_boxes.Texts().size(), boxes + 1);
    EXPECT_NE(m_boxes.Texts().back().find("17 bytes could not be"), CString::npos) << m_boxes.Texts().back();
    const std::string log = ReadWholeFile(m_dir.file("Kestrune.log"));
    EXPECT_NE(log.find("Capture failed: "), std::string::npos) << log;
    EXPECT_TRUE(WaitFor([&] { return Log().find("17 bytes not written") != std::string::npos; })) << Log();
}

// A capture never starts silently on a file it cannot write.
TEST_F(CaptureWindowTest, AFileThatCannotBeWrittenIsRefusedAtTheStart) {
    CCommView* view = OpenWindow();
    ASSERT_NE(view, nullptr);
    const std::size_t boxes = m_boxes.Texts().size();
    StartThroughTheDialog(view, m_dir.file("no/such/folder.log"), CCaptureDlg::kTextChoice);
    EXPECT_FALSE(view->IsCapturing());
    ASSERT_EQ(m_boxes.Texts().size(), boxes + 1);
    EXPECT_NE(m_boxes.Texts().back().find("No such file or directory"), CString::npos);
    EXPECT_NE(CaptionOf(view).find("capture stopped: "), CString::npos);
}

// Section CAPTURE of the INI file, with a folder written with backslashes: the window captures from its
// connection on, into that folder, under the pattern's name with the port in it.
TEST_F(CaptureWindowTest, AutomaticCaptureFromTheIniFileWithABackslashFolder) {
    CurrentDirGuard cwd(m_dir.path());
    ASSERT_EQ(::mkdir(m_dir.file("caps").c_str(), 0700), 0);
    WriteWholeFile(m_dir.file("Kestrune.ini"), "[CAPTURE]\nAutoCapture=1\nCaptureFolder=.\\caps\n"
                                               "CaptureName=%p.cap\nCaptureRaw=1\n");
    const CPreference loaded("./Kestrune.ini");
    gMainApp.m_PrefApp->m_captureSetting = loaded.m_captureSetting;

    CCommView* view = OpenWindow();
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(view->IsCapturing());
    CCaptureWriter::Status status;
    CaptureContent content = CaptureContent::Text;
    ASSERT_TRUE(view->m_commThread->m_Capture.GetStatus(status, content));
    EXPECT_EQ(content, CaptureContent::Raw);
    std::string port = m_device.path();
    for (char& c : port)
        c = c == '/' ? '_' : c;
    EXPECT_EQ(status.path, "./caps/" + port + ".cap");
    m_device.Send("automatic\r\n");
    EXPECT_TRUE(
        WaitFor([&] { return ReadWholeFile(m_dir.file("caps/" + port + ".cap")) == "automatic\r\n"; }));
    CloseWindow(view);
}

// The automatic capture starts with the connection itself: bytes waiting at the port when it opens, read by
// the very first poll, are in the file too.
TEST_F(CaptureWindowTest, AutomaticCaptureHoldsTheFirstBytesOfTheConnection) {
    CurrentDirGuard cwd(m_dir.path());
    gMainApp.m_PrefApp->m_captureSetting.bAutoCapture = 1;
    gMainApp.m_PrefApp->m_captureSetting.folder = ".";
    gMainApp.m_PrefApp->m_captureSetting.namePattern = "first.cap";
    m_device.Send("waiting at the open|");
    CCommView* view = OpenWindow();
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(view->IsCapturing());
    m_device.Send("after");
    EXPECT_TRUE(WaitFor([&] { return TextOf(view) == "waiting at the open|after"; }));
    EXPECT_TRUE(WaitFor([&] {
        return ReadWholeFile(m_dir.file("first.cap")) == "waiting at the open|after";
    })) << ReadWholeFile(m_dir.file("first.cap"));
    CloseWindow(view);
}

// Stopping from the menu while the disk stalls returns at once: the window no longer captures and may
// start a new capture at once. The stopped capture writes everything it had once the disk goes on, and its
// record in the log follows the end of the writing.
TEST_F(CaptureWindowTest, AStopFromTheMenuWhileTheDiskStallsReturnsAtOnce) {
    EnableLog();
    StalledPipe pipe(m_dir.file("stalled"));
    CCommView* view = OpenWindow();
    ASSERT_NE(view, nullptr);
    const std::string sent = CaptureMoreThanAStalledPipeHolds(view, pipe);
    // A stop that waits for the disk gets it back after a while, and then fails slow instead of hanging.
    pipe.ReleaseAfter(3s);
    const auto before = std::chrono::steady_clock::now();
    view->OnCaptureToFile();
    EXPECT_LT(MillisecondsSince(before), 1000);
    EXPECT_FALSE(view->IsCapturing());
    EXPECT_EQ(CaptionOf(view).find("capturing"), CString::npos) << CaptionOf(view);
    EXPECT_EQ(Log().find("Capture stopped"), std::string::npos) << Log();

    const std::string next = m_dir.file("next.log");
    StartThroughTheDialog(view, next, CCaptureDlg::kRawChoice);
    ASSERT_TRUE(view->IsCapturing());
    m_device.Send("next");
    EXPECT_TRUE(WaitFor([&] { return ReadWholeFile(next) == "next"; }));

    pipe.Release();
    const std::string drained = pipe.Drained();
    EXPECT_TRUE(drained == sent) << drained.size() << " of " << sent.size();
    const std::string record =
        "Capture stopped, file of " + std::to_string(sent.size()) + " bytes, 0 bytes not written:";
    EXPECT_TRUE(WaitFor([&] { return Log().find(record) != std::string::npos; })) << Log();
    CloseWindow(view);
}

// A window closed while its capture finishes leaves it to finish without the window: the file is complete
// and the record written, and a message posted to the gone window is dropped.
TEST_F(CaptureWindowTest, AWindowClosedWhileItsCaptureFinishesLeavesItToFinish) {
    EnableLog();
    StalledPipe pipe(m_dir.file("stalled"));
    CCommView* view = OpenWindow();
    ASSERT_NE(view, nullptr);
    const std::string sent = CaptureMoreThanAStalledPipeHolds(view, pipe);
    const HWND window = view->m_hWnd;
    pipe.ReleaseAfter(3s);
    const auto before = std::chrono::steady_clock::now();
    CloseWindow(view);
    EXPECT_LT(MillisecondsSince(before), 1000);
    ::PostMessage(window, WM_COMM_CAPTURE_FAILED, 0, 0);
    AfxPumpMessages();

    pipe.Release();
    const std::string drained = pipe.Drained();
    EXPECT_TRUE(drained == sent) << drained.size() << " of " << sent.size();
    const std::string record =
        "Capture stopped, file of " + std::to_string(sent.size()) + " bytes, 0 bytes not written:";
    EXPECT_TRUE(WaitFor([&] { return Log().find(record) != std::string::npos; })) << Log();
}

// The end of the program waits for captures still finishing: one whose disk comes back within the wait
// is complete and logged; one stalled beyond it holds the end up no longer, and the log says what of which
// file was not written.
TEST_F(CaptureWindowTest, TheEndWaitsForFinishingCapturesABoundedTime) {
    EnableLog();
    StalledPipe slow(m_dir.file("slow"));
    StalledPipe stalled(m_dir.file("stalled"));
    CCommView* first = OpenWindow();
    ASSERT_NE(first, nullptr);
    const std::string sent = CaptureMoreThanAStalledPipeHolds(first, slow);
    CloseWindow(first);
    CCommView* second = OpenWindow();
    ASSERT_NE(second, nullptr);
    const std::string lost = CaptureMoreThanAStalledPipeHolds(second, stalled, 150000);
    CloseWindow(second);

    slow.ReleaseAfter(300ms);
    const auto before = std::chrono::steady_clock::now();
    CCommView::AwaitFinishingCaptures(1500ms);
    const long long waited = MillisecondsSince(before);
    EXPECT_GE(waited, 1400);
    EXPECT_LT(waited, 3000);
    EXPECT_TRUE(slow.Drained() == sent);
    const std::string log = Log();
    EXPECT_NE(
        log.find("Capture stopped, file of " + std::to_string(sent.size()) + " bytes, 0 bytes not written:"),
        std::string::npos)
        << log;
    const std::size_t unfinished = log.find("Capture not finished at exit, ");
    ASSERT_NE(unfinished, std::string::npos) << log;
    const unsigned long long notWritten = std::stoull(log.substr(unfinished + 30));
    EXPECT_GT(notWritten, 0u);
    EXPECT_LE(notWritten, lost.size());
    EXPECT_NE(log.find("bytes not written after 1500 ms:", unfinished), std::string::npos) << log;
    EXPECT_NE(log.find("stalled", unfinished), std::string::npos) << log;

    // Given up: the disk that comes back later gets the bytes, but no record follows the one of the end.
    EXPECT_EQ(stalled.Drained().size(), lost.size());
    AfxPumpMessages();
    EXPECT_EQ(Log().find("Capture stopped, file of " + std::to_string(lost.size())), std::string::npos)
        << Log();
}
