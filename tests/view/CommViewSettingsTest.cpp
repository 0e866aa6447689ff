#include "support/DialogPortDirectory.h"
#include "support/DialogTestSupport.h"
#include "support/TempDir.h"

#include "app/main.h"
#include "comm/comm.h"
#include "framework/core/WinError.h"
#include "framework/gui/app/GuiServices.h"
#include "framework/gui/docview/Document.h"
#include "framework/gui/docview/FrameWnd.h"
#include "framework/serial/SerialDevice.h"
#include "framework/serial/SerialTermios.h"
#include "reception/CommThread.h"
#include "settings/Preference.h"
#include "view/CommSettingDlg.h"
#include "view/CommView.h"
#include "view/TermSettingDlg.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

// The platform's serial calls, counted, with a driver that can be told to refuse two stop bits.
class CountingDevice : public SerialDevice {
public:
    HANDLE CreateFile(const char* name, DWORD access, DWORD share, DWORD creation, DWORD flags) override {
        return PosixSerialDevice().CreateFile(name, access, share, creation, flags);
    }
    BOOL CloseHandle(HANDLE handle) override { return PosixSerialDevice().CloseHandle(handle); }
    BOOL GetCommState(HANDLE handle, DCB* dcb) override {
        return PosixSerialDevice().GetCommState(handle, dcb);
    }
    BOOL SetCommState(HANDLE handle, const DCB* dcb) override {
        ++setCommStateCalls;
        if ((refuseTwoStopBits && dcb->StopBits == 2) || (refusedRate != 0 && dcb->BaudRate == refusedRate)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        return PosixSerialDevice().SetCommState(handle, dcb);
    }
    BOOL SetupComm(HANDLE handle, DWORD in, DWORD out) override {
        return PosixSerialDevice().SetupComm(handle, in, out);
    }
    BOOL SetCommTimeouts(HANDLE handle, const COMMTIMEOUTS* timeouts) override {
        return PosixSerialDevice().SetCommTimeouts(handle, timeouts);
    }
    BOOL ClearCommError(HANDLE handle, DWORD* errors, COMSTAT* status) override {
        return PosixSerialDevice().ClearCommError(handle, errors, status);
    }
    BOOL ReadFile(HANDLE handle, void* buffer, DWORD count, DWORD* read) override {
        return PosixSerialDevice().ReadFile(handle, buffer, count, read);
    }
    DWORD GetDroppedInputBytes(HANDLE handle) override {
        return PosixSerialDevice().GetDroppedInputBytes(handle);
    }
    BOOL GetVersionEx(OSVERSIONINFOA* info) override { return PosixSerialDevice().GetVersionEx(info); }
    DWORD QueryDosDevice(const char* name, char* target, DWORD max) override {
        return PosixSerialDevice().QueryDosDevice(name, target, max);
    }

    std::atomic<int> setCommStateCalls{0};
    std::atomic<bool> refuseTwoStopBits{false};
    std::atomic<DWORD> refusedRate{0};
};

size_t Count(const std::string& haystack, const std::string& needle) {
    size_t count = 0;
    for (size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1))
        ++count;
    return count;
}

// A terminal window on COM5 (a pseudo-terminal of a port directory that also offers COM6), with the
// activity log on at level 2 in a fresh folder.
class ViewSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureDialogTestApplication();
        m_previousDevice = InstallSerialDevice(&m_device);
        CPreference& preferences = *gMainApp.m_PrefApp;
        m_savedAvailable = preferences.m_available;
        m_savedLevel = preferences.m_logLevel;
        preferences.m_available =
            (preferences.m_available & ~(PREF_COMM_SETTING | PREF_AUTOSAVE)) | PREF_LOG_FILE;
        preferences.m_logFilePath = m_dir.file("Kestrune.log");
        preferences.m_logArchiveFilePath.clear();
        preferences.m_logLevel = LEVELTWO;
        gMainApp.m_logEnable = gMainApp.SetLogFile();

        CCreateContext context;
        context.m_pCurrentDoc = &m_document;
        m_view = new CCommView;
        DialogAnswerer answerer(ChoosePort("COM5"));
        ASSERT_TRUE(m_view->Create(nullptr, &context));
        ASSERT_EQ("COM5", Port().GetCommPort());
        ASSERT_TRUE(Port().m_CommOpen);
        AfxPumpMessages();
    }

    void TearDown() override {
        if (m_view != nullptr)
            m_view->DestroyWindow();
        InstallSerialDevice(m_previousDevice);
        gMainApp.m_logEnable = FALSE;
        gMainApp.m_PrefApp->m_available = m_savedAvailable;
        gMainApp.m_PrefApp->m_logLevel = m_savedLevel;
        gMainApp.m_PrefApp->m_used = 0;
    }

    static DialogAnswerer::Answer ChoosePort(const char* name) {
        return [name](CDialog& live) {
            live.GetDlgItemAs<CComboBox>(IDC_COM_PORT)->SelectString(-1, name);
            return IDOK;
        };
    }

    TCommPort& Port() { return m_view->m_commThread->m_CommPort; }
    std::string Log() const { return ReadWholeFile(m_dir.file("Kestrune.log")); }

    DialogPortDirectory m_ports{{5, 6}};
    TempDir m_dir;
    CountingDevice m_device;
    SerialDevice* m_previousDevice = nullptr;
    CDocument m_document;
    CCommView* m_view = nullptr;
    int m_savedAvailable = 0;
    int m_savedLevel = 0;
};

