#include "diagnosticlog.h"

#include "patchlayout.h"
#include "sysextext.h"

#include <QDebug>
#include <QFileInfo>

#include <algorithm>

DiagnosticLog::DiagnosticLog()
    : m_file(QStringLiteral("log.txt"))
{
}

DiagnosticLog &DiagnosticLog::instance()
{
    static DiagnosticLog log;
    return log;
}

void DiagnosticLog::log(const QString &file, const QString &line, const QString &function,
                        const QString &message)
{
    if (!m_enabled)
        return;
    const QByteArray entry = QStringLiteral("In: %1 on line: %2, %3 : %4\n\r\n")
                                 .arg(printable_text(file), printable_text(line),
                                      printable_text(function), printable_text(message))
                                 .toUtf8();
    if (!makeRoom(entry.size())) {
        warnFailure();
        return;
    }
    // Unbuffered and in one write, so that a second editor appending at the same time cannot
    // interleave with the entry. No text mode: "\n\r\n" goes out byte for byte.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        warnFailure();
        return;
    }
    const qint64 before = m_file.size();
    if (m_file.write(entry) != entry.size()) {
        // A full disk took part of it: take that back, so the last entry is always whole.
        m_file.resize(before);
        m_file.close();
        warnFailure();
        return;
    }
    m_file.close();
}

bool DiagnosticLog::makeRoom(qint64 entrySize)
{
    const QFileInfo info(m_file);
    if (!info.isFile() || info.size() + entrySize <= maxFileSize)
        return true;
    const QString older = m_file.fileName() + QStringLiteral(".1");
    QFile::remove(older);
    // Should the rename fail, nothing is written rather than the log growing without end.
    return QFile::rename(m_file.fileName(), older);
}

void DiagnosticLog::warnFailure() const
{
    // The caller goes on as if the entry had been written.
    qWarning().noquote() << "Couldn't write log file"
                         << printable_text(QFileInfo(m_file).absoluteFilePath());
}

void DiagnosticLog::logSysex(const QString &file, const QString &line, const QString &function,
                             const unsigned char *message, int length)
{
    const int limit = std::min(length, static_cast<int>(PatchLayout::length));
    log(file, line, function, sysex_hex(message, sysex_span(message, limit)));
}
