#pragma once

#include "patch.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QTimer>

#include <functional>

class ControlTable;
class EmulatedDevice;

// Hands a message to the port; false when the port has no room for it now. A message of a
// flood leaves room in the port for the device's answers.
using SendNow = std::function<bool(const QByteArray &, bool flood)>;

// What the emulator's controls do, driven by lines on standard input: "touch CONTROL [VALUE]"
// sends what that control sends under the current patch, "flood N [CONTROL [PER_SECOND]]"
// sends N of its messages as fast as the port takes them, or at PER_SECOND.
class ControlPlayer
{
public:
    static constexpr int defaultValue = 64;

    ControlPlayer(EmulatedDevice &device, SendNow sendNow, bool hex);

    void touch(int control, int value);
    // A flood still under way is replaced. perSecond above 0 paces it.
    void flood(int count, int control, int perSecond);

private:
    const ControlTable &table();
    void pushFlood();
    QString text(const QByteArray &message) const;

    EmulatedDevice &device;
    SendNow sendNow;
    bool hex;
    Patch patch;
    QList<QByteArray> floodRound;
    qint64 floodCount = 0; // 0 while no flood goes on
    qint64 floodSent = 0;
    int floodControl = 0;
    int floodRate = 0;
    QElapsedTimer floodClock;
    QTimer retry;
};

// A line from standard input: "preset N" makes preset N current, "touch CONTROL [VALUE]" and
// "flood N [CONTROL [PER_SECOND]]" play the controls.
void takeInputLine(EmulatedDevice &device, ControlPlayer &player, const QString &line);
