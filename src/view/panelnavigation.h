#pragma once

// Moving between the controls of the front panel with the arrow keys.
namespace PanelNavigation {

enum class Direction { Left, Right, Up, Down };

// The control nearest to control from in that direction on the picture, or -1 when none lies
// that way. Nearness counts the distance along the direction once and the distance across it
// twice, so that a move keeps to its row or column where it can.
int nearest(int from, Direction direction);

} // namespace PanelNavigation
