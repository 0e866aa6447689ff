#include "support/DialogPortDirectory.h"
#include "support/DialogTestSupport.h"
#include "support/PseudoTerminal.h"

#include "CommViewTestSupport.h"

#include "app/main.h"
#include "comm/comm.h"
#include "framework/serial/PortTable.h"
#include "reception/CommThread.h"
#include "settings/Preference.h"
#include "view/CommSettingDlg.h"
#include "view/CommView.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>
#include <unistd.h>

namespace {

std::vector<CString> ListEntries(CDialog& dialog, int nID) {
    std::vector<CString> entries;
    auto* list = dialog.GetDlgItemAs<CComboBox>(nID);
    for (int i = 0; list != nullptr && i < list->GetCount(); ++i) {
        CString text;
        list->GetLBText(i, text);
        entries.push_back(text);
    }
    return entries;
}

CString SelectedEntry(CDialog& dialog, int nID) {
    CString text;
    dialog.GetDlgItemAs<CComboBox>(nID)->GetWindowText(text);
    return text;
}

// The position of an entry in a list, or -1.
int IndexOf(const std::vector<CString>& entries, const CString& entry) {
    auto found = std::find(entries.begin(), entries.end(), entry);
    return found != entries.end() ? static_cast<int>(found - entries.begin()) : -1;
}

TEST(CommSettingDlg, PortsListInTextOrderAndThePresentPortIsSelectedExactly) {
    DialogPortDirectory ports({1, 2, 10});
    TCommPort port;
    port.SetCommPort("COM1");
    CCommSettingDlg dialog(nullptr, &port);
    DialogAnswerer answerer([](CDialog& live) {
        EXPECT_EQ("Kestrune: Serial Port Settings", live.GetDialogWindow()->windowTitle().toStdString());
        const std::vector<CString> entries = ListEntries(live, IDC_COM_PORT);
        const int com1 = IndexOf(entries, "COM1");
        const int com10 = IndexOf(entries, "COM10");
        const int com2 = IndexOf(entries, "COM2");
        EXPECT_GE(com1, 0);
        EXPECT_LT(com1, com10);
        EXPECT_LT(com10, com2);
        EXPECT_TRUE(std::is_sorted(entries.begin(), entries.end()));
        EXPECT_EQ("COM1", SelectedEntry(live, IDC_COM_PORT));
        return IDOK;
    });
    ASSERT_EQ(IDOK, dialog.DoModal());
    EXPECT_EQ("COM1", dialog.m_sComPort);
    EXPECT_EQ("COM1", dialog.getComPort(dialog.m_sComPort));
}

TEST(CommSettingDlg, AnAbsentPortIsListedAndSelectedItselfNotTheFirstEntryItBegins) {
    // Only port 95 is in the directory and the window is on COM9 (its device went away): confirming must
    // not move the window to COM95, whose name begins with COM9.
    DialogPortDirectory ports({95});
    TCommPort port;
    port.SetCommPort("COM9");
    CCommSettingDlg dialog(nullptr, &port);
    DialogAnswerer answerer([](CDialog& live) {
        const std::vector<CString> entries = ListEntries(live, IDC_COM_PORT);
        EXPECT_LT(IndexOf(entries, "COM9"), IndexOf(entries, "COM95"));
        EXPECT_EQ("COM9", SelectedEntry(live, IDC_COM_PORT));
        return IDOK;
    });
    ASSERT_EQ(IDOK, dialog.DoModal());
    EXPECT_EQ("COM9", dialog.getComPort(dialog.m_sComPort));
    EXPECT_EQ("not present", dialog.m_PortDescription.at("COM9"));
}

TEST(CommSettingDlg, ADevicePathIsListedSelectedAndDescribed) {
    DialogPortDirectory ports({95});
    PseudoTerminal device;
    TCommPort port;
    port.SetCommPort(device.path());
    CCommSettingDlg dialog(nullptr, &port);
    DialogAnswerer answerer([&](CDialog& live) {
        EXPECT_EQ(device.path(), SelectedEntry(live, IDC_COM_PORT));
        return IDOK;
    });
    ASSERT_EQ(IDOK, dialog.DoModal());
    EXPECT_EQ(device.path(), dialog.getComPort(dialog.m_sComPort));
    EXPECT_EQ(device.path() + ": pseudo terminal (simulator)", dialog.m_PortDescription.at(device.path()));
    // A listed name in another letter case is the same port and is not offered twice.
    port.SetCommPort("com95");
    CCommSettingDlg again(nullptr, &port);
    EXPECT_EQ(0u, again.m_ComPort.count("com95"));
}

TEST(CommSettingDlg, EveryListedPortShowsWhatItIsInTheOpenListAndAsItsToolTip) {
    DialogPortDirectory ports({95, 96});
    TCommPort port;
    port.SetCommPort("COM96");
    CCommSettingDlg dialog(nullptr, &port);
    DialogAnswerer answerer([](CDialog& live) {
        auto* combo = qobject_cast<QComboBox*>(live.GetDlgItemAs<CComboBox>(IDC_COM_PORT)->GetWidget());
        const int com95 = combo->findText("COM95");
        EXPECT_GE(com95, 0);
        if (com95 < 0)
            return IDCANCEL;
        const QString tip = combo->itemData(com95, Qt::ToolTipRole).toString();
        EXPECT_TRUE(tip.startsWith("/dev/pts/")) << tip.toStdString();
        EXPECT_TRUE(tip.endsWith(": pseudo terminal (simulator)")) << tip.toStdString();
        // The entry's text stays the bare name, and the closed list tells what the selected port is.
        EXPECT_EQ("COM95", combo->itemText(com95).toStdString());
        EXPECT_EQ(combo->itemData(combo->currentIndex(), Qt::ToolTipRole).toString(), combo->toolTip());
        EXPECT_EQ("COM96", combo->currentText().toStdString());
        // The open list is wide enough for the descriptions.
        EXPECT_GT(combo->view()->minimumWidth(), combo->fontMetrics().horizontalAdvance(tip));
        return IDCANCEL;
    });
    dialog.DoModal();
}

TEST(CommSettingDlg, ANewWindowIsOfferedThePreferencesPortElseTheFirstListedNeverThePlaceholder) {
    DialogPortDirectory ports({3, 5});
    TCommPort port;
    port.SetCommPort("?");
    CCommSettingDlg preferred(nullptr, &port, "com5");
    DialogAnswerer answerer([&](CDialog& live) {
        EXPECT_EQ(-1, IndexOf(ListEntries(live, IDC_COM_PORT), "?"));
        EXPECT_EQ("COM5", SelectedEntry(live, IDC_COM_PORT));
        return IDOK;
    });
    ASSERT_EQ(IDOK, preferred.DoModal());
    EXPECT_EQ("COM5", preferred.getComPort(preferred.m_sComPort));

    // The preferences' port is not present: the first port listed.
    CCommSettingDlg absent(nullptr, &port, "COM7");
    EXPECT_EQ(0u, absent.m_ComPort.count("?"));
    ASSERT_FALSE(absent.m_ComPort.empty());
    EXPECT_EQ(absent.m_ComPort.begin()->first, absent.m_sComPort);
}

// A terminal window on a device path (the preferences' port is a pseudo-terminal's path): the user opens
// the serial settings and confirms without a change.
class WindowOnADevicePath : public TerminalWindowTest {};

TEST_F(WindowOnADevicePath, ConfirmingTheSettingsWithoutAChangeKeepsTheConnection) {
    CCommView* view = OpenWindow();
    ASSERT_NE(nullptr, view);
    TCommPort& port = view->m_commThread->m_CommPort;
    ASSERT_EQ(m_device.path(), port.GetCommPort());
    ASSERT_TRUE(port.m_CommOpen);
    {
        DialogAnswerer answerer([&](CDialog& live) {
            EXPECT_EQ(m_device.path(), SelectedEntry(live, IDC_COM_PORT));
            return IDOK;
        });
        view->OnSetCommSetting();
        EXPECT_TRUE(answerer.Messages().empty()) << answerer.Messages().front();
    }
    EXPECT_EQ(m_device.path(), port.GetCommPort());
    EXPECT_TRUE(port.m_CommOpen);
    CloseWindow(view);
}

TEST(CommSettingDlg, ListsOrderedByTheirMapsAndCurrentValuesPreselected) {
    DialogPortDirectory ports({1});
    TCommPort port; // 9600 bits per second, 8 data bits, no parity, one stop bit
    CCommSettingDlg dialog(nullptr, &port);
    DialogAnswerer answerer([](CDialog& live) {
        const std::vector<CString> rates = {"110",     "300",     "600",     "1200",    "2400",   "4800",
                                            "9600",    "14400",   "19200",   "38400",   "56000",  "57600",
                                            "115200",  "230400",  "460800",  "500000",  "576000", "921600",
                                            "1000000", "1500000", "2000000", "3000000", "4000000"};
        EXPECT_EQ(rates, ListEntries(live, IDC_COM_BAUD_RATE));
        EXPECT_EQ((std::vector<CString>{"7 bit", "8 bit"}), ListEntries(live, IDC_COM_DATA_SIZE));
        EXPECT_EQ((std::vector<CString>{"even", "none", "odd"}), ListEntries(live, IDC_COM_PARITY));
        EXPECT_EQ((std::vector<CString>{"1 bit", "1.5 bit", "2 bit"}), ListEntries(live, IDC_COM_STOP_BIT));
        EXPECT_EQ("9600", SelectedEntry(live, IDC_COM_BAUD_RATE));
        EXPECT_EQ("8 bit", SelectedEntry(live, IDC_COM_DATA_SIZE));
        EXPECT_EQ("none", SelectedEntry(live, IDC_COM_PARITY));
        EXPECT_EQ("1 bit", SelectedEntry(live, IDC_COM_STOP_BIT));
        live.GetDlgItemAs<CComboBox>(IDC_COM_PARITY)->SelectString(-1, "e");
        live.GetDlgItemAs<CComboBox>(IDC_COM_STOP_BIT)->SelectString(-1, "2");
        live.GetDlgItemAs<CComboBox>(IDC_COM_BAUD_RATE)->SelectString(-1, "1152");
        return IDOK;
    });
    ASSERT_EQ(IDOK, dialog.DoModal());
    EXPECT_EQ(115200u, dialog.getBaudRate(dialog.m_sComBaudRate));
    EXPECT_EQ(8, dialog.getByteSize(dialog.m_sComDataSize));
    EXPECT_EQ(2, dialog.getParity(dialog.m_sComParity));
    EXPECT_EQ(2, dialog.getStopBits(dialog.m_sComStopBit));
}

// The rate box takes a typed rate, so a rate the list does not offer is shown as it is and kept by OK; a
// value the other lists do not offer opens them without a selection and comes back not found.
TEST(CommSettingDlg, ARateNotOfferedIsShownAsTypedAndKeptWhileOtherListsComeBackNotFound) {
    DialogPortDirectory ports({1});
    TCommPort port;
    port.SetBaudRate(128000);
    port.SetParity(4); // space parity is not offered
    CCommSettingDlg dialog(nullptr, &port);
    EXPECT_EQ("128000", dialog.m_sComBaudRate);
    DialogAnswerer answerer([](CDialog& live) {
        EXPECT_EQ(CB_ERR, live.GetDlgItemAs<CComboBox>(IDC_COM_BAUD_RATE)->GetCurSel());
        EXPECT_EQ("128000", SelectedEntry(live, IDC_COM_BAUD_RATE));
        EXPECT_EQ(CB_ERR, live.GetDlgItemAs<CComboBox>(IDC_COM_PARITY)->GetCurSel());
        return IDOK;
    });
    ASSERT_EQ(IDOK, dialog.DoModal());
    EXPECT_TRUE(answerer.Messages().empty());
    EXPECT_EQ(128000u, dialog.getBaudRate(dialog.m_sComBaudRate));
    EXPECT_EQ(255, dialog.getParity(dialog.m_sComParity));
    EXPECT_EQ(8, dialog.getByteSize(dialog.m_sComDataSize));
}

// Types into the rate box's edit field key by key, as a user does.
void TypeRate(CDialog& dialog, const CString& text) {
    auto* combo = qobject_cast<QComboBox*>(dialog.GetDlgItemAs<CComboBox>(IDC_COM_BAUD_RATE)->GetWidget());
    QLineEdit* edit = combo->lineEdit();
    edit->setFocus();
    edit->selectAll();
    edit->del();
    for (char c : text) {
        const QString typed(QChar::fromLatin1(c));
        const int key = QChar::fromLatin1(c).toUpper().unicode();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, typed);
        QApplication::sendEvent(edit, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, typed);
        QApplication::sendEvent(edit, &release);
    }
}

