#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

// Record of the messages handed to the patch parser, in "log.txt" of the working directory
// (the one current when the entry is made). Entries are gathered and written together, in one
// write from one opening of the file: at the latest flushIntervalMs after the first of them,
// as soon as batchBytes have gathered, at flush(), and when the program ends.
// It stays bounded: when an entry would take log.txt past maxFileSize, the file becomes
// "log.txt.1" (replacing an older one) and a new log.txt starts. Only a regular file (or none)
// is written: a FIFO or a device in its place is never waited on. Used on the GUI thread only.
class DiagnosticLog
{
public:
    static constexpr qint64 maxFileSize = 1024 * 1024;
    static constexpr int flushIntervalMs = 500;
    static constexpr int batchBytes = 64 * 1024;

    static DiagnosticLog &instance();
    // Writes what is still waiting.
    ~DiagnosticLog();

    // Off, entries are dropped: the command-line program leaves no log.txt in the folder a
    // script runs it in. On by default.
    void setEnabled(bool enabled) { m_enabled = enabled; }
    bool isEnabled() const { return m_enabled; }

    // Adds one entry, written whole or not at all; control characters in the texts are
    // escaped.
    void log(const QString &file, const QString &line, const QString &function,
             const QString &message);

    // Logs a SysEx message in hexadecimal, up to and including its first 0xF7, at most 348 bytes
    // and never past length.
    void logSysex(const QString &file, const QString &line, const QString &function,
                  const unsigned char *message, int length);

    // Writes the waiting entries now. When they cannot be written they are dropped and a
    // warning says so, once for a log until it can be written again; the caller goes on.
    void flush();

private:
    DiagnosticLog() = default;
    // Writes entries to the log at path, turning it over as they fill it.
    bool write(const QString &path, const QList<QByteArray> &entries);
    // Opens path for appending when it is a regular file or does not exist, without waiting.
    bool open(const QString &path);
    bool append(const QByteArray &entries);
    // Moves the full log at path out of the way and opens a new one.
    bool turnOver(const QString &path);

    QFile m_file;
    bool m_enabled = true;
    QList<QByteArray> m_pending;
    int m_pendingBytes = 0;
    // The folder the waiting entries were made in.
    QString m_pendingDir;
    bool m_flushScheduled = false;
    // The log that could not be written the last time, already warned about.
    QString m_unwritable;
};
