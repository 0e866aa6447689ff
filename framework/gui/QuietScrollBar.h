#pragma once

#include <QElapsedTimer>
#include <QRect>
#include <QScrollBar>
#include <QTimer>

#include <functional>

// A scroll bar that repaints only when what it shows changes. A view that follows a growing text changes
// its scroll bars' range on every update, while the slider, pinned to the end, mostly stays on the same
// pixels; a plain scroll bar repaints (gradients and all) each time regardless.
class CQuietScrollBar : public QScrollBar {
public:
    explicit CQuietScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

    // What the bar draws from its values: the slider's place and size, and which ends it has reached.
    struct Look {
        QRect slider;
        bool atStart = false;
        bool atEnd = false;
        bool operator==(const Look& other) const {
            return slider == other.slider && atStart == other.atStart && atEnd == other.atEnd;
        }
        bool operator!=(const Look& other) const { return !(*this == other); }
    };
    Look CurrentLook() const;

    // Applies changes of the bar's values (range, steps, value) that the program makes, repainting the bar
    // only when what it shows changed (a range change repaints a plain scroll bar whatever comes of it),
    // and then at most every kApplyRepaintMs: a text that grows ten times a second moves its slider as
    // often, and the bar showing the latest place a moment later is all that is needed. What the user does
    // to the bar shows at once.
    void Apply(const std::function<void(QScrollBar&)>& change);
    static constexpr int kApplyRepaintMs = 250;

protected:
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent* event) override;

private:
    Look m_painted;
    bool m_everPainted = false;
    bool m_applying = false;
    QElapsedTimer m_lastPaint;
    QTimer m_repaintLater;
};
