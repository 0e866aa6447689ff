#include "framework/gui/docview/Menu.h"

#include "framework/core/CmdUI.h"
#include "framework/core/Resource.h"
#include "framework/gui/docview/DocTemplate.h"
#include "framework/gui/docview/Document.h"
#include "framework/gui/docview/MDIChildWnd.h"
#include "framework/gui/docview/MDIFrameWnd.h"

#include <QAction>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QShortcut>

#include <map>

namespace {

std::map<UINT, MenuTemplate>& Menus() {
    static std::map<UINT, MenuTemplate> menus;
    return menus;
}

std::map<UINT, std::vector<AcceleratorEntry>>& Accelerators() {
    static std::map<UINT, std::vector<AcceleratorEntry>> tables;
    return tables;
}

std::map<const CMDIFrameWnd*, CFrameMenuBar*>& Bars() {
    static std::map<const CMDIFrameWnd*, CFrameMenuBar*> bars;
    return bars;
}

const char* kWindowListProperty = "frameworkWindowList";

QString ToQString(const CString& text) {
    return QString::fromLatin1(text.data(), static_cast<int>(text.size()));
}

// A menu item takes the enabled state, the check mark and a new text from the handlers.
class CMenuCmdUI : public CCmdUI {
public:
    CMenuCmdUI(UINT nID, QAction* action) : CCmdUI(nID), m_action(action) {}
    void Enable(BOOL bOn) override {
        CCmdUI::Enable(bOn);
        m_action->setEnabled(bOn != FALSE);
    }
    void SetCheck(int nCheck) override {
        CCmdUI::SetCheck(nCheck);
        m_action->setCheckable(nCheck != 0 || m_action->isCheckable());
        m_action->setChecked(nCheck != 0);
    }
    void SetText(const char* lpszText) override {
        CCmdUI::SetText(lpszText);
        m_action->setText(ToQString(m_strText));
    }

private:
    QAction* m_action;
};

// The menu bar of the frame with this handle, or null once the frame is gone. The popups, their items and
// the shortcuts are widgets of the frame's window, which outlives the frame's objects for a moment (until
// the event loop deletes it): whatever they still report then finds no menu bar and is dropped.
CFrameMenuBar* LiveMenuBar(HWND frame) {
    auto* window = dynamic_cast<CMDIFrameWnd*>(CWnd::FromHandle(frame));
    return window != nullptr ? CFrameMenuBar::FromFrame(window) : nullptr;
}

bool IsWindowPopup(const MenuItemTemplate& popup) {
    for (const MenuItemTemplate& item : popup.popup) {
        if (item.id == ID_WINDOW_CASCADE)
            return true;
    }
    return false;
}

} // namespace

void AfxRegisterMenu(UINT nIDResource, MenuTemplate menu) {
    Menus()[nIDResource] = std::move(menu);
}

const MenuTemplate* AfxFindMenu(UINT nIDResource) {
    auto found = Menus().find(nIDResource);
    return found != Menus().end() ? &found->second : nullptr;
}

void AfxRegisterAccelerators(UINT nIDResource, std::vector<AcceleratorEntry> table) {
    Accelerators()[nIDResource] = std::move(table);
}

const std::vector<AcceleratorEntry>* AfxFindAccelerators(UINT nIDResource) {
    auto found = Accelerators().find(nIDResource);
    return found != Accelerators().end() ? &found->second : nullptr;
}

CFrameMenuBar::CFrameMenuBar(CMDIFrameWnd* pFrame, UINT nIDFrameMenu, UINT nIDAccelerators)
    : m_pFrame(pFrame), m_nFrameMenu(nIDFrameMenu) {
    Bars()[pFrame] = this;
    QMainWindow* window = pFrame->GetMainWindowWidget();
    if (window == nullptr)
        return;
    const HWND frame = pFrame->GetSafeHwnd();
    if (const auto* table = AfxFindAccelerators(nIDAccelerators)) {
        for (const AcceleratorEntry& entry : *table) {
            auto* shortcut = new QShortcut(QKeySequence(QString::fromLatin1(entry.key)), window);
            shortcut->setContext(Qt::WindowShortcut);
            shortcut->setAutoRepeat(false);
            const UINT id = entry.id;
            QObject::connect(shortcut, &QShortcut::activated, shortcut, [frame, id]() {
                if (CFrameMenuBar* bar = LiveMenuBar(frame))
                    bar->RunAccelerator(id);
            });
        }
    }
    Refresh();
}

CFrameMenuBar::~CFrameMenuBar() {
    Bars().erase(m_pFrame);
}

CFrameMenuBar* CFrameMenuBar::FromFrame(const CMDIFrameWnd* pFrame) {
    auto found = Bars().find(pFrame);
    return found != Bars().end() ? found->second : nullptr;
}

QMenuBar* CFrameMenuBar::GetMenuBarWidget() const {
    QMainWindow* window = m_pFrame->GetMainWindowWidget();
    return window != nullptr ? window->menuBar() : nullptr;
}

