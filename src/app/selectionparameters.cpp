#include "selectionparameters.h"

#include "midicontrolmodel.h"

const QList<unsigned int> &SelectionParameters::collect(const QList<MidiControlModel *> &models)
{
    ids.clear();
    for (const MidiControlModel *model : models) {
        for (const ControlParameter &parameter : model->parameters()) {
            if (!ids.contains(parameter.id()))
                ids.append(parameter.id());
        }
    }
    return ids;
}

bool SelectionParameters::valuesEqual(const QList<MidiControlModel *> &models, unsigned int id)
{
    const auto parameterId = static_cast<ParameterId>(id);
    for (int i = 1; i < models.size(); ++i) {
        unsigned char previous = 0;
        unsigned char current = 0;
        if (models[i - 1]->getValue(parameterId, &previous)
            && models[i]->getValue(parameterId, &current) && previous != current)
            return false;
    }
    return true;
}
