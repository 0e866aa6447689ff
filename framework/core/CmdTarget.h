#pragma once

#include "framework/core/WinTypes.h"

#include <functional>
#include <unordered_map>

class CCmdUI;

// What a command request asks of a target: run the command, or refresh its user-interface state.
constexpr int CN_COMMAND = 0;
constexpr int CN_UPDATE_COMMAND_UI = -1;

// An object that can handle commands. Each class registers its handlers in a plain table from its
// constructor; a derived class registers after its bases, so its entry for an id replaces theirs, and the
// most derived handler wins. Frames, views and documents override OnCmdMsg to route a command further, in the
// framework's order: active view, its document, the child frame, the main frame, the application.
class CCmdTarget {
public:
    using CommandHandler = std::function<void()>;
    using UpdateHandler = std::function<void(CCmdUI*)>;

    CCmdTarget() = default;
    virtual ~CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;

    // Offers a command request to this target and to those it routes to. With CN_COMMAND it runs the first
    // handler found, unless probeOnly is set, in which case it only reports that a handler exists. With
    // CN_UPDATE_COMMAND_UI it runs the first update handler found on pCmdUI. TRUE when a handler was found.
    virtual BOOL OnCmdMsg(UINT nID, int nCode, CCmdUI* pCmdUI, BOOL probeOnly);

    // Runs command nID through the routing; FALSE when no handler took it (the command is disabled).
    BOOL DispatchCommand(UINT nID) { return OnCmdMsg(nID, CN_COMMAND, nullptr, FALSE); }
    // TRUE when some handler for command nID can be reached from here.
    BOOL HasCommandHandler(UINT nID) { return OnCmdMsg(nID, CN_COMMAND, nullptr, TRUE); }

protected:
    void AddCommandHandler(UINT nID, CommandHandler handler);
    void AddUpdateHandler(UINT nID, UpdateHandler handler);

    // Looks in this object's own tables only, without routing.
    BOOL OnOwnCmdMsg(UINT nID, int nCode, CCmdUI* pCmdUI, BOOL probeOnly);

private:
    std::unordered_map<UINT, CommandHandler> m_commands;
    std::unordered_map<UINT, UpdateHandler> m_updates;
};
