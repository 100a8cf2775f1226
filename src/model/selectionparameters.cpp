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
    std::optional<unsigned char> seen;
    for (const MidiControlModel *model : models) {
        unsigned char value = 0;
        if (!model->getValue(static_cast<ParameterId>(id), &value))
            continue;
        if (seen && *seen != value)
            return false;
        seen = value;
    }
    return true;
}

std::optional<unsigned char>
SelectionParameters::commonValue(const QList<MidiControlModel *> &models,
                                 std::initializer_list<unsigned int> ids)
{
    std::optional<unsigned char> common;
    for (const MidiControlModel *model : models) {
        for (const unsigned int id : ids) {
            unsigned char value = 0;
            if (!model->getValue(static_cast<ParameterId>(id), &value))
                continue;
            if (common && *common != value)
                return std::nullopt;
            common = value;
        }
    }
    return common;
}
