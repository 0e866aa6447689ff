#include "framework/gui/windows/Wnd.h"

#include "framework/core/WinApp.h"

#include <QPointer>
#include <QTimer>
#include <QVariant>
#include <QWidget>

#include <atomic>
#include <chrono>
#include <mutex>
#include <unordered_map>
#include <utility>

struct CWnd::Widget {
    QPointer<QWidget> widget;
};

namespace {

// The handle table. PostMessage reads it from any thread; everything else happens on the user-interface
// thread.
std::mutex handleLock;
std::unordered_map<HWND, CWnd*>& Handles() {
    static std::unordered_map<HWND, CWnd*> handles;
    return handles;
}
HWND nextHandle = 0x1000;
std::atomic<bool> timersFail{false};

constexpr const char* kHandleProperty = "frameworkWindowHandle";
constexpr UINT kMinimumPeriod = 10;
constexpr UINT kMaximumPeriod = 0x7FFFFFFF;

} // namespace

CWnd::CWnd() : m_widget(std::make_unique<Widget>()) {}

CWnd::~CWnd() {
    ReleaseWindow();
}

CWnd* CWnd::FromHandle(HWND hWnd) {
    std::lock_guard<std::mutex> guard(handleLock);
    auto found = Handles().find(hWnd);
    return found != Handles().end() ? found->second : nullptr;
}

CWnd* CWnd::FromWidget(const QWidget* widget) {
    if (widget == nullptr)
        return nullptr;
    const QVariant handle = widget->property(kHandleProperty);
    return handle.isValid() ? FromHandle(static_cast<HWND>(handle.toULongLong())) : nullptr;
}

QWidget* CWnd::GetWidget() const {
    return m_widget->widget.data();
}

void CWnd::AttachWidget(QWidget* widget, CWnd* parent) {
    m_widget->widget = widget;
    m_pParent = parent;
    if (m_hWnd == 0) {
        std::lock_guard<std::mutex> guard(handleLock);
        m_hWnd = nextHandle++;
        Handles()[m_hWnd] = this;
    }
    if (widget != nullptr)
        widget->setProperty(kHandleProperty, QVariant::fromValue<qulonglong>(m_hWnd));
}

void CWnd::ReleaseWindow() {
    for (auto& entry : m_timers) {
        // A timer may be the one whose timeout is running right now: let Qt delete it afterwards.
        entry.second->stop();
        entry.second.release()->deleteLater();
    }
    m_timers.clear();
    if (m_hWnd != 0) {
        std::lock_guard<std::mutex> guard(handleLock);
        Handles().erase(m_hWnd);
        m_hWnd = 0;
    }
    if (QWidget* widget = m_widget->widget.data()) {
        m_widget->widget.clear();
        widget->hide();
        // The widget may be inside one of its own event handlers (a close request): delete it once that
        // returns.
        widget->deleteLater();
    }
}

BOOL CWnd::DestroyWindow() {
    if (m_hWnd == 0 && m_widget->widget.isNull())
        return FALSE;
    ReleaseWindow();
    PostNcDestroy();
    return TRUE;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return WindowProc(message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::PostMessage(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    auto found = m_messages.find(message);
    if (found != m_messages.end()) {
        MessageHandler handler = found->second;
        return handler(wParam, lParam);
    }
    if (message == WM_COMMAND)
        return DispatchCommand(static_cast<UINT>(wParam & 0xFFFF)) ? 0 : 1;
    return DefWindowProc(message, wParam, lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM, LPARAM) {
    if (message == WM_CLOSE)
        DestroyWindow();
    return 0;
}

void CWnd::AddMessageHandler(UINT message, MessageHandler handler) {
    m_messages[message] = std::move(handler);
}

UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer) {
    if (m_hWnd == 0 || timersFail.load())
        return 0;
    KillTimer(nIDEvent);
    const UINT period =
        nElapse < kMinimumPeriod ? kMinimumPeriod : (nElapse > kMaximumPeriod ? kMaximumPeriod : nElapse);
    auto timer = std::make_unique<QTimer>();
    timer->setInterval(static_cast<int>(period));
    const HWND handle = m_hWnd;
    QObject::connect(timer.get(), &QTimer::timeout, [handle, nIDEvent, lpfnTimer]() {
        CWnd* window = CWnd::FromHandle(handle);
        if (window == nullptr)
            return;
        if (lpfnTimer != nullptr)
            lpfnTimer(handle, WM_TIMER, nIDEvent, GetTickCount());
        else
            window->WindowProc(WM_TIMER, nIDEvent, 0);
    });
    timer->start();
    m_timers[nIDEvent] = std::move(timer);
    return nIDEvent;
}

BOOL CWnd::KillTimer(UINT_PTR nIDEvent) {
    auto found = m_timers.find(nIDEvent);
    if (found == m_timers.end())
        return FALSE;
    found->second->stop();
    found->second.release()->deleteLater();
    m_timers.erase(found);
    return TRUE;
}

BOOL CWnd::HasTimer(UINT_PTR nIDEvent) const {
    return m_timers.count(nIDEvent) != 0;
}

UINT CWnd::GetTimerPeriod(UINT_PTR nIDEvent) const {
    auto found = m_timers.find(nIDEvent);
    return found == m_timers.end() ? 0 : static_cast<UINT>(found->second->interval());
}

void CWnd::SetWindowText(const CString& text) {
    if (QWidget* widget = GetWidget())
        widget->setWindowTitle(QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size())));
}

void CWnd::GetWindowText(CString& text) const {
    QWidget* widget = GetWidget();
    text = widget != nullptr ? widget->windowTitle().toLocal8Bit().toStdString() : CString();
}

int CWnd::GetWindowTextLength() const {
    CString text;
    GetWindowText(text);
    return static_cast<int>(text.size());
}

BOOL CWnd::ShowWindow(int nCmdShow) {
    QWidget* widget = GetWidget();
    if (widget == nullptr)
        return FALSE;
    const BOOL wasVisible = widget->isVisible();
    switch (nCmdShow) {
    case SW_HIDE:
        widget->hide();
        break;
    case SW_SHOWMINIMIZED:
        widget->showMinimized();
        break;
    case SW_SHOWMAXIMIZED:
        widget->showMaximized();
        break;
    case SW_RESTORE:
        widget->showNormal();
        break;
    default:
        widget->show();
        break;
    }
    return wasVisible;
}

void CWnd::UpdateWindow() {
    if (QWidget* widget = GetWidget())
        widget->update();
}

void CWnd::SetFocus() {
    if (QWidget* widget = GetWidget())
        widget->setFocus();
}

UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer) {
    CWnd* window = CWnd::FromHandle(hWnd);
    return window != nullptr ? window->SetTimer(nIDEvent, nElapse, lpfnTimer) : 0;
}

BOOL KillTimer(HWND hWnd, UINT_PTR nIDEvent) {
    CWnd* window = CWnd::FromHandle(hWnd);
    return window != nullptr ? window->KillTimer(nIDEvent) : FALSE;
}

LRESULT SendMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* window = CWnd::FromHandle(hWnd);
    return window != nullptr ? window->SendMessage(message, wParam, lParam) : 0;
}

DWORD GetTickCount() {
    using namespace std::chrono;
    return static_cast<DWORD>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

CWnd* AfxGetMainWnd() {
    CWinApp* app = AfxGetApp();
    return app != nullptr ? app->m_pMainWnd : nullptr;
}

void AfxSetTimersFail(bool fail) {
    timersFail.store(fail);
}
