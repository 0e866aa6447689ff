#pragma once

#include <QRect>
#include <QSize>

#include <vector>

// How the windows of a multiple-document area are arranged by the two tile commands: side by side (each
// as high as the area) or stacked (each as wide as the area). With more windows than fit in one row or
// column the windows form a grid, each column (or row) of it holding the same number of windows but the
// last, which takes the rest.
enum class MdiTiling { SideBySide, Stacked };

// The place of the index-th new window (0 for the first) in an area of the given size: cascaded from the
// top left, one step further down and right for each window already open, about three quarters of the
// area in each direction and never smaller than minimum. The cascade starts again at the top left when the
// next step would push the window out of the area.
QRect CascadeGeometry(const QSize& area, int index, int step, const QSize& minimum);

// The places of count windows tiled over an area of the given size, in the order the windows are given;
// together they cover the area exactly.
std::vector<QRect> TileGeometries(const QSize& area, int count, MdiTiling tiling);