TEST_F(ViewSettingsTest, ConfirmingWithoutChangeTouchesNothingAndLogs) {
    const int callsBefore = m_device.setCommStateCalls.load();
    DialogAnswerer answerer([](CDialog&) { return IDOK; });
    EXPECT_TRUE(m_view->OnSetCommSetting());
    EXPECT_EQ(callsBefore, m_device.setCommStateCalls.load());
    EXPECT_EQ("COM5", Port().GetCommPort());
    const std::string log = Log();
    EXPECT_EQ(2u, Count(log, "Serial port configuration changed.")); // creation and now
    EXPECT_NE(std::string::npos, log.find("Port: COM5, 9600, 8, NONE, 1 stop bit"));
}

TEST_F(ViewSettingsTest, CancelChangesNothing) {
    const std::string before = Log();
    DialogAnswerer answerer([](CDialog& live) {
        live.GetDlgItemAs<CComboBox>(IDC_COM_PORT)->SelectString(-1, "COM6");
        return IDCANCEL;
    });
    EXPECT_FALSE(m_view->OnSetCommSetting());
    EXPECT_EQ("COM5", Port().GetCommPort());
    EXPECT_EQ(before, Log());
}

TEST_F(ViewSettingsTest, AnotherPortOnAFrozenWindowReconnectsAndRetitles) {
    m_view->OnStopReception();
    ASSERT_TRUE(m_view->m_commThread->m_Suspended);
    DialogAnswerer answerer(ChoosePort("COM6"));
    EXPECT_TRUE(m_view->OnSetCommSetting());
    EXPECT_EQ("COM6", Port().GetCommPort());
    EXPECT_TRUE(Port().m_CommOpen);
    EXPECT_FALSE(m_view->m_commThread->m_Suspended);
    AfxPumpMessages();
    EXPECT_EQ("KT_COM6", m_document.GetTitle());
}

TEST_F(ViewSettingsTest, SamePortOtherRateOnAFrozenWindowStaysFrozen) {
    m_view->OnStopReception();
    DialogAnswerer answerer([](CDialog& live) {
        live.GetDlgItemAs<CComboBox>(IDC_COM_BAUD_RATE)->SelectString(-1, "19200");
        return IDOK;
    });
    EXPECT_TRUE(m_view->OnSetCommSetting());
    EXPECT_TRUE(m_view->m_commThread->m_Suspended);
    EXPECT_EQ(19200u, Port().GetBaudRate());
    EXPECT_TRUE(Port().m_CommOpen);
}

TEST_F(ViewSettingsTest, RefusedStopBitsKeepTheChangedRateAndLogNothing) {
    m_device.refuseTwoStopBits = true;
    const std::string before = Log();
    DialogAnswerer answerer([](CDialog& live) {
        live.GetDlgItemAs<CComboBox>(IDC_COM_BAUD_RATE)->SelectString(-1, "19200");
        live.GetDlgItemAs<CComboBox>(IDC_COM_STOP_BIT)->SelectString(-1, "2 bit");
        return IDOK;
    });
    EXPECT_FALSE(m_view->OnSetCommSetting());
    EXPECT_EQ(19200u, Port().GetBaudRate());
    EXPECT_EQ(0, Port().GetStopBits());
    // The refusal is told once the command has returned.
    EXPECT_TRUE(answerer.Messages().empty());
    AfxPumpMessages();
    EXPECT_EQ(std::vector<CString>{"Error to set stop bits. Please, try another settings.\n" +
                                   CString(std::strerror(EINVAL))},
              answerer.Messages());
    EXPECT_EQ(before, Log());
}

// The rate the pseudo-terminal's device side holds, read from the other end.
DWORD RateSeenByTheDevice(int master) {
    DWORD rate = 0;
    EXPECT_TRUE(GetCustomBaudRate(master, rate)) << std::strerror(errno);
    return rate;
}

