#pragma once

#include <QRectF>

class QPainter;

// The drawing of the Vellichord's front panel, in picture pixels (panelWidth x panelHeight of
// controlplacement.h), every control inside its rectangle of the placement table. Shared by the
// panel picture and the application icon, so the two always look alike.

// The whole panel.
void paintPanel(QPainter &p);
// Control index of the placement table alone, as on the panel.
void paintControl(QPainter &p, int index);
// The housing's face with its rim, as a rounded rectangle.
void paintHousing(QPainter &p, const QRectF &outline, qreal radius);
