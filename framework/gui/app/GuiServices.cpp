#include "framework/gui/app/GuiServices.h"

#include "framework/core/MessageBox.h"
#include "framework/core/StockFont.h"
#include "framework/core/WinApp.h"
#include "framework/core/WindowMessage.h"
#include "framework/gui/app/UiThreadQueue.h"
#include "framework/gui/drawing/Font.h"
#include "framework/gui/windows/TestHook.h"
#include "framework/gui/windows/Wnd.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFont>
#include <QMessageBox>
#include <QThread>

#include <cstdio>
#include <deque>
#include <utility>

namespace {

BOOL QueueMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || CWnd::FromHandle(hWnd) == nullptr)
        return FALSE;
    // The handle is looked up again on delivery: a window destroyed in the meantime gets nothing.
    auto deliver = [hWnd, message, wParam, lParam]() {
        if (CWnd* window = CWnd::FromHandle(hWnd))
            window->WindowProc(message, wParam, lParam);
    };
    if (!AfxIsUiThread())
        return AfxRunOnUiThread(std::move(deliver)) ? TRUE : FALSE;
    QMetaObject::invokeMethod(app, std::move(deliver), Qt::QueuedConnection);
    return TRUE;
}

QString BoxText(const CString& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

int ShowBox(const CString& text, UINT type) {
    if (GuiTestHook* hook = AfxGetGuiTestHook(); hook != nullptr && hook->messageBox)
        return hook->messageBox(text, type);

    QMessageBox box;
    CWinApp* app = AfxGetApp();
    box.setWindowTitle(app != nullptr ? QString::fromLocal8Bit(app->m_pszAppName.c_str()) : QString());
    box.setText(BoxText(text));
    switch (type & MB_ICONMASK) {
    case MB_ICONSTOP:
        box.setIcon(QMessageBox::Critical);
        break;
    case MB_ICONQUESTION:
        box.setIcon(QMessageBox::Question);
        break;
    case MB_ICONEXCLAMATION:
        box.setIcon(QMessageBox::Warning);
        break;
    case MB_ICONINFORMATION:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        break;
    }
    QList<QMessageBox::StandardButton> buttons;
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
        buttons = {QMessageBox::Ok, QMessageBox::Cancel};
        break;
    case MB_YESNOCANCEL:
        buttons = {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel};
        break;
    case MB_YESNO:
        buttons = {QMessageBox::Yes, QMessageBox::No};
        break;
    default:
        buttons = {QMessageBox::Ok};
        break;
    }
    QMessageBox::StandardButtons all;
    for (auto button : buttons)
        all |= button;
    box.setStandardButtons(all);
    const int defaultIndex = (type & MB_DEFMASK) == MB_DEFBUTTON2 ? 1 : 0;
    if (defaultIndex < buttons.size())
        box.setDefaultButton(buttons[defaultIndex]);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::No:
        return IDNO;
    case QMessageBox::Cancel:
        return IDCANCEL;
    default:
        return (type & MB_TYPEMASK) == MB_YESNO ? IDNO : ((type & MB_TYPEMASK) == MB_OK ? IDOK : IDCANCEL);
    }
}

// Posted boxes, on the user-interface thread: those waiting, and whether one is open.
struct PostedBox {
    CString text;
    UINT type;
};
std::deque<PostedBox> waitingBoxes;
bool postedBoxOpen = false;

// Runs from the event loop. A box posted while another is open only joins the queue: the open box's loop
// would otherwise show it on top, and the first answer would wait for the second.
void ShowWaitingBoxes() {
    if (postedBoxOpen)
        return;
    postedBoxOpen = true;
    while (!waitingBoxes.empty()) {
        const PostedBox box = std::move(waitingBoxes.front());
        waitingBoxes.pop_front();
        ShowBox(box.text, box.type);
    }
    postedBoxOpen = false;
}

void PostBox(const CString& text, UINT type) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) {
        std::fprintf(stderr, "%s\n", text.c_str());
        return;
    }
    auto show = [text, type]() {
        waitingBoxes.push_back({text, type});
        ShowWaitingBoxes();
    };
    // From another thread the box travels through our own queue, whose lock the thread sanitizer sees.
    if (!AfxIsUiThread()) {
        AfxRunOnUiThread(std::move(show));
        return;
    }
    QMetaObject::invokeMethod(app, std::move(show), Qt::QueuedConnection);
}

int PresentBox(const CString& text, UINT type) {
    if (AfxIsUiThread())
        return ShowBox(text, type);
    // Another thread never waits for the user: the box is shown on the user-interface thread later.
    PostBox(text, type);
    return IDOK;
}

bool DisplayStockFont(UINT stockId, LOGFONTA& logFont) {
    switch (stockId) {
    case OEM_FIXED_FONT:
    case ANSI_FIXED_FONT:
    case SYSTEM_FIXED_FONT:
        GetSystemFixedLogFont(logFont);
        return true;
    case ANSI_VAR_FONT:
    case SYSTEM_FONT:
    case DEVICE_DEFAULT_FONT:
    case DEFAULT_GUI_FONT:
        LogFontFromQFont(QApplication::font(), logFont);
        return true;
    default:
        return false;
    }
}

} // namespace

bool AfxIsUiThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

void AfxInstallGuiServices() {
    AfxStartUiThreadQueue();
    SetMessagePoster(&QueueMessage);
    SetMessageBoxPresenter(&PresentBox);
    SetMessageBoxPoster(&PostBox);
    SetStockFontSource(&DisplayStockFont);
}

void AfxPumpMessages() {
    // Messages may post further messages (a clear posts an update); a few rounds let such chains finish.
    for (int round = 0; round < 8; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
