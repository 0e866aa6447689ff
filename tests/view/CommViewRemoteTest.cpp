#include "support/DialogTestSupport.h"
#include "support/Ser2Net.h"
#include "support/SimDevice.h"

#include "app/main.h"
#include "comm/comm.h"
#include "framework/gui/app/GuiServices.h"
#include "framework/gui/docview/Document.h"
#include "framework/gui/docview/FrameWnd.h"
#include "reception/CommThread.h"
#include "settings/Preference.h"
#include "view/CommSettingDlg.h"
#include "view/CommView.h"

#include <gtest/gtest.h>

#include <QComboBox>

#include <chrono>
#include <fcntl.h>
#include <functional>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

// A terminal window whose port is typed into the serial settings as a remote port name, served by
// ser2net in front of the simulated device.

namespace {

bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        AfxPumpMessages();
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

DialogAnswerer::Answer TypePort(const std::string& name) {
    return [name](CDialog& live) {
        qobject_cast<QComboBox*>(live.GetDlgItemAs<CComboBox>(IDC_COM_PORT)->GetWidget())
            ->setEditText(QString::fromStdString(name));
        return IDOK;
    };
}

termios TerminalSettings(const std::string& terminal) {
    termios settings{};
    const int fd = open(terminal.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    EXPECT_GE(fd, 0) << terminal;
    if (fd >= 0) {
        EXPECT_EQ(tcgetattr(fd, &settings), 0);
        close(fd);
    }
    return settings;
}

class RemoteWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureDialogTestApplication();
        m_savedAvailable = gMainApp.m_PrefApp->m_available;
        gMainApp.m_PrefApp->m_available &= ~(PREF_COMM_SETTING | PREF_AUTOSAVE);
    }
    void TearDown() override {
        if (m_view != nullptr)
            m_view->DestroyWindow();
        gMainApp.m_PrefApp->m_available = m_savedAvailable;
        gMainApp.m_PrefApp->m_used = 0;
    }

    // Opens the window on the typed port; false when the dialog was not shown.
    bool OpenOn(const std::string& name) {
        CCreateContext context;
        context.m_pCurrentDoc = &m_document;
        m_view = new CCommView;
        DialogAnswerer answerer(TypePort(name));
        return m_view->Create(nullptr, &context) != FALSE;
    }

    TCommPort& Port() { return m_view->m_commThread->m_CommPort; }

    CDocument m_document;
    CCommView* m_view = nullptr;
    int m_savedAvailable = 0;
};

} // namespace

// The rate and the frame chosen in the dialog reach the device behind the server (a pseudo-terminal keeps
// 8 data bits and no parity, so the frame shows in its stop bits and in the window's own values); a value
// the server does not confirm is told as a refused setting and the port keeps what it had.
TEST_F(RemoteWindowTest, SettingsChosenInTheDialogReachTheRemoteDevice) {
    SimDevice device(65, {"--pattern", "--rate", "2000", "--count", "0", "--settle-ms", "300"});
    const std::string terminal = LinkTarget(device.portDirectory() + "/" + device.comName());
    Ser2Net server(terminal);
    std::string why;
    ASSERT_TRUE(server.Start(why)) << why;
    ASSERT_TRUE(OpenOn(server.Rfc2217Name()));
    EXPECT_EQ(server.Rfc2217Name(), Port().GetCommPort());
    ASSERT_TRUE(PumpUntil([&] { return m_view->m_commThread->IsPortOpen() == TRUE; }, 10s));

    {
        DialogAnswerer answerer([](CDialog& live) {
            live.GetDlgItemAs<CComboBox>(IDC_COM_BAUD_RATE)->SelectString(-1, "115200");
            live.GetDlgItemAs<CComboBox>(IDC_COM_DATA_SIZE)->SelectString(-1, "7 bit");
            live.GetDlgItemAs<CComboBox>(IDC_COM_PARITY)->SelectString(-1, "even");
            live.GetDlgItemAs<CComboBox>(IDC_COM_STOP_BIT)->SelectString(-1, "2 bit");
            return IDOK;
        });
        EXPECT_TRUE(m_view->OnSetCommSetting());
        AfxPumpMessages();
        EXPECT_TRUE(answerer.Messages().empty());
    }
    termios settings = TerminalSettings(terminal);
    EXPECT_EQ(cfgetospeed(&settings), static_cast<speed_t>(B115200));
    EXPECT_TRUE(settings.c_cflag & CSTOPB);
    EXPECT_EQ(115200u, Port().GetBaudRate());
    EXPECT_EQ(7, Port().GetByteSize());
    EXPECT_EQ(EVENPARITY, Port().GetParity());

    {
        DialogAnswerer answerer([](CDialog& live) {
            live.GetDlgItemAs<CComboBox>(IDC_COM_STOP_BIT)->SelectString(-1, "1.5 bit");
            return IDOK;
        });
        EXPECT_FALSE(m_view->OnSetCommSetting());
        AfxPumpMessages();
        ASSERT_EQ(1u, answerer.Messages().size());
        EXPECT_EQ(0u, answerer.Messages()[0].find("Error to set stop bits.")) << answerer.Messages()[0];
        EXPECT_NE(std::string::npos, answerer.Messages()[0].find("server")) << answerer.Messages()[0];
    }
    EXPECT_EQ(TWOSTOPBITS, Port().GetStopBits());
    settings = TerminalSettings(terminal);
    EXPECT_TRUE(settings.c_cflag & CSTOPB);
    EXPECT_TRUE(m_view->m_commThread->IsPortOpen());
}

// A name that does not resolve: the window opens at once, and the message that follows names the port
// and the reason.
TEST_F(RemoteWindowTest, AnUnknownHostDoesNotHoldTheWindowAndIsTold) {
    DialogAnswerer boxes([](CDialog&) { return IDOK; });
    const auto before = std::chrono::steady_clock::now();
    ASSERT_TRUE(OpenOn("rfc2217://no-such-host.invalid:3001"));
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
    ASSERT_TRUE(PumpUntil([&] { return !boxes.Messages().empty(); }, 8s));
    EXPECT_NE(std::string::npos,
              boxes.Messages()[0].find("rfc2217://no-such-host.invalid:3001: name not found"))
        << boxes.Messages()[0];
    EXPECT_FALSE(m_view->m_commThread->IsPortOpen());
}
