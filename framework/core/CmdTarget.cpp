#include "framework/core/CmdTarget.h"

#include "framework/core/CmdUI.h"

#include <utility>

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode, CCmdUI* pCmdUI, BOOL probeOnly) {
    return OnOwnCmdMsg(nID, nCode, pCmdUI, probeOnly);
}

BOOL CCmdTarget::OnOwnCmdMsg(UINT nID, int nCode, CCmdUI* pCmdUI, BOOL probeOnly) {
    if (nCode == CN_UPDATE_COMMAND_UI) {
        auto found = m_updates.find(nID);
        if (found == m_updates.end() || !found->second)
            return FALSE;
        if (!probeOnly && pCmdUI != nullptr) {
            // Copy first: a handler may change the tables of its own object.
            UpdateHandler handler = found->second;
            handler(pCmdUI);
        }
        return TRUE;
    }
    auto found = m_commands.find(nID);
    if (found == m_commands.end() || !found->second)
        return FALSE;
    if (!probeOnly) {
        CommandHandler handler = found->second;
        handler();
    }
    return TRUE;
}

void CCmdTarget::AddCommandHandler(UINT nID, CommandHandler handler) {
    m_commands[nID] = std::move(handler);
}

void CCmdTarget::AddUpdateHandler(UINT nID, UpdateHandler handler) {
    m_updates[nID] = std::move(handler);
}

void CCmdUI::Enable(BOOL bOn) {
    m_bEnabled = bOn ? TRUE : FALSE;
    m_bEnableChanged = TRUE;
}

void CCmdUI::SetCheck(int nCheck) {
    m_nCheck = nCheck;
}

void CCmdUI::SetRadio(BOOL bOn) {
    m_nCheck = bOn ? 1 : 0;
}

void CCmdUI::SetText(const char* lpszText) {
    m_strText = lpszText != nullptr ? lpszText : "";
    m_bTextSet = TRUE;
}

void CCmdUI::DoUpdate(CCmdTarget* pTarget, BOOL bDisableIfNoHandler) {
    if (pTarget == nullptr)
        return;
    m_bEnableChanged = FALSE;
    pTarget->OnCmdMsg(m_nID, CN_UPDATE_COMMAND_UI, this, FALSE);
    // An update handler that leaves the enabled state alone lets the framework's rule decide: enabled exactly
    // when some command handler can be reached.
    if (bDisableIfNoHandler && !m_bEnableChanged)
        Enable(pTarget->OnCmdMsg(m_nID, CN_COMMAND, this, TRUE));
}
