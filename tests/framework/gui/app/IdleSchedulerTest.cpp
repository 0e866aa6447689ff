// When the idle pass runs: soon after what the user does, and otherwise along with the events that come
// anyway, so that a stream of data does not wake the program for passes of their own.
#include "framework/gui/app/IdleScheduler.h"
#include "support/DialogTestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QWidget>

#include <functional>
#include <memory>
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

// Handles events until the passes come to count, a few seconds at most.
void WaitForPasses(const Passes& passes, std::size_t count) {
    QElapsedTimer wait;
    wait.start();
    while (passes.at.size() < count && wait.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
}

void PostData(QObject& receiver) {
    QApplication::postEvent(&receiver, new QEvent(kDataEvent));
}

// An idle scheduler whose passes are noted, after a quiet time longer than the background period.
class IdleSchedulerTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureDialogTestApplication();
        m_idle = std::make_unique<CIdleScheduler>([this] {
            m_passes.Note();
            if (m_alsoOnPass)
                m_alsoOnPass();
        });
        WaitWhileHandling(CIdleScheduler::kBackgroundPeriodMs + 20);
    }

    // Data handed over, and the turn of the loop that handles them.
    void DataCome() {
        PostData(m_receiver);
        HandleWhatIsThere();
    }

    QObject m_receiver;
    Passes m_passes;
    std::function<void()> m_alsoOnPass;
    std::unique_ptr<CIdleScheduler> m_idle;
};

} // namespace

TEST_F(IdleSchedulerTest, DataAfterThePeriodGetsItsPassInTheSameTurnAndEarlierDataWaitsForLaterData) {
    ASSERT_TRUE(m_passes.at.empty()) << "nothing happened, so no pass";
    // The period is over: the data's own turn of the loop runs the pass.
    DataCome();
    ASSERT_EQ(m_passes.at.size(), 1u);

    // Data within the period leave the pass to later data, not to a wake-up of its own when the period
    // ends; the next data after the period run it.
    DataCome();
    WaitWhileHandling(CIdleScheduler::kBackgroundPeriodMs + 30);
    EXPECT_EQ(m_passes.at.size(), 1u);
    DataCome();
    EXPECT_EQ(m_passes.at.size(), 2u);
}

TEST_F(IdleSchedulerTest, TheLastDataOfABurstGetsItsPassWithinTheLatestTime) {
    DataCome();
    ASSERT_EQ(m_passes.at.size(), 1u);
    // Data right after a pass, then nothing more: the pass comes, but not before the latest time.
    DataCome();
    WaitForPasses(m_passes, 2);
    ASSERT_EQ(m_passes.at.size(), 2u);
    // A timer may fire a twentieth of its time early.
    EXPECT_GE(m_passes.at[1] - m_passes.at[0], CIdleScheduler::kBackgroundLatestMs * 9 / 10);
}

TEST_F(IdleSchedulerTest, WhatTheUserDoesGetsAPassWithinTheUserPeriod) {
    QWidget widget;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(&widget, &press);
    HandleWhatIsThere();
    ASSERT_EQ(m_passes.at.size(), 1u) << "a pass at once when the last was longer ago than the period";

    // A key right after that pass: the next pass comes after the user period, well before the background
    // one would.
    QApplication::sendEvent(&widget, &press);
    WaitForPasses(m_passes, 2);
    ASSERT_EQ(m_passes.at.size(), 2u);
    EXPECT_GE(m_passes.at[1] - m_passes.at[0], CIdleScheduler::kUserPeriodMs * 9 / 10);
    EXPECT_LT(m_passes.at[1] - m_passes.at[0], CIdleScheduler::kBackgroundLatestMs);
}

TEST_F(IdleSchedulerTest, PaintsAndThePassItselfBringNoPass) {
    QWidget widget;
    widget.resize(50, 50);
    widget.show();
    WaitWhileHandling(CIdleScheduler::kBackgroundLatestMs + 50);
    const std::size_t before = m_passes.at.size();
    m_alsoOnPass = [&] { widget.update(); }; // a pass that repaints must not keep passes coming
    WaitWhileHandling(CIdleScheduler::kBackgroundPeriodMs + 20);
    PostData(widget);
    HandleWhatIsThere();
    ASSERT_EQ(m_passes.at.size(), before + 1);
    WaitWhileHandling(CIdleScheduler::kBackgroundLatestMs + 200);
    EXPECT_EQ(m_passes.at.size(), before + 1);
    m_alsoOnPass = nullptr;
}
