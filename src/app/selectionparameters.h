#pragma once

#include <QList>

class MidiControlModel;

// Which parameters the selected controls have, and whether they agree on a value.
class SelectionParameters
{
public:
    // The ids of every parameter that at least one model has (the union), each once, in order
    // of the models and, within a model, of the ids.
    const QList<unsigned int> &collect(const QList<MidiControlModel *> &models);

    // True unless two neighbours in the list both have the parameter with different values.
    // Only neighbours are compared: (1, absent, 2) counts as equal.
    static bool valuesEqual(const QList<MidiControlModel *> &models, unsigned int id);

private:
    QList<unsigned int> ids;
};
