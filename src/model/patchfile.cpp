#include "patchfile.h"

#include "patchlayout.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

bool isPatchMessage(const QByteArray &data)
{
    if (data.size() != static_cast<int>(PatchLayout::length))
        return false;
    const auto *bytes = reinterpret_cast<const unsigned char *>(data.constData());
    const unsigned char kind = bytes[PatchLayout::kindOffset];
    return PatchLayout::hasDeviceHeader(data.constData(), data.size())
        && (kind == PatchLayout::kindType1 || kind == PatchLayout::kindType2)
        && bytes[PatchLayout::endOffset] == PatchLayout::sysexEnd;
}

} // namespace

PatchFileFault read_patch_file(const QString &path, QByteArray *patch)
{
    patch->clear();
    const QFileInfo info(path);
    if (!info.exists())
        return PatchFileFault::CannotRead;
    // Opening a FIFO for reading waits for a writer; a device may never end.
    if (!info.isFile())
        return PatchFileFault::NotRegularFile;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return PatchFileFault::CannotRead;
    // Asked of the open file: the name may have been given to something else meanwhile.
    if (file.isSequential())
        return PatchFileFault::NotRegularFile;
    *patch = file.read(PatchLayout::length);
    if (file.error() != QFileDevice::NoError)
        return PatchFileFault::CannotRead;
    if (patch->size() < static_cast<int>(PatchLayout::length))
        return PatchFileFault::TooShort;
    return isPatchMessage(*patch) ? PatchFileFault::None : PatchFileFault::NotPatch;
}

QString patch_file_fault_text(PatchFileFault fault)
{
    switch (fault) {
    case PatchFileFault::None:
        break;
    case PatchFileFault::CannotRead:
        return QCoreApplication::translate("PatchFile", "cannot be read");
    case PatchFileFault::NotRegularFile:
        return QCoreApplication::translate("PatchFile", "not a regular file");
    case PatchFileFault::TooShort:
        return QCoreApplication::translate("PatchFile", "shorter than 348 bytes");
    case PatchFileFault::NotPatch:
        return QCoreApplication::translate("PatchFile", "not a patch file");
    }
    return QString();
}

bool write_patch_file(const QString &path, const QByteArray &patch)
{
    if (path.isEmpty() || patch.size() != static_cast<int>(PatchLayout::length))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // The bytes are flushed here: commit() would not notice that its own flush failed (a full
    // disk) and would put the short file in place of the old one.
    if (file.write(patch) != patch.size() || !file.flush())
        return false; // QSaveFile discards the partial file and leaves the old one alone
    return file.commit();
}
