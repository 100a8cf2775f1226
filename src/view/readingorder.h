#pragma once

#include <QList>
#include <QRectF>

// Rectangles on the front panel grouped as a reader goes over them: rows from the top, each
// row left to right. Rectangles of different heights share a row when their spans from top to
// bottom overlap by at least half the smaller height: a knob beside a pad, an arrow button
// beside a knob.
namespace ReadingOrder {

// Indices into rects, row by row.
QList<QList<int>> rows(const QList<QRectF> &rects);

} // namespace ReadingOrder
