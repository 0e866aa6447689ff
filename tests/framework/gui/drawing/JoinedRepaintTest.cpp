// Repaints that wait to go with a view's paint: a status pane's new text beside a view that shows a
// stream of data.
#include "framework/gui/drawing/JoinedRepaint.h"
#include "support/DialogTestSupport.h"
#include "support/ScreenCapture.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

#include <memory>

namespace {

void WaitWhileHandling(qint64 milliseconds) {
    QElapsedTimer wait;
    wait.start();
    while (wait.elapsed() < milliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
}

// A window with a view that paints often and a pane beside it, shown and painted once.
struct Window {
    QWidget top;
    QWidget* view = new QWidget(&top);
    QLabel* pane = new QLabel(QStringLiteral("12:00:00"), &top);
    PaintCounter viewPaints;
    PaintCounter panePaints;

    Window() {
        auto* layout = new QVBoxLayout(&top);
        layout->addWidget(view, 1);
        layout->addWidget(pane);
        top.resize(200, 120);
        top.show();
        // Long enough for the first paints, and for any view of an earlier test to count as gone quiet.
        WaitWhileHandling(JoinedRepaint::kLatestMs + 50);
        view->installEventFilter(&viewPaints);
        pane->installEventFilter(&panePaints);
    }
};

} // namespace

TEST(JoinedRepaint, WithNoViewPaintingOftenARequestRepaintsAsUpdateWould) {
    EnsureDialogTestApplication();
    Window window;
    JoinedRepaint::Request(window.pane);
    WaitWhileHandling(20);
    EXPECT_EQ(window.panePaints.paints, 1);
}

TEST(JoinedRepaint, BesideAViewThatPaintsOftenAPaneGoesWithTheViewsNextPaint) {
    EnsureDialogTestApplication();
    Window window;
    JoinedRepaint::Join();
    window.view->repaint();
    window.pane->setText(QStringLiteral("12:00:01")); // the label asks for its own repaint: it has to go
    WaitWhileHandling(20);
    ASSERT_EQ(window.panePaints.paints, 1);

    JoinedRepaint::Change(window.pane, [&] { window.pane->setText(QStringLiteral("12:00:02")); });
    QApplication::processEvents();
    EXPECT_EQ(window.panePaints.paints, 1) << "the pane waits for the view";

    // The view's paint takes the pane along, within the same paint of the window.
    const int viewPaintsBefore = window.viewPaints.paints;
    JoinedRepaint::Join();
    window.view->repaint();
    EXPECT_EQ(window.viewPaints.paints, viewPaintsBefore + 1);
    EXPECT_EQ(window.panePaints.paints, 2);
    WaitWhileHandling(JoinedRepaint::kLatestMs + 50);
    EXPECT_EQ(window.panePaints.paints, 2) << "nothing left to repaint later";
}

TEST(JoinedRepaint, AWaitingPaneRepaintsAtTheLatestTimeWhenNoViewPaintComes) {
    EnsureDialogTestApplication();
    Window window;
    JoinedRepaint::Join();
    QElapsedTimer since;
    since.start();
    JoinedRepaint::Request(window.pane);
    while (window.panePaints.paints == 0 && since.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    ASSERT_EQ(window.panePaints.paints, 1);
    // A timer may fire a twentieth of its time early.
    EXPECT_GE(since.elapsed(), JoinedRepaint::kLatestMs * 9 / 10);
}

TEST(JoinedRepaint, AWidgetDeletedWhileWaitingIsLeftOut) {
    EnsureDialogTestApplication();
    Window window;
    JoinedRepaint::Join();
    auto gone = std::make_unique<QLabel>(QStringLiteral("gone"), &window.top);
    gone->show();
    JoinedRepaint::Request(gone.get());
    JoinedRepaint::Request(window.pane);
    JoinedRepaint::Request(window.pane); // asked twice, repainted once
    gone.reset();
    JoinedRepaint::Join();
    window.view->repaint();
    EXPECT_EQ(window.panePaints.paints, 1);
}
