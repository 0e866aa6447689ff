#include "framework/gui/QuietScrollBar.h"

#include <QApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>


CQuietScrollBar::CQuietScrollBar(Qt::Orientation orientation, QWidget* parent) : QScrollBar(orientation, parent) {}

CQuietScrollBar::Look CQuietScrollBar::CurrentLook() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    Look look;
    look.slider = style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
    look.atStart = option.sliderPosition <= option.minimum;
    look.atEnd = option.sliderPosition >= option.maximum;
    return look;
}

void CQuietScrollBar::Apply(const std::function<void(QScrollBar&)>& change) {
    const bool disabled = testAttribute(Qt::WA_UpdatesDisabled);
    setAttribute(Qt::WA_UpdatesDisabled, true);
    m_applying = true;
    change(*this);
    m_applying = false;
    setAttribute(Qt::WA_UpdatesDisabled, disabled);
    if (!disabled && (!m_everPainted || CurrentLook() != m_painted))
        update();
}

void CQuietScrollBar::sliderChange(SliderChange change) {
    // Compared with the last paint, not the last change: whatever else repainted the bar meanwhile (a
    // resize, the mouse over it) showed the values of then.
    // Within Apply the look is compared once, at the end.
    if (m_applying)
        return;
    if (change == SliderOrientationChange || !m_everPainted || CurrentLook() != m_painted)
        QScrollBar::sliderChange(change);
}

void CQuietScrollBar::paintEvent(QPaintEvent* event) {
    m_painted = CurrentLook();
    m_everPainted = true;
    // While the user points at the bar or holds a button down, the bar shows it (a part lit or pressed)
    // as a scroll bar draws itself.
    if (underMouse() || isSliderDown() || QApplication::mouseButtons() != Qt::NoButton) {
        QScrollBar::paintEvent(event);
        return;
    }
    // Drawn on the widget, the style's lines and frames go through the raster engine's threaded fills,
    // whose hand-over to a pool of threads costs many times the drawing of a 14-pixel bar; drawn into an
    // image of the bar's own they stay on this thread, and the image is copied in one piece.
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    if (m_image.size() != pixels)
        m_image = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    m_image.setDevicePixelRatio(ratio);
    m_image.fill(palette().color(backgroundRole()));
    QStyleOptionSlider option;
    initStyleOption(&option);
    option.subControls = QStyle::SC_All;
    option.activeSubControls = QStyle::SC_None;
    {
        QPainter painter(&m_image);
        style()->drawComplexControl(QStyle::CC_ScrollBar, &option, &painter, this);
    }
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(event->rect(), m_image, QRectF(QPointF(event->rect().topLeft()) * ratio,
                                                     QSizeF(event->rect().size()) * ratio));
}