TEST_F(ViewSettingsTest, HighAndTypedRatesReachTheDevice) {
    const int master = m_ports.MasterOf(5);
    ASSERT_GE(master, 0);
    {
        DialogAnswerer answerer([](CDialog& live) {
            EXPECT_NE(CB_ERR, live.GetDlgItemAs<CComboBox>(IDC_COM_BAUD_RATE)->SelectString(-1, "921600"));
            return IDOK;
        });
        EXPECT_TRUE(m_view->OnSetCommSetting());
        AfxPumpMessages();
        EXPECT_TRUE(answerer.Messages().empty());
    }
    EXPECT_EQ(921600u, Port().GetBaudRate());
    EXPECT_EQ(921600u, RateSeenByTheDevice(master));
    termios settings{};
    ASSERT_EQ(0, tcgetattr(master, &settings));
    EXPECT_EQ(static_cast<speed_t>(B921600), cfgetospeed(&settings));

    // A rate without a speed constant of its own goes the custom-rate way.
    {
        DialogAnswerer answerer([](CDialog& live) {
            SetItemText(live, IDC_COM_BAUD_RATE, "250000");
            return IDOK;
        });
        EXPECT_TRUE(m_view->OnSetCommSetting());
        AfxPumpMessages();
        EXPECT_TRUE(answerer.Messages().empty());
    }
    EXPECT_EQ(250000u, Port().GetBaudRate());
    EXPECT_EQ(250000u, RateSeenByTheDevice(master));
    EXPECT_NE(std::string::npos, Log().find("Port: COM5, 250000, 8, NONE, 1 stop bit"));

    // The dialog shows the rate the port holds, listed or not.
    DialogAnswerer reopened([](CDialog& live) {
        EXPECT_EQ("250000", GetItemText(live, IDC_COM_BAUD_RATE));
        return IDCANCEL;
    });
    EXPECT_FALSE(m_view->OnSetCommSetting());
}

// A rate from the INI file that the list does not offer stays when the user confirms without a change
// (it used to become the lookup's not-found value, 4294967295 bits per second).
TEST_F(ViewSettingsTest, ConfirmingARateTheListDoesNotOfferKeepsIt) {
    const int master = m_ports.MasterOf(5);
    ASSERT_GE(master, 0);
    Port().SetBaudRate(128000);
    const int callsBefore = m_device.setCommStateCalls.load();
    DialogAnswerer answerer([](CDialog&) { return IDOK; });
    EXPECT_TRUE(m_view->OnSetCommSetting());
    AfxPumpMessages();
    EXPECT_TRUE(answerer.Messages().empty());
    EXPECT_EQ(callsBefore, m_device.setCommStateCalls.load());
    EXPECT_EQ(128000u, Port().GetBaudRate());
    EXPECT_EQ(128000u, RateSeenByTheDevice(master));
}

TEST_F(ViewSettingsTest, ARateTheDeviceRefusesIsToldAndThePortKeepsItsRate) {
    const int master = m_ports.MasterOf(5);
    ASSERT_GE(master, 0);
    m_device.refusedRate = 3000000;
    DialogAnswerer answerer([](CDialog& live) {
        SetItemText(live, IDC_COM_BAUD_RATE, "3000000");
        return IDOK;
    });
    EXPECT_FALSE(m_view->OnSetCommSetting());
    AfxPumpMessages();
    EXPECT_EQ(std::vector<CString>{"Error to set baud rate. Please, try another settings.\n" +
                                   CString(std::strerror(EINVAL))},
              answerer.Messages());
    EXPECT_EQ(9600u, Port().GetBaudRate());
    EXPECT_EQ(9600u, RateSeenByTheDevice(master));
    EXPECT_TRUE(Port().m_CommOpen);
}

