#pragma once

#include <QEvent>
#include <QImage>
#include <QObject>

class QWidget;

// What the screen shows of a widget: its window's backing store as the windowing system has it, not a
// fresh paint.
QImage OnScreen(const QWidget& widget);

// Counts the paints a widget receives, once installed as its event filter.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};
