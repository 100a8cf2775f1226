#include "recoveryfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

RecoveryFile::RecoveryFile()
    : RecoveryFile(defaultPath())
{
}

RecoveryFile::RecoveryFile(const QString &path)
    : filePath(path)
{
}

QString RecoveryFile::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
        + QStringLiteral("/recovery.syx");
}

bool RecoveryFile::exists() const
{
    return QFileInfo::exists(filePath);
}

QDateTime RecoveryFile::time() const
{
    return QFileInfo(filePath).lastModified();
}

bool RecoveryFile::write(const QByteArray &patch)
{
    return QDir().mkpath(QFileInfo(filePath).absolutePath()) && write_patch_file(filePath, patch);
}

PatchFileFault RecoveryFile::read(QByteArray *patch) const
{
    return read_patch_file(filePath, patch);
}

bool RecoveryFile::remove()
{
    return QFile::remove(filePath) || !exists();
}

QString RecoveryFile::setAside()
{
    const QFileInfo info(filePath);
    const QString stem = info.dir().filePath(
        info.completeBaseName() + QLatin1Char('-')
        + info.lastModified().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    const QString suffix = QLatin1Char('.') + info.suffix();
    for (int n = 1; n < 1000; ++n) {
        const QString aside = n == 1 ? stem + suffix : stem + QStringLiteral("-%1").arg(n) + suffix;
        // QFile::rename would not replace it; a name in use is passed over.
        if (!QFileInfo::exists(aside))
            return QFile::rename(filePath, aside) ? aside : QString();
    }
    return QString();
}
