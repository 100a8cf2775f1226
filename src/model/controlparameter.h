#pragma once

#include "parameterid.h"

#include <cstdint>

// One parameter of a control: its fixed range, its current value and the byte offset at which
// the value travels in the patch message.
class ControlParameter
{
public:
    ControlParameter(uint32_t address, uint8_t min, uint8_t max, uint8_t initial, uint32_t id);

    // Stores v clamped into min..max; out-of-range values are never rejected.
    void setValue(uint8_t v);

    uint8_t value() const { return m_value; }
    uint8_t min() const { return m_min; }
    uint8_t max() const { return m_max; }
    uint32_t address() const { return m_address; }
    uint32_t id() const { return m_id; }

private:
    uint8_t m_max;
    uint8_t m_min;
    uint8_t m_value;
    uint32_t m_address;
    uint32_t m_id;
};
