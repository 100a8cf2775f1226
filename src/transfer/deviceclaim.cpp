#include "deviceclaim.h"
#include "trace.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>

namespace {

// Long enough for another program's look at a claim (take and release at once) to pass.
constexpr int takeWaitMs = 200;

// The lock of the claim at path, as QLockFile reports it, after a quick look; the lock file is
// left as it was found.
bool lookAtClaim(const QString &path, DeviceClaim::Holder *holder)
{
    QLockFile probe(path);
    probe.setStaleLockTime(0); // a live holder keeps its claim however long it runs
    if (probe.tryLock(0)) {
        probe.unlock();
        return false;
    }
    if (probe.error() != QLockFile::LockFailedError)
        return false;
    DeviceClaim::Holder found;
    QString host;
    probe.getLockInfo(&found.pid, &host, &found.program);
    if (holder)
        *holder = found;
    return true;
}

} // namespace

QString DeviceClaim::Holder::name() const
{
    if (program == QLatin1String("vellichord-editor"))
        return QCoreApplication::translate("DeviceClaim", "the Vellichord Editor");
    if (program == QLatin1String("vellichord"))
        return QStringLiteral("vellichord update");
    return program;
}

DeviceClaim::DeviceClaim(Kind kind)
    : lock(std::make_unique<QLockFile>(path(kind)))
{
    lock->setStaleLockTime(0);
}

DeviceClaim::~DeviceClaim() = default; // QLockFile's destructor unlocks

bool DeviceClaim::take(Holder *other)
{
    if (taken)
        return true;
    if (lock->tryLock(takeWaitMs)) {
        taken = true;
        return true;
    }
    if (lock->error() != QLockFile::LockFailedError) {
        qCDebug(lcTrace).noquote() << "Cannot make the lock file" << lock->error();
        return true;
    }
    if (other) {
        *other = Holder();
        QString host;
        lock->getLockInfo(&other->pid, &host, &other->program);
    }
    return false;
}

void DeviceClaim::release()
{
    if (taken)
        lock->unlock();
    taken = false;
}

bool DeviceClaim::isTaken() const
{
    return taken;
}

bool DeviceClaim::isHeld(Kind kind, Holder *holder)
{
    return lookAtClaim(path(kind), holder);
}

QString DeviceClaim::path(Kind kind)
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString folder = !runtime.isEmpty() && QFileInfo(runtime).isDir() ? runtime
                                                                            : QDir::tempPath();
    return QDir(folder).filePath(kind == Kind::Editor ? QStringLiteral("vellichord-editor.lock")
                                                      : QStringLiteral("vellichord-update.lock"));
}
