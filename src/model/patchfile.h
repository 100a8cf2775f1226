#pragma once

#include <QByteArray>
#include <QString>

// Why a patch file was not taken.
enum class PatchFileFault {
    None,
    CannotRead,     // missing, no permission, or reading failed
    NotRegularFile, // a folder, a FIFO, a device: opening or reading it could block for ever
    TooShort,       // fewer than 348 bytes
    NotPatch,       // 348 bytes that are not framed as this device's Type 1 or Type 2 message
};

// Reads the patch of a patch file: its first 348 bytes, framed as a patch message (this
// device's header F0 00 00 00 00 7F, a patch kind at offset 6, F7 at offset 347); whatever
// follows them is not read. Only regular files are opened. patch receives what was read, also
// when it is not a patch.
PatchFileFault read_patch_file(const QString &path, QByteArray *patch);

// The fault as the user is told it, e.g. "not a patch file"; empty for None.
QString patch_file_fault_text(PatchFileFault fault);

// Writes a patch file atomically: the file is replaced only once all 348 bytes are on disk, and
// the previous file stays whole if writing fails. False when patch is not 348 bytes or writing
// failed.
bool write_patch_file(const QString &path, const QByteArray &patch);
