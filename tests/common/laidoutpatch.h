#pragma once

#include "controltable.h"

// Gives every control a note or controller of its own on channel 1, none of them one that
// DAWs reserve, as a user lays a patch out: pads on notes 36..60, F1..F10 on 70..79, the
// transport and arrow buttons on 80..86, sliders, knobs and the crossfader on CC 40..60 in the
// order S1..S6, E1..E8, P1..P6, XFADER, the X-Y pad on CC 61 and 62.
inline void layOut(ControlTable &table)
{
    for (int i = 0; i < ControlTable::count; ++i) {
        MidiControlModel &model = *table.at(i);
        model.updateParameter(Channel, 0);
        model.updateParameter(Type, 0);
        if (i >= 39)
            model.updateParameter(NoteOrCC, static_cast<unsigned char>(36 + i - 39));
        else if (i >= 6 && i <= 15)
            model.updateParameter(NoteOrCC, static_cast<unsigned char>(70 + i - 6));
        else if (i >= 30 && i <= 36)
            model.updateParameter(NoteOrCC, static_cast<unsigned char>(80 + i - 30));
    }
    int cc = 40;
    for (int i : {0, 1, 2, 3, 4, 5, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 38})
        table.at(i)->updateParameter(CC, static_cast<unsigned char>(cc++));
    table.at(ControlTable::xyPadIndex)->updateParameter(CCX, 61);
    table.at(ControlTable::xyPadIndex)->updateParameter(CCY, 62);
}
