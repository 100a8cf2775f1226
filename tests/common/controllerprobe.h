#pragma once

#include "midicontroller.h"
#include "midimonitor.h"
#include "simulateddevice.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QTest>

// Looks into a patch controller talking to a simulated device.

// The controller's patch as the Type 1 message it sends.
inline QByteArray type1(MidiController &controller)
{
    return QByteArray(reinterpret_cast<const char *>(controller.getType1Sysex()), 348);
}

// Lets the monitor hand over everything the device has sent so far: the device's status
// answer comes last and is seen only after all that came before it.
inline bool drained(MidiController &controller, SimulatedDevice &device)
{
    controller.getMonitor()->clearStatus();
    device.sendStatus(0x7E);
    if (!QTest::qWaitFor([&] { return controller.getMonitor()->status() == 0x7E; }))
        return false;
    controller.getMonitor()->clearStatus();
    QCoreApplication::processEvents(); // the queued messages
    return true;
}

// One parameter's value, or 0xEE when the control has no such parameter.
inline unsigned char valueOf(MidiController &controller, int index, ParameterId id)
{
    unsigned char value = 0xEE;
    controller.getModels()->at(index)->getValue(id, &value);
    return value;
}
