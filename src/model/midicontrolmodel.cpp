#include "midicontrolmodel.h"
#include "parameterinfo.h"
#include "trace.h"

#include "patchlayout.h"

#include <QDebug>
#include <QRegularExpression>

void MidiControlModel::addParameter(const ControlParameter &p)
{
    m_parameters.insert(p.id(), p);
}

void MidiControlModel::updateParameter(unsigned int id, unsigned char value)
{
    auto it = m_parameters.find(id);
    if (it == m_parameters.end())
        return;
    it->setValue(value);
    qCDebug(lcTrace) << "MidiControlModel::updateParameter" << it->address() << it->id()
                     << it->value();
}

const ControlParameter *MidiControlModel::getParameter(ParameterId id) const
{
    auto it = m_parameters.constFind(id);
    return it == m_parameters.constEnd() ? nullptr : &it.value();
}

bool MidiControlModel::getValue(ParameterId id, unsigned char *out) const
{
    const ControlParameter *p = getParameter(id);
    if (!p)
        return false;
    if (out)
        *out = p->value();
    return true;
}

void MidiControlModel::updateModel(const unsigned char *message, unsigned int length)
{
    for (ControlParameter &p : m_parameters) {
        if (p.address() < length)
            p.setValue(message[p.address()]);
        else
            qCDebug(lcTrace) << "address" << p.address() << "out of bounds";
    }
}

void MidiControlModel::writeType1Sysex(unsigned char *message) const
{
    for (const ControlParameter &p : m_parameters) {
        // Offset 0 is the SysEx start byte and never belongs to a parameter.
        if (p.address() > 0 && p.address() < PatchLayout::length)
            message[p.address()] = p.value();
        else
            qCDebug(lcTrace) << p.address() << " out of bounds";
    }
}

QStringList MidiControlModel::noteNames()
{
    static const QStringList names = [] {
        static const char *const pitches[] = {"C",  "C#", "D",  "D#", "E",  "F",
                                              "F#", "G",  "G#", "A",  "A#", "B"};
        QStringList list;
        for (int note = 0; note < 128; ++note)
            list.append(QLatin1String(pitches[note % 12]) + QString::number(note / 12 - 2));
        return list;
    }();
    return names;
}

std::optional<int> MidiControlModel::noteNumber(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^([A-Ga-g])([#b]?)(-?[0-9]{1,2})$"));
    const QRegularExpressionMatch match = pattern.match(name.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    const QChar letter = match.captured(1).toUpper().at(0);
    const QString accidental = match.captured(2);
    // Only the spellings of the twelve keys: no E#, B#, Cb or Fb.
    if ((accidental == QLatin1String("#") && (letter == 'E' || letter == 'B'))
        || (accidental == QLatin1String("b") && (letter == 'C' || letter == 'F')))
        return std::nullopt;
    static const int steps[] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
    int note = steps[letter.unicode() - 'A'] + (match.captured(3).toInt() + 2) * 12;
    if (accidental == QLatin1String("#"))
        ++note;
    else if (!accidental.isEmpty())
        --note;
    return note;
}
