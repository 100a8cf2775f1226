#include "controltable.h"

#include "parameterinfo.h"

#include <initializer_list>

namespace {

// Adds the parameters in offset order from base: the first at base, the next at base + 1, ...
void addBlock(MidiControlModel &model, unsigned int base, std::initializer_list<ParameterId> ids)
{
    unsigned int address = base;
    for (ParameterId id : ids) {
        const ParameterInfo::Info &p = ParameterInfo::of(id);
        model.addParameter(ControlParameter(address++, p.min, p.max, p.initial, id));
    }
}

void addContinuous(MidiControlModel &model, unsigned int base) // slider, knob, crossfader
{
    addBlock(model, base, {Channel, CC, Min, Max});
}

void addNavigationButton(MidiControlModel &model, unsigned int base)
{
    addBlock(model, base, {Type, Toggle, Channel, NoteOrCC});
}

void addFunctionButton(MidiControlModel &model, unsigned int base)
{
    addBlock(model, base, {Type, Toggle, Channel, NoteOrCC, ColourF});
}

void addPad(MidiControlModel &model, unsigned int base)
{
    addBlock(model, base, {Type, Toggle, Channel, NoteOrCC, Aftertouch, Colour});
}

void addXYPad(MidiControlModel &model)
{
    // The Y block's Channel replaces the X block's, so the stored Channel lives at 59.
    addBlock(model, ControlTable::xyPadXChannelAddress, {Channel, CCX, MinX, MaxX});
    addBlock(model, 59, {Channel, CCY, MinY, MaxY});
}

} // namespace

ControlTable::ControlTable()
{
    for (auto &model : m_models)
        model = std::make_unique<MidiControlModel>();

    for (int i = 0; i <= 5; ++i) // S1..S6
        addContinuous(*m_models[i], 27 + 4 * i);
    for (int i = 6; i <= 13; ++i) // F1..F8
        addFunctionButton(*m_models[i], 217 + 5 * (i - 6));
    addFunctionButton(*m_models[14], 281); // F9
    addFunctionButton(*m_models[15], 286); // F10
    for (int i = 16; i <= 29; ++i)         // E1..E8, P1..P6
        addContinuous(*m_models[i], 291 + 4 * (i - 16));
    addNavigationButton(*m_models[30], 213); // Stop
    addNavigationButton(*m_models[31], 273); // Play
    addNavigationButton(*m_models[32], 277); // Record
    addNavigationButton(*m_models[33], 269); // arrow down
    addNavigationButton(*m_models[34], 265); // arrow up
    addNavigationButton(*m_models[35], 257); // arrow left
    addNavigationButton(*m_models[36], 261); // arrow right
    addXYPad(*m_models[xyPadIndex]);
    addContinuous(*m_models[38], 51); // crossfader
    for (int i = 39; i < count; ++i)  // pads 1..25
        addPad(*m_models[i], 63 + 6 * (i - 39));
}

MidiControlModel *ControlTable::at(int index) const
{
    if (index < 0 || index >= count)
        return nullptr;
    return m_models[index].get();
}

ParameterInfo::Kind ControlTable::kindOf(int index)
{
    using Kind = ParameterInfo::Kind;
    if (index >= 6 && index <= 15)
        return Kind::FunctionButton;
    if (index >= 30 && index <= 36)
        return Kind::NavigationButton;
    if (index == xyPadIndex)
        return Kind::XYPad;
    if (index >= 39)
        return Kind::Pad;
    return Kind::Continuous; // S1..S6, E1..E8, P1..P6, the crossfader
}
