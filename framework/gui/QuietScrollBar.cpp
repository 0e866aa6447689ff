#include "framework/gui/QuietScrollBar.h"

#include <QStyle>
#include <QStyleOptionSlider>

CQuietScrollBar::CQuietScrollBar(Qt::Orientation orientation, QWidget* parent) : QScrollBar(orientation, parent) {
    m_repaintLater.setSingleShot(true);
    QObject::connect(&m_repaintLater, &QTimer::timeout, this, [this]() {
        if (!m_everPainted || CurrentLook() != m_painted)
            update();
    });
}

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
    if (disabled || m_repaintLater.isActive() || (m_everPainted && CurrentLook() == m_painted))
        return;
    const qint64 since = m_lastPaint.isValid() ? m_lastPaint.elapsed() : kApplyRepaintMs;
    if (since >= kApplyRepaintMs)
        update();
    else
        m_repaintLater.start(static_cast<int>(kApplyRepaintMs - since));
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
    m_lastPaint.restart();
    QScrollBar::paintEvent(event);
}
