#pragma once

#include <QRect>

#include <array>

// Size of the front-panel picture, in pixels.
inline constexpr int panelWidth = 638;
inline constexpr int panelHeight = 534;

// The screen of the device's display, which shows the preset and the selected control.
inline constexpr QRect displayScreenRect{473, 37, 129, 48};

// Where each control lies on the front-panel picture, in picture pixels, by control index.
// The picture itself is painted from this table too, so no rectangle can drift off its control.
// clang-format off
inline constexpr std::array<QRect, 64> controlRects = {{
    // 0-5: sliders S1-S4 (horizontal, left), S5 and S6 (vertical, right)
    {32, 240, 85, 50}, {32, 310, 85, 50}, {32, 380, 85, 50}, {32, 450, 85, 50},
    {478, 340, 50, 85}, {551, 340, 50, 85},
    // 6-15: function buttons F1-F8 in two rows, F9 and F10 on the right
    {175, 160, 70, 30}, {245, 160, 70, 30}, {315, 160, 70, 30}, {385, 160, 70, 30},
    {175, 190, 70, 30}, {245, 190, 70, 30}, {315, 190, 70, 30}, {385, 190, 70, 30},
    {473, 295, 70, 30}, {546, 295, 70, 30},
    // 16-23: knobs E1-E8 in two rows
    {185, 40, 50, 50}, {255, 40, 50, 50}, {325, 40, 50, 50}, {395, 40, 50, 50},
    {185, 100, 50, 50}, {255, 100, 50, 50}, {325, 100, 50, 50}, {395, 100, 50, 50},
    // 24-29: knobs P1-P4 beside the sliders, P5 and P6 on the right
    {122, 240, 50, 50}, {122, 310, 50, 50}, {122, 380, 50, 50}, {122, 450, 50, 50},
    {478, 235, 50, 50}, {551, 235, 50, 50},
    // 30-32: STOP/CANCEL, PLAY/ENTER, RECORD/EXIT
    {520, 180, 35, 40}, {468, 180, 35, 40}, {572, 180, 35, 40},
    // 33-36: arrows down, up, left, right
    {572, 140, 35, 25}, {572, 100, 35, 25}, {468, 100, 35, 25}, {468, 140, 35, 25},
    // 37: X-Y pad; 38: crossfader
    {37, 60, 120, 155}, {468, 440, 145, 60},
    // 39-63: pads, five rows of five
    {175, 230, 56, 56}, {231, 230, 56, 56}, {287, 230, 56, 56}, {343, 230, 56, 56}, {399, 230, 56, 56},
    {175, 286, 56, 56}, {231, 286, 56, 56}, {287, 286, 56, 56}, {343, 286, 56, 56}, {399, 286, 56, 56},
    {175, 342, 56, 56}, {231, 342, 56, 56}, {287, 342, 56, 56}, {343, 342, 56, 56}, {399, 342, 56, 56},
    {175, 398, 56, 56}, {231, 398, 56, 56}, {287, 398, 56, 56}, {343, 398, 56, 56}, {399, 398, 56, 56},
    {175, 454, 56, 56}, {231, 454, 56, 56}, {287, 454, 56, 56}, {343, 454, 56, 56}, {399, 454, 56, 56},
}};
// clang-format on
