#include "diagnosticlog.h"

#include "patchlayout.h"
#include "sysextext.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <utility>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const QString fileName = QStringLiteral("log.txt");

} // namespace

DiagnosticLog &DiagnosticLog::instance()
{
    static DiagnosticLog log;
    return log;
}

DiagnosticLog::~DiagnosticLog()
{
    flush();
}

void DiagnosticLog::log(const QString &file, const QString &line, const QString &function,
                        const QString &message)
{
    if (!m_enabled)
        return;
    const QString dir = QDir::currentPath();
    if (dir != m_pendingDir)
        flush();
    m_pendingDir = dir;
    m_pending << QStringLiteral("In: %1 on line: %2, %3 : %4\n\r\n")
                     .arg(printable_text(file), printable_text(line), printable_text(function),
                          printable_text(message))
                     .toUtf8();
    m_pendingBytes += m_pending.last().size();
    if (m_pendingBytes >= batchBytes || !QCoreApplication::instance()) {
        flush();
    } else if (!m_flushScheduled) {
        m_flushScheduled = true;
        QTimer::singleShot(flushIntervalMs, QCoreApplication::instance(), [this] {
            m_flushScheduled = false;
            flush();
        });
    }
}

void DiagnosticLog::flush()
{
    if (m_pending.isEmpty())
        return;
    const QList<QByteArray> entries = std::exchange(m_pending, {});
    m_pendingBytes = 0;
    const QString path = QDir(m_pendingDir).absoluteFilePath(fileName);
    const bool written = write(path, entries);
    m_file.close();
    if (written) {
        m_unwritable.clear();
    } else if (path != m_unwritable) {
        // Said once while this log stays unwritable; the caller goes on as if it had been
        // written.
        m_unwritable = path;
        qWarning().noquote() << "Couldn't write log file" << printable_text(path);
    }
}

bool DiagnosticLog::write(const QString &path, const QList<QByteArray> &entries)
{
    if (!open(path))
        return false;
    QByteArray chunk;
    for (const QByteArray &entry : entries) {
        const qint64 filled = m_file.size() + chunk.size();
        if (filled > 0 && filled + entry.size() > maxFileSize) {
            if (!append(chunk) || !turnOver(path))
                return false;
            chunk.clear();
        }
        chunk += entry;
    }
    return append(chunk);
}

bool DiagnosticLog::open(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return false;
#ifdef Q_OS_UNIX
    // Opened without waiting, in case something else took the name since the look above: a
    // FIFO would hold the window until a reader came. Whatever it is, only a regular file is
    // written to.
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    struct stat opened = {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(fd);
        return false;
    }
    // Unbuffered, so that each batch is one write and a second editor appending at the same
    // time cannot interleave with an entry. No text mode: "\n\r\n" goes out byte for byte.
    if (m_file.open(fd, QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered,
                    QFileDevice::AutoCloseHandle))
        return true;
    ::close(fd);
    return false;
#else
    m_file.setFileName(path);
    return m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
#endif
}

bool DiagnosticLog::append(const QByteArray &entries)
{
    if (entries.isEmpty())
        return true;
    const qint64 before = m_file.size();
    if (m_file.write(entries) == entries.size())
        return true;
    // A full disk took part of it: take that back, so the last entry is always whole.
    m_file.resize(before);
    return false;
}

bool DiagnosticLog::turnOver(const QString &path)
{
    m_file.close();
    const QString older = path + QStringLiteral(".1");
    QFile::remove(older);
    // Should the rename fail, nothing more is written rather than the log growing without end.
    return QFile::rename(path, older) && open(path);
}

void DiagnosticLog::logSysex(const QString &file, const QString &line, const QString &function,
                             const unsigned char *message, int length)
{
    const int limit = std::min(length, static_cast<int>(PatchLayout::length));
    log(file, line, function, sysex_hex(message, sysex_span(message, limit)));
}
