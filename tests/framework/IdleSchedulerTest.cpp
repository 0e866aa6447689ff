// When the idle pass runs: soon after what the user does, and otherwise along with the events that come
// anyway, so that a stream of data does not wake the program for passes of their own.
#include "framework/gui/IdleScheduler.h"
#include "support/DialogTestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QWidget>

#include <vector>

namespace {

// Stands for data handed over by another thread: an event that is neither the user's nor a paint.
constexpr QEvent::Type kDataEvent = static_cast<QEvent::Type>(QEvent::User + 17);

struct Passes {
    std::vector<qint64> at; // milliseconds since the clock started
    QElapsedTimer clock;
    Passes() { clock.start(); }
    void Note() { at.push_back(clock.elapsed()); }
};

// Handles events without waiting for new ones, as one turn of the loop does for what is already there.
void HandleWhatIsThere() {
    for (int turn = 0; turn < 3; ++turn)
        QApplication::processEvents();
}

void WaitWhileHandling(qint64 milliseconds) {
    QElapsedTimer wait;
    wait.start();
    while (wait.elapsed() < milliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
}

void PostData(QObject& receiver) {
    QApplication::postEvent(&receiver, new QEvent(kDataEvent));
}

} // namespace

TEST(IdleScheduler, DataAfterThePeriodGetsItsPassInTheSameTurnAndEarlierDataWaitsForLaterData) {
    EnsureDialogTestApplication();
    QObject receiver;
    Passes passes;
    CIdleScheduler idle([&] { passes.Note(); });
    WaitWhileHandling(CIdleScheduler::kBackgroundPeriodMs + 20);
    ASSERT_TRUE(passes.at.empty()) << "nothing happened, so no pass";

    // The period is over: the data's own turn of the loop runs the pass.
    PostData(receiver);
    HandleWhatIsThere();
    ASSERT_EQ(passes.at.size(), 1u);

    // Data within the period leave the pass to later data, not to a wake-up of its own when the period
    // ends; the next data after the period run it.
    PostData(receiver);
    HandleWhatIsThere();
    WaitWhileHandling(CIdleScheduler::kBackgroundPeriodMs + 30);
    EXPECT_EQ(passes.at.size(), 1u);
    PostData(receiver);
    HandleWhatIsThere();
    EXPECT_EQ(passes.at.size(), 2u);
}

TEST(IdleScheduler, TheLastDataOfABurstGetsItsPassWithinTheLatestTime) {
    EnsureDialogTestApplication();
    QObject receiver;
    Passes passes;
    CIdleScheduler idle([&] { passes.Note(); });
    WaitWhileHandling(CIdleScheduler::kBackgroundPeriodMs + 20);
    PostData(receiver);
    HandleWhatIsThere();
    ASSERT_EQ(passes.at.size(), 1u);

    // Data right after a pass, then nothing more: the pass comes, but not before the latest time.
    PostData(receiver);
    HandleWhatIsThere();
    QElapsedTimer wait;
    wait.start();
    while (passes.at.size() < 2 && wait.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    ASSERT_EQ(passes.at.size(), 2u);
    // A timer may fire a twentieth of its time early.
    EXPECT_GE(passes.at[1] - passes.at[0], CIdleScheduler::kBackgroundLatestMs * 9 / 10);
}

TEST(IdleScheduler, WhatTheUserDoesGetsAPassWithinTheUserPeriod) {
    EnsureDialogTestApplication();
    QWidget widget;
    Passes passes;
    CIdleScheduler idle([&] { passes.Note(); });
    WaitWhileHandling(CIdleScheduler::kBackgroundPeriodMs + 20);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(&widget, &press);
    HandleWhatIsThere();
    ASSERT_EQ(passes.at.size(), 1u) << "a pass at once when the last was longer ago than the period";

    // A key right after that pass: the next pass comes after the user period, well before the background
    // one would.
    QApplication::sendEvent(&widget, &press);
    QElapsedTimer wait;
    wait.start();
    while (passes.at.size() < 2 && wait.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    ASSERT_EQ(passes.at.size(), 2u);
    EXPECT_GE(passes.at[1] - passes.at[0], CIdleScheduler::kUserPeriodMs * 9 / 10);
    EXPECT_LT(passes.at[1] - passes.at[0], CIdleScheduler::kBackgroundLatestMs);
}

TEST(IdleScheduler, PaintsAndThePassItselfBringNoPass) {
    EnsureDialogTestApplication();
    QWidget widget;
    widget.resize(50, 50);
    widget.show();
    WaitWhileHandling(50);
    Passes passes;
    CIdleScheduler idle([&] {
        passes.Note();
        widget.update(); // a pass that repaints must not keep passes coming
    });
    WaitWhileHandling(CIdleScheduler::kBackgroundPeriodMs + 20);
    PostData(widget);
    HandleWhatIsThere();
    ASSERT_EQ(passes.at.size(), 1u);
    WaitWhileHandling(CIdleScheduler::kBackgroundLatestMs + 200);
    EXPECT_EQ(passes.at.size(), 1u);
}
