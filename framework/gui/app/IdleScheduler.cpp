#include "framework/gui/app/IdleScheduler.h"

#include <QCoreApplication>
#include <QEvent>

#include <algorithm>
#include <utility>

CIdleScheduler::CIdleScheduler(std::function<void()> pass) : m_pass(std::move(pass)) {
    m_timer.setSingleShot(true);
    QObject::connect(&m_timer, &QTimer::timeout, this, [this]() {
        m_dueNow = false;
        m_last.restart();
        m_pass();
    });
    m_last.start();
    QCoreApplication::instance()->installEventFilter(this);
}

CIdleScheduler::~CIdleScheduler() {
    QCoreApplication::instance()->removeEventFilter(this);
}

bool CIdleScheduler::eventFilter(QObject* target, QEvent* event) {
    // Painting changes nothing the pass shows, and the pass's own timer is not news.
    const QEvent::Type type = event->type();
    if (m_dueNow || target == &m_timer || type == QEvent::Paint || type == QEvent::UpdateRequest ||
        type == QEvent::UpdateLater)
        return false;
    const bool user = event->isInputEvent() || type == QEvent::FocusIn || type == QEvent::FocusOut ||
                      type == QEvent::WindowActivate || type == QEvent::WindowDeactivate ||
                      type == QEvent::Show || type == QEvent::Hide || type == QEvent::Close;
    const qint64 since = m_last.elapsed();
    if (user) {
        PassAt(since, std::max<qint64>(since, kUserPeriodMs));
        return false;
    }
    // Something else runs a pass that is due along with itself, in the wake-up it already costs. One that
    // is not due yet waits for the next such event, which a stream of data brings within its period; the
    // timer only catches the last event of a burst, and it is the timer's wake-up that this saves.
    PassAt(since, since >= kBackgroundPeriodMs ? since : kBackgroundLatestMs);
    return false;
}

void CIdleScheduler::PassAt(qint64 now, qint64 due) {
    if (m_timer.isActive() && m_due <= due)
        return;
    m_due = due;
    m_dueNow = due <= now;
    m_timer.start(static_cast<int>(due - now));
}