TEST_F(ViewSettingsTest, TerminalSettingsReplaceTheRecordAndTheDelayRestartsTheTimer) {
    TermSettingRec setting = m_view->m_commThread->GetTermSetting();
    setting.nbMaxiByte = 16;
    setting.autoSaveDelay = 60;
    setting.timestampInterval = 200;
    m_view->m_commThread->SetTermSetting(setting);
    ASSERT_TRUE(m_view->CreateAutoSaveTimer());
    ASSERT_TRUE(m_view->HasTimer(AUTOSAVE_TIMER_ID));

    // Without touching the delay the timer keeps running.
    {
        DialogAnswerer answerer([](CDialog& live) {
            live.GetDlgItemAs<CButton>(IDC_LF_OPTION)->SetCheck(BST_CHECKED);
            return IDOK;
        });
        EXPECT_TRUE(m_view->OnSetTermSetting());
    }
    EXPECT_EQ(1, m_view->m_commThread->GetTermSetting().bLF);
    EXPECT_EQ(60000u, m_view->GetTimerPeriod(AUTOSAVE_TIMER_ID));
    EXPECT_EQ(std::string::npos, Log().find("Autosave delay changed"));

    {
        DialogAnswerer answerer([](CDialog& live) {
            SetItemText(live, IDC_AUTOSAVE_DELAY, "0");
            return IDOK;
        });
        EXPECT_TRUE(m_view->OnSetTermSetting());
    }
    EXPECT_FALSE(m_view->HasTimer(AUTOSAVE_TIMER_ID));
    const TermSettingRec applied = m_view->m_commThread->GetTermSetting();
    EXPECT_EQ(0u, applied.autoSaveDelay);
    EXPECT_EQ(16u, applied.nbMaxiByte);
    EXPECT_EQ(200u, applied.timestampInterval);
    const std::string log = Log();
    EXPECT_EQ(2u, Count(log, "Term configuration changed."));
    EXPECT_EQ(1u, Count(log, "Autosave delay changed to 0 seconds."));

    DialogAnswerer cancel([](CDialog&) { return IDCANCEL; });
    EXPECT_FALSE(m_view->OnSetTermSetting());
    EXPECT_EQ(2u, Count(Log(), "Term configuration changed."));
}

TEST_F(ViewSettingsTest, NewTerminalSettingsApplyToTheNextReceivedData) {
    // The reception thread shapes what arrives on COM5 with the record the dialog confirmed.
    DialogAnswerer answerer([](CDialog& live) {
        SetItemText(live, IDC_MAXI_BYTE, "16");
        SetItemText(live, IDC_TIMESTAMP_INTERVAL, "100");
        live.GetDlgItemAs<CButton>(IDC_LF_OPTION)->SetCheck(BST_CHECKED);
        live.GetDlgItemAs<CButton>(IDC_TIMESTAMP_OPTION)->SetCheck(BST_UNCHECKED);
        live.GetDlgItemAs<CButton>(IDC_FILTERED_BYTE_OPTION)->SetCheck(BST_CHECKED);
        SetItemText(live, IDC_FILTERED_BYTES_LIST, "\\x07");
        return IDOK;
    });
    ASSERT_TRUE(m_view->OnSetTermSetting());

    // Write into the other end of COM5's pseudo-terminal.
    const int writer = m_ports.MasterOf(5);
    ASSERT_GE(writer, 0);
    const char bytes[] = "one\x07\ntwo";
    ASSERT_EQ(static_cast<ssize_t>(sizeof bytes - 1), ::write(writer, bytes, sizeof bytes - 1));

    CString text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        m_view->m_commThread->GetData(text);
        if (text.find("two") != CString::npos)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ("one\r\ntwo", text);
}

TEST_F(ViewSettingsTest, StampsOnEveryLineChosenInTheDialogOpenEachLineTheDeviceSends) {
    DialogAnswerer answerer([](CDialog& live) {
        live.GetDlgItemAs<CButton>(IDC_LF_OPTION)->SetCheck(BST_UNCHECKED);
        live.GetDlgItemAs<CButton>(IDC_TIMESTAMP_OPTION)->SetCheck(BST_CHECKED);
        live.GetDlgItemAs<CButton>(IDC_TIMESTAMP_EACH_LINE)->SetCheck(BST_CHECKED);
        SetItemText(live, IDC_TIMESTAMP_FORMAT, "> ");
        SetItemText(live, IDC_TIMESTAMP_INTERVAL, "100");
        return IDOK;
    });
    ASSERT_TRUE(m_view->OnSetTermSetting());
    EXPECT_EQ(1, m_view->m_commThread->GetTermSetting().bTimestampEachLine);

    const int writer = m_ports.MasterOf(5);
    ASSERT_GE(writer, 0);
    auto receive = [&](const std::string& bytes, const CString& until) {
        ASSERT_EQ(static_cast<ssize_t>(bytes.size()), ::write(writer, bytes.data(), bytes.size()));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        for (CString text; std::chrono::steady_clock::now() < deadline;) {
            m_view->m_commThread->GetData(text);
            if (text.size() >= until.size() &&
                text.compare(text.size() - until.size(), until.size(), until) == 0)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    };
    // The line end comes apart: CR in one read, LF with the next line in another.
    receive("one\r", "one\r");
    receive("\ntwo\r\nthr", "thr");
    CString text;
    m_view->m_commThread->GetData(text);
    EXPECT_EQ("> one\r\n> two\r\n> thr", text);
}

} // namespace