void CFrameMenuBar::Refresh() {
    UINT wanted = m_nFrameMenu;
    if (CMDIChildWnd* child = m_pFrame->MDIGetActive()) {
        CDocument* document = child->GetActiveDocument();
        CDocTemplate* docTemplate = document != nullptr ? document->GetDocTemplate() : nullptr;
        if (docTemplate != nullptr && AfxFindMenu(docTemplate->m_nIDResource) != nullptr)
            wanted = docTemplate->m_nIDResource;
    }
    if (wanted != m_nCurrentMenu)
        Build(wanted);
}

void CFrameMenuBar::Build(UINT nIDMenu) {
    QMenuBar* bar = GetMenuBarWidget();
    const MenuTemplate* menu = AfxFindMenu(nIDMenu);
    if (bar == nullptr || menu == nullptr)
        return;
    m_nCurrentMenu = nIDMenu;
    bar->clear();
    for (const MenuItemTemplate& popupTemplate : *menu)
        FillPopup(bar->addMenu(ToQString(popupTemplate.text)), popupTemplate);
}

void CFrameMenuBar::FillPopup(QMenu* popup, const MenuItemTemplate& popupTemplate) {
    const HWND frame = m_pFrame->GetSafeHwnd();
    popup->setToolTipsVisible(false);
    popup->setProperty(kWindowListProperty, IsWindowPopup(popupTemplate));
    for (const MenuItemTemplate& item : popupTemplate.popup) {
        if (item.id == 0 && item.text.empty()) {
            popup->addSeparator();
            continue;
        }
        if (!item.popup.empty()) {
            FillPopup(popup->addMenu(ToQString(item.text)), item);
            continue;
        }
        QAction* action = popup->addAction(ToQString(item.text));
        // The command id rides as the action's data, where the views look for it.
        action->setData(item.id);
        // The prompt is the part of the command's string before the tool tip.
        if (const char* prompt = AfxLoadString(item.id)) {
            const QString whole = QString::fromLatin1(prompt);
            action->setStatusTip(whole.left(whole.indexOf('\n') < 0 ? whole.size() : whole.indexOf('\n')));
        }
        const UINT id = item.id;
        QObject::connect(action, &QAction::triggered, popup, [frame, id]() {
            if (CFrameMenuBar* menuBar = LiveMenuBar(frame))
                menuBar->m_pFrame->OnCmdMsg(id, CN_COMMAND, nullptr, FALSE);
        });
    }
    QPointer<QMenu> guarded(popup);
    QObject::connect(popup, &QMenu::aboutToShow, popup, [frame, guarded]() {
        CFrameMenuBar* menuBar = LiveMenuBar(frame);
        if (menuBar != nullptr && guarded)
            menuBar->UpdatePopup(guarded);
    });
}

void CFrameMenuBar::UpdatePopup(QMenu* popup) {
    if (popup->property(kWindowListProperty).toBool())
        FillWindowList(popup);
    for (QAction* action : popup->actions()) {
        const QVariant command = action->data();
        if (!command.isValid() || action->property("frameworkWindowEntry").toBool())
            continue;
        CMenuCmdUI state(command.toUInt(), action);
        state.DoUpdate(m_pFrame, TRUE);
    }
}

void CFrameMenuBar::FillWindowList(QMenu* popup) {
    for (QAction* action : popup->actions()) {
        if (action->property("frameworkWindowEntry").toBool()) {
            popup->removeAction(action);
            delete action;
        }
    }
    const std::vector<CMDIChildWnd*> children = m_pFrame->GetChildFrames();
    if (children.empty())
        return;
    QAction* separator = popup->addSeparator();
    separator->setProperty("frameworkWindowEntry", true);
    CMDIChildWnd* active = m_pFrame->MDIGetActive();
    int number = 1;
    for (CMDIChildWnd* child : children) {
        CString caption;
        child->GetWindowText(caption);
        const QString label = number <= 9 ? QStringLiteral("&%1 %2").arg(number).arg(ToQString(caption))
                                          : QStringLiteral("%1 %2").arg(number).arg(ToQString(caption));
        QAction* entry = popup->addAction(label);
        entry->setProperty("frameworkWindowEntry", true);
        entry->setCheckable(true);
        entry->setChecked(child == active);
        const HWND handle = child->GetSafeHwnd();
        const HWND frame = m_pFrame->GetSafeHwnd();
        QObject::connect(entry, &QAction::triggered, popup, [frame, handle]() {
            // The window may have closed since the list was made: only a live one is activated.
            auto* target = dynamic_cast<CMDIChildWnd*>(CWnd::FromHandle(handle));
            auto* owner = dynamic_cast<CMDIFrameWnd*>(CWnd::FromHandle(frame));
            if (target != nullptr && owner != nullptr)
                owner->MDIActivate(target);
        });
        ++number;
    }
}

BOOL CFrameMenuBar::RunAccelerator(UINT nID) {
    CCmdUI state(nID);
    state.DoUpdate(m_pFrame, TRUE);
    if (!state.m_bEnabled)
        return FALSE;
    return m_pFrame->OnCmdMsg(nID, CN_COMMAND, nullptr, FALSE);
}
