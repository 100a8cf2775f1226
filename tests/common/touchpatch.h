#pragma once

#include "controlnames.h"
#include "patch.h"

#include <QByteArray>
#include <QLatin1String>

// A patch for touching controls: every control on Ch 16 but PAD7 (Note 60 on Ch 10), PAD3 and
// F6 (both Note 61 on Ch 10) and E3 (CC 7 on Ch 1), as a Type 1 message for presetNo.
inline QByteArray touchPatch(int presetNo)
{
    Patch patch;
    patch.setPresetNo(presetNo);
    for (int i = 0; i < ControlTable::count; ++i)
        patch.controls().at(i)->updateParameter(Channel, 15);
    const auto note = [&patch](const char *name, int number) {
        MidiControlModel *model = patch.controls().at(ControlNames::indexOf(QLatin1String(name)));
        model->updateParameter(Channel, 9);
        model->updateParameter(Type, 0);
        model->updateParameter(NoteOrCC, static_cast<unsigned char>(number));
    };
    note("PAD7", 60);
    note("PAD3", 61);
    note("F6", 61);
    MidiControlModel *knob = patch.controls().at(ControlNames::indexOf(QLatin1String("E3")));
    knob->updateParameter(Channel, 0);
    knob->updateParameter(CC, 7);
    return patch.toType1();
}
