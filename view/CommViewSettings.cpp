// The terminal view's two settings commands: they show their dialog and apply what the user confirmed
// to this window's reception thread and serial port. Neither writes the preferences; the changes live
// as long as the window.

#include "view/CommView.h"

#include "app/main.h"
#include "app/resource.h"
#include "comm/comm.h"
#include "framework/core/MessageBox.h"
#include "framework/core/Resource.h"
#include "framework/core/WinError.h"
#include "framework/serial/PortTable.h"
#include "log/LogLevel.h"
#include "reception/CommThread.h"
#include "settings/Preference.h"
#include "view/CommSettingDlg.h"
#include "view/TermSettingDlg.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

// The configured log level; records that carry extra detail are written only from level 2 on.
int ConfiguredLogLevel() {
    return gMainApp.m_PrefApp != nullptr ? gMainApp.m_PrefApp->m_logLevel : NOLOG;
}

// The message of a refusal followed by the system's reason.
CString WithReason(UINT messageId, const ECommError& error) {
    return AfxLoadText(messageId) + "\n" + error.Reason();
}

// Tells the user that the port refused a parameter: the parameter's own message when the error is of the
// kind its setter raises, the general one otherwise, each with the system's reason. The box is posted: the
// command may run inside the window's creation, and reception goes on while the user reads it.
void ShowSettingError(const ECommError& error, ECommError::ErrorType expected, UINT messageId) {
    AfxPostMessageBox(WithReason(error.m_ErrorType == expected ? messageId : IDS_ERROR_SETTING, error),
                      MB_OK);
}

// A device that went away a moment ago refuses every change until the reception thread has seen it go,
// within a poll pass or two. A refusal of the value itself (an invalid parameter) is not waited on.
bool PortTurnsOutLost(const CCommThread& thread, const ECommError& error) {
    if (error.m_LastError == ERROR_INVALID_PARAMETER)
        return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (!thread.IsPortLost() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return thread.IsPortLost();
}

// Sets one serial parameter when the chosen value differs from the port's. FALSE when the port refused it
// (the port keeps its previous value and the user has been told). On a lost port the value is kept for
// the reopen, which applies it, and `lost` is set so the user hears that instead of a refusal.
template <class Value, class Getter, class Setter>
bool ApplyParameter(const CCommThread& thread, bool& lost, Value chosen, Getter get, Setter set,
                    ECommError::ErrorType expected, UINT messageId) {
    if (chosen == get())
        return true;
    try {
        set(chosen);
    } catch (const ECommError& error) {
        if (PortTurnsOutLost(thread, error)) {
            lost = true;
            // The lost port is closed now, so the value is only stored.
            set(chosen);
            return true;
        }
        ShowSettingError(error, expected, messageId);
        return false;
    }
    return true;
}

} // namespace

