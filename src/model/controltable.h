#pragma once

#include "midicontrolmodel.h"
#include "parameterinfo.h"

#include <array>
#include <memory>

// The device's 64 controls in fixed index order, each with its parameters at their addresses:
// at the same time the list of controls and the memory map of the patch message.
class ControlTable
{
public:
    static constexpr int count = 64;
    static constexpr int xyPadIndex = 37;
    // The X-Y pad has a channel byte per axis but one Channel parameter (stored at the Y axis);
    // the X axis byte carries the same channel when a message is built.
    static constexpr unsigned int xyPadXChannelAddress = 55;

    ControlTable();

    // The model at index, or nullptr outside 0..63.
    MidiControlModel *at(int index) const;
    // The kind of the control at index (0..63): which parameters it has.
    static ParameterInfo::Kind kindOf(int index);

private:
    std::array<std::unique_ptr<MidiControlModel>, count> m_models;
};
