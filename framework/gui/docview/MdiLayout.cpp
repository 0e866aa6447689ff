#include "framework/gui/docview/MdiLayout.h"

#include <algorithm>
#include <cmath>

namespace {

// The number of positions a window of the given extent can take, step by step, inside the area's extent.
int CascadePositions(int area, int extent, int step) {
    return area > extent ? (area - extent) / step + 1 : 1;
}

} // namespace

QRect CascadeGeometry(const QSize& area, int index, int step, const QSize& minimum) {
    const QSize size = QSize(area.width() * 3 / 4, area.height() * 3 / 4).expandedTo(minimum);
    step = std::max(step, 1);
    const int positions = std::min(CascadePositions(area.width(), size.width(), step),
                                   CascadePositions(area.height(), size.height(), step));
    const int offset = (std::max(index, 0) % positions) * step;
    return QRect(QPoint(offset, offset), size);
}

std::vector<QRect> TileGeometries(const QSize& area, int count, MdiTiling tiling) {
    std::vector<QRect> places;
    if (count <= 0)
        return places;
    // A grid as square as the count allows: "lines" are the columns when the windows stand side by side,
    // the rows when they are stacked; each line holds perLine windows, and the last line the rest.
    const int perLine = std::max(1, static_cast<int>(std::sqrt(static_cast<double>(count))));
    const int lines = count / perLine;
    const bool sideBySide = tiling == MdiTiling::SideBySide;
    const int across = sideBySide ? area.width() : area.height();
    const int along = sideBySide ? area.height() : area.width();
    int placed = 0;
    for (int line = 0; line < lines; ++line) {
        const int inLine = line + 1 == lines ? count - placed : perLine;
        const int lineStart = across * line / lines;
        const int lineEnd = across * (line + 1) / lines;
        for (int item = 0; item < inLine; ++item) {
            const int itemStart = along * item / inLine;
            const int itemEnd = along * (item + 1) / inLine;
            places.push_back(sideBySide
                                 ? QRect(lineStart, itemStart, lineEnd - lineStart, itemEnd - itemStart)
                                 : QRect(itemStart, lineStart, itemEnd - itemStart, lineEnd - lineStart));
        }
        placed += inLine;
    }
    return places;
}