BOOL CCommView::OnSetCommSetting() {
    if (m_commThread == nullptr)
        return FALSE;
    TCommPort& port = m_commThread->m_CommPort;

    // Reception goes on while the dialog is open; the dialog reads the port's values itself. A new
    // window is offered the preferences' port, or another, that no other window holds.
    const CPreference* preferences = gMainApp.m_PrefApp;
    const bool preferred = preferences != nullptr && (preferences->m_available & PREF_COMM_SETTING) != 0;
    const auto taken = [preferences, &port](const CString& name) {
        return preferences != nullptr && preferences->m_pfnPortHeld != nullptr &&
               preferences->m_pfnPortHeld(name, &port);
    };
    CCommSettingDlg dialog(nullptr, &port, preferred ? preferences->m_commSetting.port : CString(), taken);
    if (dialog.DoModal() != IDOK)
        return FALSE;

    const std::string portName = dialog.getComPort(dialog.m_sComPort);
    // No port listed, or none selected: the window stays where it is, and the user learns why it shows
    // nothing rather than finding it disconnected. Posted like the refusals below: the command may run
    // inside the window's creation.
    if (!NamesAPort(portName)) {
        AfxPostMessageBox(AfxLoadText(IDS_NO_PORT_CHOSEN), MB_OK);
    } else if (portName != port.GetCommPort()) {
        try {
            m_commThread->SetParameters(kStartBaudRate, portName);
        } catch (const ECommError& error) {
            // Closing the previous port failed: the window stays where it was.
            AfxPostMessageBox(WithReason(IDS_ERROR_SETTING, error), MB_OK);
            return FALSE;
        }
        char title[300];
        std::snprintf(title, sizeof title, "KT_%s", portName.c_str());
        // The view's handler takes ownership of the posted title.
        auto* pTitle = new CString(title);
        if (!PostMessage(WM_MSG_CHANGE_DOC_TITLE, reinterpret_cast<WPARAM>(pTitle), 0))
            delete pTitle;
    }

    bool lost = false;
    if (!ApplyParameter(
            *m_commThread, lost, dialog.getBaudRate(dialog.m_sComBaudRate),
            [&port] { return port.GetBaudRate(); }, [&port](DWORD value) { port.SetBaudRate(value); },
            ECommError::ErrBaudRate, IDS_ERROR_SET_BAUD_RATE))
        return FALSE;
    if (!ApplyParameter(
            *m_commThread, lost, dialog.getByteSize(dialog.m_sComDataSize),
            [&port] { return port.GetByteSize(); }, [&port](BYTE value) { port.SetByteSize(value); },
            ECommError::ErrByteSize, IDS_ERROR_SET_BYTE_SIZE))
        return FALSE;
    if (!ApplyParameter(
            *m_commThread, lost, dialog.getParity(dialog.m_sComParity), [&port] { return port.GetParity(); },
            [&port](BYTE value) { port.SetParity(value); }, ECommError::ErrParity, IDS_ERROR_SET_PARITY))
        return FALSE;
    if (!ApplyParameter(
            *m_commThread, lost, dialog.getStopBits(dialog.m_sComStopBit),
            [&port] { return port.GetStopBits(); }, [&port](BYTE value) { port.SetStopBits(value); },
            ECommError::ErrStopBits, IDS_ERROR_SET_STOP_BITS))
        return FALSE;

    if (lost)
        AfxPostMessageBox(AfxLoadText(IDS_PORT_LOST_SETTINGS_KEPT), MB_OK);

    gMainApp.WriteToLog(AfxLoadText(IDS_LOG_COMM_SETTING_CHANGED), "OnSetCommSetting", LEVELONE);
    if (ConfiguredLogLevel() >= LEVELTWO) {
        // Only an open port has a description; a closed one is not described.
        std::string description;
        try {
            port.GetCommDescription(description);
            gMainApp.WriteToLog(description, "OnSetCommSetting", LEVELONE);
        } catch (const ECommError&) {
        }
    }
    return TRUE;
}

BOOL CCommView::OnSetTermSetting() {
    if (m_commThread == nullptr)
        return FALSE;
    // The dialog works on a copy taken whole, so the reception thread keeps shaping with a consistent
    // record while the dialog is open.
    const TermSettingRec current = m_commThread->GetTermSetting();
    const DWORD previousDelay = current.autoSaveDelay;
    CTermSettingDlg dialog(nullptr, &current);
    if (dialog.DoModal() != IDOK)
        return FALSE;

    gMainApp.WriteToLog(AfxLoadText(IDS_LOG_TERM_SETTING_CHANGED), "OnSetTermSetting", LEVELONE);

    TermSettingRec updated = current;
    updated.nbMaxiByte = dialog.GetMaxiByte();
    updated.bLF = dialog.GetLFOption();
    updated.bCR = dialog.GetCROption();
    updated.bTimestamp = dialog.GetTimestampOption();
    updated.bTimestampEachLine = dialog.GetTimestampEachLineOption();
    updated.timestampFormat = dialog.GetTimestampFormat();
    updated.timestampInterval = dialog.GetTimestampInterval();
    updated.bFilteredByte = dialog.GetFilteredByteOption();
    updated.FilteredBytesList = dialog.GetFilteredBytesList();
    updated.autoSaveDelay = dialog.GetAutoSaveDelay();
    // Replaced as a whole: the reception thread sees either the old record or the new one from its next
    // batch of received data, never a mixture.
    m_commThread->SetTermSetting(updated);

    if (updated.autoSaveDelay != previousDelay) {
        if (ConfiguredLogLevel() >= LEVELTWO) {
            char text[128];
            std::snprintf(text, sizeof text, AfxLoadText(IDS_LOG_AUTOSAVE_DELAY_CHANGED).c_str(),
                          static_cast<unsigned>(updated.autoSaveDelay));
            gMainApp.WriteToLog(text, "OnSetTermSetting", LEVELONE);
        }
        KillTimer(AUTOSAVE_TIMER_ID);
        CreateAutoSaveTimer();
    }
    return TRUE;
}
