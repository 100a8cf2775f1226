#pragma once

#include "controlparameter.h"

#include <QMap>
#include <QStringList>

#include <optional>

// One physical control: nothing but its parameters, ordered by id. The kind of a control shows
// only in which parameters the model holds.
class MidiControlModel
{
public:
    // Stores p under its id, replacing a parameter already stored there.
    void addParameter(const ControlParameter &p);

    // Clamp-stores value into parameter id; ignored when the model has no such parameter.
    void updateParameter(unsigned int id, unsigned char value);

    const ControlParameter *getParameter(ParameterId id) const;

    // False when the model lacks the parameter; otherwise writes its value through out (if given).
    bool getValue(ParameterId id, unsigned char *out) const;

    // Takes every parameter's value from a patch message of the given length, clamped.
    void updateModel(const unsigned char *message, unsigned int length);

    // Writes every parameter's value into a patch message under construction.
    void writeType1Sysex(unsigned char *message) const;

    const QMap<unsigned int, ControlParameter> &parameters() const { return m_parameters; }

    // Value names: a text's position in its list is the value it stands for.
    // C-2 .. G8: entry n names MIDI note n (middle C, note 60, is C3).
    static QStringList noteNames();
    // The number of a note written by name: C, C# or Db, D, ... B, any letter case, then the
    // octave (C3 is 60); the number may lie outside 0..127 ("G#8"). Nothing for a text that is
    // no note name.
    static std::optional<int> noteNumber(const QString &name);

private:
    QMap<unsigned int, ControlParameter> m_parameters;
};