TEST(CommSettingDlg, TheRateBoxTakesATypedWholeRateAndRefusesOthersWithTheRange) {
    DialogPortDirectory ports({1});
    const CString range =
        "Please enter the baud rate in digits: a whole number of bits per second from 50 to "
        "25000000.";
    struct Case {
        const char* typed;
        DWORD rate; // 0: refused
    };
    const Case cases[] = {
        {"250000", 250000}, // a rate the list does not offer
        {"100000", 100000}, // the start of a listed rate is not completed to it
        {" 74880 ", 74880}, // blanks around the digits
        {"50", 50},
        {"25000000", 25000000},
        {"921600", 921600},
        {"49", 0},
        {"25000001", 0},
        {"0", 0},
        {"-9600", 0},
        {"9600 baud", 0},
        {"1e6", 0},
        {"fast", 0},
        {"", 0},
        {"99999999999999999999", 0},
    };
    for (const Case& c : cases) {
        TCommPort port;
        CCommSettingDlg dialog(nullptr, &port);
        DialogAnswerer answerer([&c](CDialog& live) {
            TypeRate(live, c.typed);
            EXPECT_EQ(CString(c.typed), SelectedEntry(live, IDC_COM_BAUD_RATE));
            live.GetDlgItemAs<CButton>(IDOK)->Click();
            if (live.GetDialogWindow()->isVisible()) {
                EXPECT_EQ(IDC_COM_BAUD_RATE, live.GetFocusedItemId()) << c.typed;
            }
            return IDCANCEL;
        });
        const INT_PTR result = dialog.DoModal();
        if (c.rate != 0) {
            EXPECT_EQ(IDOK, result) << c.typed;
            EXPECT_TRUE(answerer.Messages().empty()) << c.typed;
            EXPECT_EQ(c.rate, dialog.getBaudRate(dialog.m_sComBaudRate)) << c.typed;
        } else {
            EXPECT_EQ(IDCANCEL, result) << c.typed;
            EXPECT_EQ(std::vector<CString>{range}, answerer.Messages()) << c.typed;
        }
    }
}

