#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QRect>
#include <QRegion>
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

    // Applies changes of the bar's values (range, steps, value) that the program makes. A plain scroll bar
    // repaints at every range change whatever comes of it; this one repaints only when what it shows
    // changed, and then at most every kApplyRepaintMs: a text that grows ten times a second moves its
    // slider as often, and the bar showing the latest place a moment later is all that is needed. A
    // change shows at the first ShowChanges the interval allows, or kApplyRepaintMs after it at the latest.
    // What the user does to the bar shows at once.
    void Apply(const std::function<void(QScrollBar&)>& change);
    // Repaints what Apply changed, if the interval allows. A caller about to repaint its own widget calls
    // this first, so that both show in one paint of the window instead of two.
    void ShowChanges();
    static constexpr int kApplyRepaintMs = 500;

    // What a change of look repaints. In a style whose lines across the bar depend only on where they lie
    // and how far they are from the slider's ends (Fusion's do), only the lines near the old and the new
    // ends differ; elsewhere the whole bar. A tall bar repainted whole costs far more than its size
    // suggests: the raster engine hands fills of many lines to worker threads and waits for them.
    QRegion ChangedArea(const Look& from, const Look& to) const;
    // Lines this far from a slider's end may differ with where the end lies.
    static constexpr int kEdgeLines = 3;

protected:
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // Repaints what changed since the last paint, if anything.
    void RepaintChange();
    // Draws the bar's pieces of a paint when no pointer is on it.
    void DrawPieces(const QRegion& area);

    Look m_painted;
    bool m_everPainted = false;
    bool m_applying = false;
    QElapsedTimer m_lastPaint;
    QTimer m_repaintLater;
    QImage m_drawn; // where the pieces of a paint are drawn, one after the other
};
