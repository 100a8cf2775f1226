#pragma once

#include <QFile>
#include <QString>

// Append-only record of the patch messages the editor applies, in "log.txt" of the working
// directory. Used on the GUI thread only.
class DiagnosticLog
{
public:
    static DiagnosticLog &instance();

    // Appends one entry. When it cannot be written, a trace line says so and nothing else
    // happens.
    void log(const QString &file, const QString &line, const QString &function,
             const QString &message);

    // Logs a SysEx message in hexadecimal, up to and including its first 0xF7, at most 348 bytes
    // and never past length.
    void logSysex(const QString &file, const QString &line, const QString &function,
                  const unsigned char *message, int length);

private:
    DiagnosticLog();
    void traceFailure() const;

    QFile m_file;
};
