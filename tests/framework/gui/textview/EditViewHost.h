#pragma once

#include "framework/gui/app/GuiServices.h"
#include "framework/gui/textview/EditView.h"
#include "framework/gui/windows/Wnd.h"
#include "support/DialogTestSupport.h"

#include <gtest/gtest.h>

#include <QWidget>
#include <cstddef>
#include <memory>
#include <string>

// An edit view on a plain parent window, for the tests of the view and of its text and hex controls.
class EditViewHost : public ::testing::Test {
protected:
    // Creates the view on its parent, resized when a size is given; call with ASSERT_NO_FATAL_FAILURE.
    void CreateView(int width = 0, int height = 0) {
        EnsureDialogTestApplication();
        m_parent = std::make_unique<QWidget>();
        if (width > 0)
            m_parent->resize(width, height);
        m_view = new CEditView;
        m_host.Attach(m_parent.get());
        ASSERT_TRUE(m_view->Create(&m_host, nullptr));
    }
    void TearDown() override {
        m_view->DestroyWindow();
        AfxPumpMessages();
    }

    // One update of a terminal: the front cut, bytes added, the caret to the end unless the user reads.
    void Update(std::size_t cut, const std::string& added) {
        m_view->UpdateText(cut, added);
        if (m_view->IsFollowingEnd()) {
            const int length = m_view->GetWindowTextLength();
            m_view->SetSel(length, length, TRUE);
            m_view->ScrollCaret();
        }
    }

    struct Host : CWnd {
        void Attach(QWidget* widget) { AttachWidget(widget, nullptr); }
        ~Host() override { ReleaseWindow(); }
    };

    std::unique_ptr<QWidget> m_parent;
    Host m_host;
    CEditView* m_view = nullptr;
};
