// Leaving the program while the pointer rests on a button or while a menu is open: the widgets outlive the
// frame's objects by a moment (they are deleted once the event loop gets to them), and whatever they still
// report in that moment (a status tip, a click, a menu that opens) must find nothing of the frame to call.
// The faults these tests catch are uses of freed memory: they show under the address sanitizer.
#include "MainFrameTestSupport.h"

#include "app/resource.h"
#include "framework/gui/docview/Menu.h"

#include <QAction>
#include <QCoreApplication>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QToolBar>

#include <gtest/gtest.h>

namespace {

void SendEnter(QWidget* widget) {
    const QPointF inside(widget->width() / 2.0, widget->height() / 2.0);
    QEnterEvent enter(inside, inside, widget->mapToGlobal(inside));
    QCoreApplication::sendEvent(widget, &enter);
}

void SendLeave(QWidget* widget) {
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(widget, &leave);
}

void SendKey(QWidget* widget, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &release);
}

// Opens a popup from the menu bar, as a click on its title does; the popup's prompts then reach the frame.
QMenu* OpenPopup(CMainFrame* frame, const QString& title) {
    QMenuBar* bar = CFrameMenuBar::FromFrame(frame)->GetMenuBarWidget();
    for (QAction* action : bar->actions()) {
        if (action->text() == title) {
            bar->setActiveAction(action);
            return action->menu();
        }
    }
    return nullptr;
}

QAction* ItemOf(QMenu* popup, const QString& text) {
    for (QAction* action : popup->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

// Lets every pending event and deferred deletion run, as the event loop does after the frame is gone.
void DrainEvents() {
    for (int round = 0; round < 4; ++round) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

} // namespace

TEST(ExitLifetime, CtrlQWithThePointerOnEachToolBarButtonLeavesNoCallToTheGoneFrame) {
    const int slotCount = [] {
        MainFrameUnderTest probe;
        return probe.frame != nullptr ? probe.frame->m_toolBar.GetCount() : 0;
    }();
    ASSERT_EQ(slotCount, 11);
    int hovered = 0;
    for (int slot = 0; slot < slotCount; ++slot) {
        MainFrameUnderTest app;
        ASSERT_NE(app.frame, nullptr);
        QAction* action = app.frame->m_toolBar.GetButtonAction(slot);
        if (action == nullptr)
            continue;
        app.frame->GetWidget()->show();
        gMainApp.OnIdle(0);
        QPointer<QWidget> button = app.frame->m_toolBar.GetToolBarWidget()->widgetForAction(action);
        ASSERT_FALSE(button.isNull()) << "slot " << slot;
        SendEnter(button);
        EXPECT_EQ(app.frame->m_statusBar.GetPaneText(0), action->statusTip().toStdString())
            << "slot " << slot;
        ++hovered;

        ASSERT_TRUE(CFrameMenuBar::FromFrame(app.frame)->RunAccelerator(ID_APP_EXIT));
        EXPECT_EQ(gMainApp.m_pMainWnd, nullptr);
        app.frame = nullptr;
        // The pointer leaves the button as the window goes, and a click that was on its way still arrives.
        if (button) {
            SendLeave(button);
            action->trigger();
        }
        DrainEvents();
        EXPECT_TRUE(button.isNull()) << "slot " << slot;
    }
    EXPECT_EQ(hovered, 8);
}

TEST(ExitLifetime, ExitChosenInTheFileMenuWhileItTracksLeavesNoCallToTheGoneFrame) {
    MainFrameUnderTest app;
    ASSERT_NE(app.frame, nullptr);
    app.frame->GetWidget()->show();
    gMainApp.OnIdle(0);
    QPointer<QMenu> file = OpenPopup(app.frame, QStringLiteral("&File"));
    ASSERT_FALSE(file.isNull());
    ASSERT_TRUE(file->isVisible());
    QAction* exit = ItemOf(file, QStringLiteral("E&xit\tCtrl+Q"));
    ASSERT_NE(exit, nullptr);
    file->setActiveAction(exit);
    EXPECT_EQ(app.frame->m_statusBar.GetPaneText(0), "Quit the application; prompts to save documents");

    // Return on the highlighted item, as the user chooses it: the menu closes and the frame goes.
    SendKey(file, Qt::Key_Return);
    EXPECT_EQ(gMainApp.m_pMainWnd, nullptr);
    app.frame = nullptr;
    if (file) {
        SendLeave(file);
        file->popup(QPoint(10, 10));
        file->setActiveAction(file->actions().front());
        SendKey(file, Qt::Key_Return);
    }
    DrainEvents();
    EXPECT_TRUE(file.isNull());
}

TEST(ExitLifetime, FrameClosedWhileAMenuIsOpenLeavesTheMenuHarmless) {
    MainFrameUnderTest app;
    ASSERT_NE(app.frame, nullptr);
    app.frame->GetWidget()->show();
    gMainApp.OnIdle(0);
    QPointer<QMenu> view = OpenPopup(app.frame, QStringLiteral("&View"));
    ASSERT_FALSE(view.isNull());
    ASSERT_TRUE(view->isVisible());
    view->setActiveAction(view->actions().front());
    EXPECT_EQ(app.frame->m_statusBar.GetPaneText(0), "Show or hide the toolbar");

    // Something other than the menu ends the program (a timer, a message): the menu is still tracking.
    app.frame->OnClose();
    EXPECT_EQ(gMainApp.m_pMainWnd, nullptr);
    app.frame = nullptr;
    if (view) {
        // Moving to the next item shows its prompt; choosing it sends its command.
        SendKey(view, Qt::Key_Down);
        SendKey(view, Qt::Key_Return);
    }
    if (view) {
        view->popup(QPoint(10, 10));
        view->hide();
    }
    DrainEvents();
    EXPECT_TRUE(view.isNull());
}
