#include "framework/gui/QuietScrollBar.h"

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
    change(*this);
    setAttribute(Qt::WA_UpdatesDisabled, disabled);
    if (!disabled && (!m_everPainted || CurrentLook() != m_painted))
        update();
}

void CQuietScrollBar::sliderChange(SliderChange change) {
    // Compared with the last paint, not the last change: whatever else repainted the bar meanwhile (a
    // resize, the mouse over it) showed the values of then.
    if (change == SliderOrientationChange || !m_everPainted || CurrentLook() != m_painted)
        QScrollBar::sliderChange(change);
}

void CQuietScrollBar::paintEvent(QPaintEvent* event) {
    m_painted = CurrentLook();
    m_everPainted = true;
    QScrollBar::paintEvent(event);
}
