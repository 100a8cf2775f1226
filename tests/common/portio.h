#pragma once

#include "imidi.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QThread>

// What the tests of the real MIDI ports share: messages to send and reading what arrived.

// F0, length - 2 data bytes counting up from first, F7.
inline QByteArray sysex(int length, int first = 0)
{
    QByteArray result(1, char(0xF0));
    for (int i = 0; i < length - 2; ++i)
        result.append(char((first + i) % 0x80));
    result.append(char(0xF7));
    return result;
}

inline int send(IMidi &port, QByteArray message)
{
    return port.sendSysex(reinterpret_cast<unsigned char *>(message.data()),
                          unsigned(message.size()));
}

// Reads from the port until count bytes have come or five seconds have passed.
inline QByteArray readBytes(IMidi &port, int count)
{
    QByteArray result;
    unsigned char buffer[1024];
    QElapsedTimer timer;
    timer.start();
    while (result.size() < count && timer.elapsed() < 5000) {
        const int got = port.read(buffer, sizeof buffer);
        if (got <= 0)
            QThread::msleep(1);
        else
            result.append(reinterpret_cast<const char *>(buffer), got);
    }
    return result;
}
