#pragma once

#include "framework/core/MessageBox.h"

#include <mutex>
#include <string>
#include <vector>

// For tests without a display: records the texts of the message boxes the program shows, answering each
// with OK, for its lifetime. Boxes may come from any thread. (With a display, MessageBoxAnswers answers
// through the GUI test hook instead.)
class PresentedBoxes {
public:
    PresentedBoxes() {
        SetMessageBoxPresenter([this](const CString& text, UINT) {
            std::lock_guard<std::mutex> guard(m_lock);
            m_texts.push_back(text);
            return IDOK;
        });
    }
    ~PresentedBoxes() { SetMessageBoxPresenter(nullptr); }
    PresentedBoxes(const PresentedBoxes&) = delete;
    PresentedBoxes& operator=(const PresentedBoxes&) = delete;

    std::vector<CString> Texts() const {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_texts;
    }
    std::size_t Count() const {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_texts.size();
    }

private:
    mutable std::mutex m_lock;
    std::vector<CString> m_texts;
};
