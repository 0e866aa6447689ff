// The scroll bar of the text view: it looks exactly like a plain scroll bar with the same values, and it
// repaints only when a change of its values changes what it shows.
#include "framework/gui/QuietScrollBar.h"
#include "support/DialogTestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPixmap>

namespace {

struct PaintCount : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

void SetValues(QScrollBar& bar, int maximum, int page, int value) {
    bar.setRange(0, maximum);
    bar.setPageStep(page);
    bar.setValue(value);
}

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
    QWidget window;
    window.resize(40, 320);
    auto* bar = new CQuietScrollBar(Qt::Vertical, &window);
    bar->setGeometry(0, 0, 14, 300);
    bar->Apply([](QScrollBar& b) { SetValues(b, 100000, 30, 100000); });
    window.show();
    QApplication::processEvents();
    bar->repaint(); // the first paint, whenever the window system would have asked for it
    PaintCount count;
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

} // namespace
