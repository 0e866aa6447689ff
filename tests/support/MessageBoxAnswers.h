#pragma once

#include "framework/core/MessageBox.h"
#include "framework/core/WinTypes.h"
#include "framework/gui/windows/TestHook.h"

#include <functional>
#include <memory>
#include <utility>
#include <vector>

// How tests answer the message boxes the program shows: Hook() is the messageBox of a GuiTestHook. Every
// box is answered with the current answer (a test may change it between boxes), and its text is kept.
// The hook shares its state with this object, so either may outlive the other.
class MessageBoxAnswers {
public:
    explicit MessageBoxAnswers(int answer = IDOK) : m_state(std::make_shared<State>()) {
        m_state->answer = answer;
    }

    std::function<int(const CString& text, UINT type)> Hook() const {
        auto state = m_state;
        return [state](const CString& text, UINT) {
            state->texts.push_back(text);
            return state->answer;
        };
    }

    void SetAnswer(int answer) { m_state->answer = answer; }
    // The texts of the boxes shown so far, oldest first.
    const std::vector<CString>& Texts() const { return m_state->texts; }

private:
    struct State {
        int answer = IDOK;
        std::vector<CString> texts;
    };
    std::shared_ptr<State> m_state;
};
