#pragma once

#include "parameterid.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>

class MidiControlModel;

// One control's parameters as copied to the clipboard: the control they come from and each
// parameter's value, in id order. Its text is the control's line of "vellichord show", so that a
// copy can go into a mail or a script, and come back from there.
class ControlCopy
{
public:
    using Values = QList<QPair<ParameterId, unsigned char>>;

    // The clipboard's private form: {"control": "PAD7", "values": {"channel": 9, ...}}, the
    // numbers as "vellichord show --json" gives them.
    static constexpr const char *mimeType = "application/x-vellichord-control";

    // Every parameter of model, the control at index.
    ControlCopy(int index, const MidiControlModel &model);

    int control() const { return source; }
    const Values &values() const { return copied; }

    // The line "vellichord show" prints for the control holding these values.
    QString text() const;
    QByteArray toJson() const;

    // A copy read back from its text or its JSON; nothing for anything else. A copy names one
    // control, then each of its parameters at most once (at least one), each with a value in
    // the parameter's range, written as "vellichord set" takes them.
    static std::optional<ControlCopy> fromText(const QString &text);
    static std::optional<ControlCopy> fromJson(const QByteArray &json);

    // Writes each copied value that target has a parameter for; with keepNumbers target keeps
    // its own note or controller numbers (Note/CC, CC, CC X, CC Y). Returns how many
    // parameters were written.
    int pasteOnto(MidiControlModel &target, bool keepNumbers) const;

private:
    ControlCopy(int index, Values values);
    // Checks the values against the control's parameters: nothing when one is unknown to it,
    // repeated or out of range, or when there are none.
    static std::optional<ControlCopy> checked(int index, const Values &values);

    int source;
    Values copied;
};
