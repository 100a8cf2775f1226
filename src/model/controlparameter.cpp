#include "controlparameter.h"

ControlParameter::ControlParameter(uint32_t address, uint8_t min, uint8_t max, uint8_t initial,
                                   uint32_t id)
    : m_max(max)
    , m_min(min)
    , m_value(initial)
    , m_address(address)
    , m_id(id)
{
}

void ControlParameter::setValue(uint8_t v)
{
    if (v < m_min)
        m_value = m_min;
    else if (v < m_max)
        m_value = v;
    else
        m_value = m_max;
}
