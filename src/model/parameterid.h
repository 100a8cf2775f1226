#pragma once

// Names one parameter of a control; the same id means the same thing on every control.
// Plain (unscoped) so that ids travel as the unsigned integers the editor and menu pass around.
enum ParameterId : unsigned int {
    Channel = 0,
    CC = 1,
    CCX = 2,
    CCY = 3,
    Min = 4,
    MinX = 5,
    MinY = 6,
    Max = 7,
    MaxX = 8,
    MaxY = 9,
    Type = 10,
    Toggle = 11,
    NoteOrCC = 12,
    Aftertouch = 13,
    Colour = 14,
    ColourF = 15,
};
