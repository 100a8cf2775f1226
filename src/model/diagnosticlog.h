#pragma once

#include <QFile>
#include <QString>

// Record of the messages handed to the patch parser, in "log.txt" of the working directory.
// It stays bounded: when an entry would take log.txt past maxFileSize, the file becomes
// "log.txt.1" (replacing an older one) and a new log.txt starts. Used on the GUI thread only.
class DiagnosticLog
{
public:
    static constexpr qint64 maxFileSize = 1024 * 1024;

    static DiagnosticLog &instance();

    // Off, entries are dropped: the command-line program leaves no log.txt in the folder a
    // script runs it in. On by default.
    void setEnabled(bool enabled) { m_enabled = enabled; }
    bool isEnabled() const { return m_enabled; }

    // Appends one entry, written whole or not at all; control characters in the texts are
    // escaped. When it cannot be written, a warning says so and nothing else happens.
    void log(const QString &file, const QString &line, const QString &function,
             const QString &message);

    // Logs a SysEx message in hexadecimal, up to and including its first 0xF7, at most 348 bytes
    // and never past length.
    void logSysex(const QString &file, const QString &line, const QString &function,
                  const unsigned char *message, int length);

private:
    DiagnosticLog();
    // Moves a log.txt that an entry of entrySize bytes would take past the bound out of the way.
    bool makeRoom(qint64 entrySize);
    void warnFailure() const;

    QFile m_file;
    bool m_enabled = true;
};