TEST(CommSettingDlg, LookupsUseEachMapsOwnOrdering) {
    DialogPortDirectory ports({3});
    TCommPort port;
    CCommSettingDlg dialog(nullptr, &port);
    EXPECT_EQ(9600u, dialog.getBaudRate("9600"));
    EXPECT_EQ(9600u, dialog.getBaudRate("9600 baud")); // same leading number, same key
    EXPECT_EQ(0xFFFFFFFFu, dialog.getBaudRate(""));
    EXPECT_EQ(0xFFFFFFFFu, dialog.getBaudRate("fast"));
    EXPECT_EQ(7, dialog.getByteSize("7 bit"));
    EXPECT_EQ(255, dialog.getByteSize(""));
    EXPECT_EQ(1, dialog.getParity("odd"));
    EXPECT_EQ(255, dialog.getParity("ODD")); // the text order is case-sensitive
    EXPECT_EQ(1, dialog.getStopBits("1.5 bit"));
    EXPECT_EQ(255, dialog.getStopBits(""));
    EXPECT_EQ("COM3", dialog.getComPort("COM3"));
    EXPECT_EQ("", dialog.getComPort("COM4"));
    EXPECT_EQ("", dialog.getComPort(""));

    const compareCStringNum byNumber;
    EXPECT_TRUE(byNumber("300", "1200"));
    EXPECT_FALSE(byNumber("abc", "0"));
    const compareCStringStr byText;
    EXPECT_TRUE(byText("COM10", "COM2"));
    EXPECT_TRUE(byText("COM1", "COM10"));
}

