#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

// Runs the idle pass once the loop has handled something, as a message loop does when its queue empties,
// at most once per period: what the pass shows (menu items, tool bar buttons, status panes) only changes
// through something the loop handled. A window left alone then costs no wake-ups but its clock's, a stream
// of data costs a few passes a second, and what the user does shows at once.
class CIdleScheduler : public QObject {
public:
    // The shortest time between two passes after what the user did.
    static constexpr int kUserPeriodMs = 100;
    // After anything else (data that arrived, a timer): the shortest time between two passes, and the
    // longest that such a change waits for its pass.
    static constexpr int kBackgroundPeriodMs = 250;
    static constexpr int kBackgroundLatestMs = 500;

    explicit CIdleScheduler(std::function<void()> pass);
    ~CIdleScheduler() override;

protected:
    bool eventFilter(QObject* target, QEvent* event) override;

private:
    // Starts the timer for a pass due at due, unless one is due no later; times in milliseconds since the
    // last pass, now being now.
    void PassAt(qint64 now, qint64 due);

    std::function<void()> m_pass;
    QTimer m_timer;
    QElapsedTimer m_last;
    qint64 m_due = 0;      // when the timer's pass is due, in milliseconds since the last pass
    bool m_dueNow = false; // the timer stands at a pass in this turn of the loop
};
