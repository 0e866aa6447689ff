#include "support/ScreenCapture.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

QImage OnScreen(const QWidget& widget) {
    const QWidget* window = widget.window();
    const QImage whole = QGuiApplication::primaryScreen()->grabWindow(window->winId()).toImage();
    return whole.copy(QRect(widget.mapTo(window, QPoint(0, 0)), widget.size()))
        .convertToFormat(QImage::Format_RGB32);
}
