#pragma once

#include "controltable.h"
#include "patchfile.h"
#include "patchlayout.h"

#include <QByteArray>
#include <QList>
#include <QString>

// A parameter byte of a patch message that lies outside the parameter's range, and the value
// the parameter takes it as.
struct OutOfRangeValue
{
    int control = 0; // control index
    ParameterId id = Channel;
    unsigned char stored = 0;
    unsigned char value = 0;
};

// "2 values were out of range and were brought into range (PAD1 Channel 50 → 16)", naming the
// first; empty for none.
QString out_of_range_text(const QList<OutOfRangeValue> &values);

// "preset number 50 is outside 0..19", for a number that no preset has; empty for 0..19.
QString preset_out_of_range_text(int presetNo);

// A patch without a device: the preset name and number and the 64 control models, with the
// patch message they make and the patch message they are taken from.
class Patch
{
public:
    // The name of a patch that no message has been applied to.
    static constexpr const char *defaultName = "tarvelvellichord";

    // A name as the device can store it: printable ASCII, at most PatchLayout::nameLength
    // characters. fitName makes one of a typed or pasted text.
    struct NameFit
    {
        QString text;
        int cursor = 0;  // where the cursor given stands in text
        QString refused; // the characters that are not printable ASCII, in order
        QString cut;     // the characters past the length, taken from just before the cursor
    };
    // Drops what the name cannot hold from text with the cursor at cursor (in UTF-16 units):
    // every character that is not printable ASCII, then, while the name is too long, the
    // characters just before the cursor, which are the ones just typed or pasted.
    static NameFit fitName(const QString &text, int cursor);

    QString name() const { return presetName; }
    void setName(const QString &name);
    // The preset number as the last message applied stored it, also outside 0..19: such a
    // number is kept and written back as it was, never replaced by another preset's, and a
    // patch with it is not to be sent (it would go to a preset the user did not choose).
    int presetNo() const { return number; }
    bool presetNoInRange() const { return number >= 0 && number <= PatchLayout::highestPresetNo; }
    // A number outside 0..19 is ignored.
    void setPresetNo(int presetNo);

    ControlTable &controls() { return table; }
    const ControlTable &controls() const { return table; }

    // Writes the Type 1 message into message, which holds PatchLayout::length bytes. A name
    // byte that is not printable ASCII goes out as '?'; the name ends at its first NUL.
    void writeType1(unsigned char *message) const;
    QByteArray toType1() const;

    // Takes the name, the preset number and every parameter (clamped to its range) from a
    // patch message, Type 2 from the device or Type 1 from a file. Returns false, changing
    // nothing, for a message that is not exactly a patch of either kind with this device's
    // header.
    bool apply(const QByteArray &message);

    // The parameters whose byte in message, a whole patch message, lies outside their range,
    // in control and id order. The preset number and the name are no parameters.
    QList<OutOfRangeValue> outOfRange(const QByteArray &message) const;
    // Those of the message last applied.
    const QList<OutOfRangeValue> &broughtIntoRange() const { return lastOutOfRange; }

    // Reads a patch file and applies it, preset number included. Nothing changes unless the
    // result is PatchFileFault::None.
    PatchFileFault load(const QString &path);
    // Writes the Type 1 message as a patch file, atomically.
    bool save(const QString &path) const;

private:
    QString presetName = QLatin1String(defaultName);
    int number = 0;
    ControlTable table;
    QList<OutOfRangeValue> lastOutOfRange;
};
