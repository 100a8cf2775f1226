#include "panelnavigation.h"

#include "controlplacement.h"

#include <QRectF>

#include <limits>

namespace PanelNavigation {

int nearest(int from, Direction direction)
{
    if (from < 0 || from >= int(controlRects.size()))
        return -1;
    const QPointF origin = QRectF(controlRects.at(from)).center();
    int best = -1;
    qreal bestScore = std::numeric_limits<qreal>::max();
    for (int i = 0; i < int(controlRects.size()); ++i) {
        const QPointF offset = QRectF(controlRects.at(i)).center() - origin;
        qreal along = 0;
        qreal across = 0;
        switch (direction) {
        case Direction::Left:
            along = -offset.x();
            across = offset.y();
            break;
        case Direction::Right:
            along = offset.x();
            across = offset.y();
            break;
        case Direction::Up:
            along = -offset.y();
            across = offset.x();
            break;
        case Direction::Down:
            along = offset.y();
            across = offset.x();
            break;
        }
        // Half a pixel: centres of one row or column are not "beyond" each other.
        if (along < 0.5)
            continue;
        const qreal score = along + 2 * qAbs(across);
        if (score < bestScore) {
            bestScore = score;
            best = i;
        }
    }
    return best;
}

} // namespace PanelNavigation
