#pragma once

#include <functional>

class QWidget;

// Repaints that may wait a moment to go along with the next paint of a view that repaints often. Each
// paint of the window costs a round of its own with the display (the window's image is synchronised, then
// sent), whatever it paints: a clock ticking beside a stream of data would cost one such round a second
// for a few pixels, where the view's next paint comes within a tenth of a second anyway.
namespace JoinedRepaint {

// The longest a repaint waits for a view's paint to go with.
constexpr int kLatestMs = 100;

// Repaints widget with the next Join(), or kLatestMs from now at the latest. When no view joined lately,
// none is likely to come soon, and the widget repaints as update() would have it.
void Request(QWidget* widget);

// Makes a change of widget that would repaint it at once (a label's new text) and has the repaint go as
// Request says. A widget whose updates are off only takes the change.
void Change(QWidget* widget, const std::function<void()>& change);

// Called by a view right before it repaints: the repaints waiting go with its paint.
void Join();

} // namespace JoinedRepaint
