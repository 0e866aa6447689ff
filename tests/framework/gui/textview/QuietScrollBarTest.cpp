// The scroll bar of the text view: it looks exactly like a plain scroll bar with the same values, and it
// repaints only when a change of its values changes what it shows.
#include "framework/gui/textview/QuietScrollBar.h"
#include "support/DialogTestSupport.h"
#include "support/ScreenCapture.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPaintEvent>
#include <QPixmap>
#include <QRandomGenerator>
#include <QStyle>

namespace {

struct PaintArea : QObject {
    QRegion painted;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent*>(event)->region();
        return false;
    }
};

void LetRepaintCome() {
    QElapsedTimer wait;
    wait.start();
    while (wait.elapsed() < CQuietScrollBar::kApplyRepaintMs + 60)
        QApplication::processEvents();
}

// What a paint of the whole bar shows, drawn into an image.
QImage WholePaint(QWidget& bar) {
    return bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Lets events come until the screen shows what a whole paint of the bar shows, a few seconds at most (a
// loaded machine is slow); false if it never does.
bool ScreenComesToWholePaint(QWidget& bar) {
    QElapsedTimer wait;
    wait.start();
    while (wait.elapsed() < 3000) {
        QApplication::processEvents();
        if (OnScreen(bar) == WholePaint(bar))
            return true;
    }
    return false;
}

void SetValues(QScrollBar& bar, int maximum, int page, int value) {
    bar.setRange(0, maximum);
    bar.setPageStep(page);
    bar.setValue(value);
}

// A scroll bar in a window of its own, shown with its values and painted once.
struct ShownBar {
    QWidget window;
    CQuietScrollBar* bar;
    ShownBar(Qt::Orientation orientation, QSize size, int maximum, int page, int value) {
        window.resize(size + QSize(20, 20));
        bar = new CQuietScrollBar(orientation, &window);
        bar->setGeometry(QRect(QPoint(10, 10), size));
        bar->Apply([&](QScrollBar& b) { SetValues(b, maximum, page, value); });
        window.show();
        QApplication::processEvents();
        bar->repaint(); // the first paint, whenever the window system would have asked for it
    }
};

TEST(QuietScrollBar, LooksLikeAPlainScrollBarWithTheSameValues) {
    EnsureDialogTestApplication();
    for (Qt::Orientation orientation : {Qt::Vertical, Qt::Horizontal}) {
        const QSize size = orientation == Qt::Vertical ? QSize(14, 300) : QSize(300, 14);
        for (int value : {0, 37, 100}) {
            CQuietScrollBar quiet(orientation);
            QScrollBar plain(orientation);
            for (QScrollBar* bar : {static_cast<QScrollBar*>(&quiet), &plain}) {
                bar->resize(size);
                SetValues(*bar, 100, 20, value);
            }
            const QImage quietLook = quiet.grab().toImage().convertToFormat(QImage::Format_RGB32);
            const QImage plainLook = plain.grab().toImage().convertToFormat(QImage::Format_RGB32);
            EXPECT_TRUE(quietLook == plainLook) << "orientation " << orientation << ", value " << value;
        }
    }
}

TEST(QuietScrollBar, RepaintsOnlyWhenWhatItShowsChanges) {
    EnsureDialogTestApplication();
    ShownBar shown(Qt::Vertical, QSize(14, 300), 100000, 30, 100000);
    CQuietScrollBar* bar = shown.bar;
    PaintCounter count;
    bar->installEventFilter(&count);
    // A range that grows by a line with the slider at the end, already at its smallest: nothing to show.
    for (int more = 1; more <= 5; ++more)
        bar->Apply([more](QScrollBar& b) { SetValues(b, 100000 + more, 30, 100000 + more); });
    QApplication::processEvents();
    EXPECT_EQ(count.paints, 0);
    // The program moves the slider twice in quick succession: the bar shows the last place, once, within
    // a quarter of a second.
    bar->Apply([](QScrollBar& b) { b.setValue(0); });
    bar->Apply([](QScrollBar& b) { b.setValue(20000); });
    QElapsedTimer wait;
    wait.start();
    while (wait.elapsed() < CQuietScrollBar::kApplyRepaintMs + 100)
        QApplication::processEvents();
    EXPECT_EQ(count.paints, 1);
    // What the user does (here a plain change of the value, as a drag makes) shows at once.
    bar->setValue(50000);
    QApplication::processEvents();
    EXPECT_EQ(count.paints, 2);
    bar->removeEventFilter(&count);
}

// The program's changes repaint only the lines near the slider's old and new ends; the bar on the screen
// must then be what a paint of the whole bar shows, however the slider moved, grew or shrank.
TEST(QuietScrollBar, OnTheScreenAfterEachChangeIsAWholePaintOfTheBar) {
    EnsureDialogTestApplication();
    ASSERT_EQ(QApplication::style()->name().toLower(), QLatin1String("fusion"));
    for (Qt::Orientation orientation : {Qt::Vertical, Qt::Horizontal}) {
        ShownBar shown(orientation, orientation == Qt::Vertical ? QSize(16, 400) : QSize(400, 16), 1000, 100,
                       500);
        CQuietScrollBar* bar = shown.bar;
        QRandomGenerator random(orientation == Qt::Vertical ? 7 : 11);
        const int steps[][3] = {{1000, 100, 501}, {1010, 100, 520}, {1100, 100, 1100}, {1101, 100, 1101},
                                {2000, 40, 2000}, {2000, 40, 300},  {300, 3000, 0},    {300, 300, 150}};
        int step = 0;
        for (const auto& values : steps) {
            bar->Apply([&](QScrollBar& b) { SetValues(b, values[0], values[1], values[2]); });
            EXPECT_TRUE(ScreenComesToWholePaint(*bar)) << "orientation " << orientation << ", step " << step;
            ++step;
        }
        for (int round = 0; round < 4; ++round) {
            const int maximum = random.bounded(1, 5000);
            const int page = random.bounded(1, 2000);
            const int value = random.bounded(0, maximum + 1);
            bar->Apply([&](QScrollBar& b) { SetValues(b, maximum, page, value); });
            EXPECT_TRUE(ScreenComesToWholePaint(*bar))
                << "orientation " << orientation << ", values " << maximum << " " << page << " " << value;
        }
    }
}

// A slider that moves a little repaints a few lines, not the bar: a tall bar repainted whole is costly.
TEST(QuietScrollBar, ASmallMoveRepaintsAFewLines) {
    EnsureDialogTestApplication();
    ShownBar shown(Qt::Vertical, QSize(16, 600), 10000, 1000, 10000);
    CQuietScrollBar* bar = shown.bar;
    LetRepaintCome();
    PaintArea area;
    bar->installEventFilter(&area);
    bar->Apply([](QScrollBar& b) { SetValues(b, 10100, 1000, 10100); });
    QElapsedTimer wait;
    wait.start();
    while (area.painted.isEmpty() && wait.elapsed() < 3000)
        QApplication::processEvents();
    LetRepaintCome(); // nothing more follows
    bar->removeEventFilter(&area);
    ASSERT_FALSE(area.painted.isEmpty());
    EXPECT_LE(area.painted.boundingRect().height(), 2 * (CQuietScrollBar::kEdgeLines + 1) + 20);
    EXPECT_EQ(area.painted.boundingRect().width(), 16);
}

// A picture of the bar taken meanwhile (as a snapshot of the window takes one) is not the screen: the
// change still reaches the screen.
TEST(QuietScrollBar, APictureOfTheBarDoesNotKeepTheChangeFromTheScreen) {
    EnsureDialogTestApplication();
    ShownBar shown(Qt::Vertical, QSize(16, 400), 1000, 100, 0);
    LetRepaintCome();
    shown.bar->Apply([](QScrollBar& b) { b.setValue(900); });
    const QImage picture = WholePaint(*shown.bar);
    EXPECT_TRUE(ScreenComesToWholePaint(*shown.bar));
    EXPECT_TRUE(OnScreen(*shown.bar) == picture);
}

} // namespace
