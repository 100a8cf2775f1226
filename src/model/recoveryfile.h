#pragma once

#include "patchfile.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

// The editor's unsent patch, kept in a patch file when the editor is ended without being asked
// (logging out, kill, Ctrl-C), so that the next start can offer it back. Its time is the file's
// modification time.
class RecoveryFile
{
public:
    // recovery.syx in the application's data folder (~/.local/share/vellichord).
    RecoveryFile();
    explicit RecoveryFile(const QString &path);

    static QString defaultPath();

    const QString &path() const { return filePath; }
    bool exists() const;
    QDateTime time() const;

    // Writes the whole 348-byte patch atomically, making the folder when needed; a previous
    // file stays whole if writing fails.
    bool write(const QByteArray &patch);
    // patch receives the file's patch; a fault other than None means the file is damaged.
    PatchFileFault read(QByteArray *patch) const;
    bool remove();
    // Renames the file beside itself, under a name that tells its time and takes no other
    // file's place, so that a file that cannot be restored is never lost. Returns the new
    // path, empty when renaming failed.
    QString setAside();

private:
    QString filePath;
};
