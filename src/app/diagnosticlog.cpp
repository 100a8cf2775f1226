#include "diagnosticlog.h"
#include "trace.h"

#include "patchlayout.h"
#include "sysextext.h"

#include <QDebug>
#include <QFileInfo>
#include <QTextStream>

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
    // No text mode: the entry's "\n\r\n" ending goes out byte for byte.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        traceFailure();
        return;
    }
    QTextStream out(&m_file);
    out.setCodec("UTF-8");
    out << "In: " << file << " on line: " << line << ", " << function << " : " << message << "\n\r"
        << Qt::endl;
    const bool written = out.status() == QTextStream::Ok && m_file.flush();
    m_file.close();
    if (!written)
        traceFailure();
}

void DiagnosticLog::traceFailure() const
{
    // The caller goes on as if the entry had been written.
    qWarning().noquote() << "Couldn't write log file" << QFileInfo(m_file).absoluteFilePath();
}

void DiagnosticLog::logSysex(const QString &file, const QString &line, const QString &function,
                             const unsigned char *message, int length)
{
    const int limit = std::min(length, static_cast<int>(PatchLayout::length));
    log(file, line, function, sysex_hex(message, sysex_span(message, limit)));
}
