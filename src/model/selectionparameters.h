#pragma once

#include <QList>

#include <initializer_list>
#include <optional>

class MidiControlModel;

// Which parameters the selected controls have, and whether they agree on a value.
class SelectionParameters
{
public:
    // The ids of every parameter that at least one model has (the union), each once, in order
    // of the models and, within a model, of the ids.
    const QList<unsigned int> &collect(const QList<MidiControlModel *> &models);

    // True unless two of the models that have the parameter hold different values; models
    // without it do not count, wherever they stand in the list.
    static bool valuesEqual(const QList<MidiControlModel *> &models, unsigned int id);

    // The value that every model having one of the parameters holds in it; nothing when no
    // model has any of them or two values differ.
    static std::optional<unsigned char> commonValue(const QList<MidiControlModel *> &models,
                                                    std::initializer_list<unsigned int> ids);

private:
    QList<unsigned int> ids;
};
