#pragma once

#include "patchlayout.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>

// Why a library file was not taken. A library file is the patch messages of a set one after
// the other, each 348 bytes whose byte 9 is its preset number; a patch file is a library of one.
enum class LibraryFileFault {
    None,
    CannotRead,       // missing, no permission, or reading failed
    NotRegularFile,   // a folder, a FIFO, a device: reading it could block for ever
    Empty,            // no byte at all
    TooLarge,         // more than twenty messages' worth of bytes
    TooShort,         // the message at `place` ends before its 348 bytes
    NotPatch,         // the 348 bytes at `place` are not framed as this device's patch message
    PresetOutOfRange, // the message at `place` is for a preset number outside 0..19
    DuplicatePreset,  // the message at `place` is for a preset number an earlier one had
};

// A fault and where it lies: the message's place in the file (1 for the first) and its first
// byte's offset. Both are 0 for faults of the whole file.
struct LibraryFileError
{
    LibraryFileFault fault = LibraryFileFault::None;
    int place = 0;
    qint64 offset = 0;
    int presetNo = -1; // for PresetOutOfRange and DuplicatePreset

    explicit operator bool() const { return fault != LibraryFileFault::None; }
};

// The fault as the user is told it, e.g. "message 3 (byte 696): preset number 25 is outside
// 0..19"; empty for None.
QString library_file_fault_text(const LibraryFileError &error);

// The patch messages of a library file's bytes, in file order, each as it stands in the file
// (Type 1 or Type 2 framing). Nothing is returned unless every message is whole and good.
LibraryFileError parse_library(const QByteArray &data, QList<QByteArray> *messages);

// Reads a library file: a regular file of at most twenty messages, parsed as above.
LibraryFileError read_library_file(const QString &path, QList<QByteArray> *messages);

// Writes messages one after the other, atomically: the file is replaced only once every byte is
// on disk. False when a message is not 348 bytes or writing failed.
bool write_library_file(const QString &path, const QList<QByteArray> &messages);

// The twenty presets of a device as the editor keeps them: each row empty or one whole Type 1
// message carrying its row's preset number. Rows also remember where their patch came from and
// what the device is known to hold for their preset, for the unsent marks.
class PatchLibrary
{
public:
    static constexpr int presetCount = PatchLayout::highestPresetNo + 1;

    enum class Origin {
        Empty,
        Device,  // received from the device
        File,    // read from a library or patch file
        Changed, // stored, pasted, renamed, swapped or otherwise changed since read
        Sent,    // handed to the MIDI system for the device
    };

    // What undo keeps of a row: its message (empty for an empty row) and its origin.
    struct Row
    {
        QByteArray message;
        Origin origin = Origin::Empty;
        bool operator==(const Row &other) const
        {
            return message == other.message && origin == other.origin;
        }
        bool operator!=(const Row &other) const { return !(*this == other); }
    };
    using Rows = std::array<Row, presetCount>;

    static bool validPresetNo(int presetNo) { return presetNo >= 0 && presetNo < presetCount; }

    // Whether two patch messages (either kind) hold the same patch: preset number, name and
    // every byte the device's patch is read from. The header, the kind, bytes 7, 8 and 10 and
    // the X-Y pad's byte 55 are not read from a device's patch, so a device may answer with
    // others there.
    static bool samePatch(const QByteArray &a, const QByteArray &b);

    // The message made from a patch message of either kind for the row presetNo: Type 1, byte 9
    // set to presetNo. Empty when message is not a whole patch message of this device.
    static QByteArray messageForRow(const QByteArray &message, int presetNo);

    const Rows &rows() const { return m_rows; }
    // Puts rows back as undo kept them; the device's known patches stay.
    void setRows(const Rows &rows) { m_rows = rows; }

    bool isEmpty(int presetNo) const;
    int count() const;
    // The row's Type 1 message; empty for an empty row or a number outside 0..19.
    QByteArray message(int presetNo) const;
    // The preset name in the row's message, up to its first NUL, as Latin-1; empty when empty.
    QString name(int presetNo) const;
    Origin origin(int presetNo) const;

    // Whether the row holds a patch other than what the device is known to hold for its preset
    // (also when nothing is known of it). An empty row differs from nothing.
    bool differsFromDevice(int presetNo) const;
    // What the device is known to hold for presetNo, as a Type 1 message; empty when unknown.
    QByteArray deviceMessage(int presetNo) const;
    // Forgets what the device holds, for another device or after a firmware update.
    void forgetDevice();

    // Each of these changes nothing and returns false for a number outside 0..19 or a message
    // that is not a whole patch message of this device.
    // Puts message into the row presetNo as a change of the user's (store, paste).
    bool store(int presetNo, const QByteArray &message);
    // The device's patch (Type 2 or Type 1) into the row of its own preset number, which the
    // device is then known to hold. The row's number; -1 when the number lies outside 0..19.
    int receive(const QByteArray &message);
    // Records that the device holds the patch (Type 2 or Type 1) for its own preset number, the
    // rows staying as they are. The row's number; -1 when the number lies outside 0..19.
    int noteDevice(const QByteArray &message);
    // Records that the row's message was handed to the MIDI system for the device.
    bool markSent(int presetNo);
    // Empties the row.
    bool clear(int presetNo);
    // Gives the row the name fitted as the device can store it (see Patch::fitName).
    bool rename(int presetNo, const QString &name);
    // Exchanges two rows; each message takes the preset number of the row it lands in.
    bool swap(int first, int second);

    // The messages of the rows that are not empty, in preset order, as a file holds them.
    QList<QByteArray> messages() const;
    // Replaces every row with the messages of a file (each into the row of its own preset
    // number, origin File; the other rows empty). Nothing changes unless every message is a
    // patch for a distinct preset in 0..19.
    LibraryFileError setMessages(const QList<QByteArray> &messages);

    // Reads a library file into the rows, as setMessages. Nothing changes on a fault.
    LibraryFileError load(const QString &path);
    // Writes the rows that are not empty as a library file, atomically.
    bool save(const QString &path) const;

private:
    Rows m_rows;
    std::array<QByteArray, presetCount> m_device;
};
