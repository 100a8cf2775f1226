#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class ControlTable;

// What makes a patch misbehave in a DAW: controls that send the same note or controller on the
// same channel, which the DAW cannot tell apart, and controls on the controller numbers that
// DAWs and synths take for bank select, parameter numbers and channel mode. Reads the
// models and changes nothing; 64 controls take no time to check, so callers run it at will.
class PatchCheck
{
public:
    struct Finding
    {
        QList<int> controls; // in index order, each once
        QString reason;      // names the controls: one line for people
    };

    // The findings, those of shared notes and controllers first, in the order of their first
    // control. A control on the global channel shares only with others on it.
    static QList<Finding> run(const ControlTable &controls);
    // The reasons of the findings that concern control.
    static QStringList reasonsFor(const QList<Finding> &findings, int control);
    // What DAWs and synths reserve controller for ("bank select"); empty for a free one.
    static QString reservedFor(int controller);
};
