#include "readingorder.h"

#include <algorithm>

namespace ReadingOrder {

QList<QList<int>> rows(const QList<QRectF> &rects)
{
    QList<int> order;
    for (int i = 0; i < rects.size(); ++i)
        order << i;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return rects.at(a).center().y() < rects.at(b).center().y();
    });
    QList<QList<int>> result;
    for (int i : qAsConst(order)) {
        if (!result.isEmpty()) {
            const QRectF &first = rects.at(result.last().first());
            const QRectF &rect = rects.at(i);
            const qreal overlap = std::min(first.bottom(), rect.bottom())
                - std::max(first.top(), rect.top());
            if (overlap >= std::min(first.height(), rect.height()) / 2) {
                result.last() << i;
                continue;
            }
        }
        result << QList<int>{i};
    }
    for (QList<int> &row : result) {
        std::stable_sort(row.begin(), row.end(), [&](int a, int b) {
            return rects.at(a).center().x() < rects.at(b).center().x();
        });
    }
    return result;
}

} // namespace ReadingOrder