TEST(CommSettingDlg, CancelKeepsTheTextsOfThePort) {
    DialogPortDirectory ports({1, 2});
    TCommPort port;
    port.SetCommPort("COM2");
    CCommSettingDlg dialog(nullptr, &port);
    DialogAnswerer answerer([](CDialog& live) {
        live.GetDlgItemAs<CComboBox>(IDC_COM_PORT)->SelectString(-1, "COM1");
        return IDCANCEL;
    });
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
    EXPECT_EQ("COM2", dialog.m_sComPort);
}

} // namespace

// The preferences' port is taken, so a new window asks for its port: the dialog offers the preferences'
// port, and OK without a change opens the window on it. A port list left without a selection is told.
TEST_F(WindowOnADevicePath, ANewWindowOpensOnAPresentPortAndNoPortChosenIsTold) {
    gMainApp.m_PrefApp->m_used = 1;
    CCommView* view = nullptr;
    {
        DialogAnswerer answerer([&](CDialog& live) {
            EXPECT_EQ(-1, IndexOf(ListEntries(live, IDC_COM_PORT), "?"));
            EXPECT_EQ(m_device.path(), SelectedEntry(live, IDC_COM_PORT));
            return IDOK;
        });
        view = OpenWindow();
        EXPECT_TRUE(answerer.Messages().empty()) << answerer.Messages().front();
    }
    ASSERT_NE(nullptr, view);
    EXPECT_EQ(m_device.path(), view->m_commThread->m_CommPort.GetCommPort());
    EXPECT_TRUE(view->m_commThread->m_CommPort.IsOpen());
    // Closing the window on the preferences' port freed it; it is taken again for the next window.
    CloseWindow(view);
    gMainApp.m_PrefApp->m_used = 1;

    DialogAnswerer answerer([&](CDialog& live) {
        auto* combo = qobject_cast<QComboBox*>(live.GetDlgItemAs<CComboBox>(IDC_COM_PORT)->GetWidget());
        combo->setCurrentIndex(-1);
        return IDOK;
    });
    view = OpenWindow();
    ASSERT_EQ(1u, answerer.Messages().size());
    EXPECT_EQ(0u, answerer.Messages().front().find("No serial port is chosen"));
}

