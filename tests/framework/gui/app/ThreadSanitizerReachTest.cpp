// Under ThreadSanitizer the test programs leave the threads Qt starts for itself unobserved. That must hide
// no race of ours: a thread of ours racing with a handler that runs inside Qt's event loop is still reported.
#if defined(__SANITIZE_THREAD__)

#include "support/DialogTestSupport.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>

#include <gtest/gtest.h>

#include <thread>

namespace {

// Run only by the test below, in a process of its own: it races on purpose.
TEST(ThreadSanitizerReach, DISABLED_RaceBetweenAThreadOfOursAndAnEventLoopHandler) {
    EnsureDialogTestApplication();
    int shared = 0;
    std::thread writer([&shared] {
        for (int i = 1; i <= 1000; ++i)
            shared = i;
    });
    int seen = -1;
    QTimer::singleShot(0, [&] { seen = shared; });
    RunEventLoopFor(50);
    writer.join();
    EXPECT_GE(seen, 0);
}

TEST(ThreadSanitizerReach, ARaceOfOursInsideTheEventLoopIsReported) {
    QProcess probe;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TSAN_OPTIONS", "halt_on_error=1 exitcode=66");
    probe.setProcessEnvironment(environment);
    probe.start(
        "/proc/self/exe",
        {"--gtest_also_run_disabled_tests",
         "--gtest_filter=ThreadSanitizerReach.DISABLED_RaceBetweenAThreadOfOursAndAnEventLoopHandler"});
    ASSERT_TRUE(probe.waitForFinished(120000));
    const QString errors = QString::fromLocal8Bit(probe.readAllStandardError());
    EXPECT_EQ(probe.exitCode(), 66) << errors.toStdString();
    EXPECT_TRUE(errors.contains("ThreadSanitizer: data race")) << errors.toStdString();
}

} // namespace

#endif
