#include "framework/gui/drawing/JoinedRepaint.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace {

class Waiting {
public:
    Waiting() {
        m_latest.setSingleShot(true);
        QObject::connect(&m_latest, &QTimer::timeout, [this]() { RepaintAll(); });
    }

    void Request(QWidget* widget) {
        if (!m_lastJoin.isValid() || m_lastJoin.elapsed() > JoinedRepaint::kLatestMs) {
            widget->update();
            return;
        }
        if (std::find(m_widgets.begin(), m_widgets.end(), widget) == m_widgets.end())
            m_widgets.emplace_back(widget);
        if (!m_latest.isActive())
            m_latest.start(JoinedRepaint::kLatestMs);
    }

    void Join() {
        m_lastJoin.restart();
        RepaintAll();
    }

private:
    void RepaintAll() {
        m_latest.stop();
        for (const QPointer<QWidget>& widget : m_widgets) {
            if (widget != nullptr)
                widget->update();
        }
        m_widgets.clear();
    }

    std::vector<QPointer<QWidget>> m_widgets;
    QTimer m_latest;
    QElapsedTimer m_lastJoin;
};

Waiting& TheWaiting() {
    // Kept to the end of the program, past the application object its timer belongs to.
    static auto* waiting = new Waiting;
    return *waiting;
}

} // namespace

namespace JoinedRepaint {

void Request(QWidget* widget) {
    if (widget != nullptr)
        TheWaiting().Request(widget);
}

void Change(QWidget* widget, const std::function<void()>& change) {
    if (widget->testAttribute(Qt::WA_UpdatesDisabled)) {
        change();
        return;
    }
    widget->setAttribute(Qt::WA_UpdatesDisabled, true);
    change();
    widget->setAttribute(Qt::WA_UpdatesDisabled, false);
    Request(widget);
}

void Join() {
    TheWaiting().Join();
}

} // namespace JoinedRepaint