// A port on another machine: typed into the port box, named in the port directory, or the window's own.
TEST(CommSettingDlg, ARemotePortIsTypedListedAndDescribed) {
    DialogPortDirectory ports({3});
    ASSERT_EQ(symlink("rfc2217://lab-pi:3001", (PortDirectory() + "/COM30").c_str()), 0);
    TCommPort port;
    port.SetCommPort("COM3");
    CCommSettingDlg typed(nullptr, &port);
    DialogAnswerer answerer([](CDialog& live) {
        auto* combo = qobject_cast<QComboBox*>(live.GetDlgItemAs<CComboBox>(IDC_COM_PORT)->GetWidget());
        const int com30 = combo->findText("COM30");
        EXPECT_GE(com30, 0);
        if (com30 >= 0) {
            EXPECT_EQ("remote, RFC 2217, lab-pi:3001",
                      combo->itemData(com30, Qt::ToolTipRole).toString().toStdString());
        }
        EXPECT_TRUE(combo->isEditable());
        combo->setEditText(" tcp://[::1]:4000 ");
        return IDOK;
    });
    ASSERT_EQ(IDOK, typed.DoModal());
    EXPECT_EQ("tcp://[::1]:4000", typed.getComPort(typed.m_sComPort));
    EXPECT_EQ("", typed.getComPort("lab-pi:3001"));
    EXPECT_EQ("COM30", typed.getComPort("COM30"));

    port.SetCommPort("rfc2217://lab-pi:3002");
    CCommSettingDlg own(nullptr, &port);
    DialogAnswerer ownAnswerer([](CDialog& live) {
        auto* combo = qobject_cast<QComboBox*>(live.GetDlgItemAs<CComboBox>(IDC_COM_PORT)->GetWidget());
        EXPECT_EQ("rfc2217://lab-pi:3002", combo->currentText().toStdString());
        EXPECT_EQ("remote, RFC 2217, lab-pi:3002", combo->toolTip().toStdString());
        return IDOK;
    });
    ASSERT_EQ(IDOK, own.DoModal());
    EXPECT_EQ("rfc2217://lab-pi:3002", own.getComPort(own.m_sComPort));
}
