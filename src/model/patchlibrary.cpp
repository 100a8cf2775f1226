#include "patchlibrary.h"

#include "controltable.h"
#include "patch.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace {

constexpr int messageLength = int(PatchLayout::length);
constexpr qint64 largestFile = qint64(PatchLibrary::presetCount) * messageLength;

bool isPatchFrame(const char *bytes)
{
    const auto *data = reinterpret_cast<const unsigned char *>(bytes);
    const unsigned char kind = data[PatchLayout::kindOffset];
    return PatchLayout::hasDeviceHeader(bytes, messageLength)
        && (kind == PatchLayout::kindType1 || kind == PatchLayout::kindType2)
        && data[PatchLayout::endOffset] == PatchLayout::sysexEnd;
}

bool isPatchMessage(const QByteArray &message)
{
    return message.size() == messageLength && isPatchFrame(message.constData());
}

int presetNoOf(const QByteArray &message)
{
    return static_cast<unsigned char>(message.at(PatchLayout::presetNoOffset));
}

} // namespace

QString library_file_fault_text(const LibraryFileError &error)
{
    QString what;
    switch (error.fault) {
    case LibraryFileFault::None:
        return QString();
    case LibraryFileFault::CannotRead:
        return QCoreApplication::translate("PatchLibrary", "cannot be read");
    case LibraryFileFault::NotRegularFile:
        return QCoreApplication::translate("PatchLibrary", "not a regular file");
    case LibraryFileFault::Empty:
        return QCoreApplication::translate("PatchLibrary", "empty");
    case LibraryFileFault::TooLarge:
        return QCoreApplication::translate("PatchLibrary", "larger than twenty patches (%1 bytes)")
            .arg(largestFile);
    case LibraryFileFault::TooShort:
        what = QCoreApplication::translate("PatchLibrary", "shorter than 348 bytes");
        break;
    case LibraryFileFault::NotPatch:
        what = QCoreApplication::translate("PatchLibrary", "not a patch message");
        break;
    case LibraryFileFault::PresetOutOfRange:
        what = preset_out_of_range_text(error.presetNo);
        break;
    case LibraryFileFault::DuplicatePreset:
        what = QCoreApplication::translate("PatchLibrary", "a second patch for preset %1")
                   .arg(error.presetNo);
        break;
    }
    return QCoreApplication::translate("PatchLibrary", "message %1 (byte %2): %3")
        .arg(error.place)
        .arg(error.offset)
        .arg(what);
}

LibraryFileError parse_library(const QByteArray &data, QList<QByteArray> *messages)
{
    messages->clear();
    LibraryFileError error;
    if (data.isEmpty()) {
        error.fault = LibraryFileFault::Empty;
        return error;
    }
    if (data.size() > largestFile) {
        error.fault = LibraryFileFault::TooLarge;
        return error;
    }
    QList<QByteArray> found;
    bool seen[PatchLibrary::presetCount] = {};
    for (int offset = 0; offset < data.size(); offset += messageLength) {
        error.place = offset / messageLength + 1;
        error.offset = offset;
        if (data.size() - offset < messageLength) {
            error.fault = LibraryFileFault::TooShort;
            return error;
        }
        const QByteArray message = data.mid(offset, messageLength);
        if (!isPatchFrame(message.constData())) {
            error.fault = LibraryFileFault::NotPatch;
            return error;
        }
        error.presetNo = presetNoOf(message);
        if (!PatchLibrary::validPresetNo(error.presetNo)) {
            error.fault = LibraryFileFault::PresetOutOfRange;
            return error;
        }
        if (seen[error.presetNo]) {
            error.fault = LibraryFileFault::DuplicatePreset;
            return error;
        }
        seen[error.presetNo] = true;
        found << message;
    }
    *messages = found;
    return LibraryFileError();
}

LibraryFileError read_library_file(const QString &path, QList<QByteArray> *messages)
{
    messages->clear();
    LibraryFileError error;
    const QFileInfo info(path);
    if (!info.exists()) {
        error.fault = LibraryFileFault::CannotRead;
        return error;
    }
    // Opening a FIFO for reading waits for a writer; a device may never end.
    if (!info.isFile()) {
        error.fault = LibraryFileFault::NotRegularFile;
        return error;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error.fault = LibraryFileFault::CannotRead;
        return error;
    }
    // Asked of the open file: the name may have been given to something else meanwhile.
    if (file.isSequential()) {
        error.fault = LibraryFileFault::NotRegularFile;
        return error;
    }
    // One byte more than a library can hold tells a file that is too large, whatever its size.
    const QByteArray data = file.read(largestFile + 1);
    if (file.error() != QFileDevice::NoError) {
        error.fault = LibraryFileFault::CannotRead;
        return error;
    }
    return parse_library(data, messages);
}

bool write_library_file(const QString &path, const QList<QByteArray> &messages)
{
    if (path.isEmpty() || messages.isEmpty())
        return false;
    QByteArray data;
    for (const QByteArray &message : messages) {
        if (message.size() != messageLength)
            return false;
        data += message;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // Flushed here: commit() would not notice that its own flush failed (a full disk).
    if (file.write(data) != data.size() || !file.flush())
        return false;
    return file.commit();
}

QByteArray PatchLibrary::messageForRow(const QByteArray &message, int presetNo)
{
    if (!validPresetNo(presetNo) || !isPatchMessage(message))
        return QByteArray();
    QByteArray row = message;
    row[int(PatchLayout::kindOffset)] = char(PatchLayout::kindType1);
    row[int(PatchLayout::presetNoOffset)] = char(presetNo);
    return row;
}

bool PatchLibrary::samePatch(const QByteArray &a, const QByteArray &b)
{
    if (!isPatchMessage(a) || !isPatchMessage(b))
        return false;
    for (int offset = int(PatchLayout::presetNoOffset); offset < int(PatchLayout::endOffset);
         ++offset) {
        if (offset != int(PatchLayout::presetNoOffset) + 1
            && offset != int(ControlTable::xyPadXChannelAddress) && a[offset] != b[offset])
            return false;
    }
    return true;
}

bool PatchLibrary::isEmpty(int presetNo) const
{
    return message(presetNo).isEmpty();
}

int PatchLibrary::count() const
{
    return int(std::count_if(m_rows.begin(), m_rows.end(),
                             [](const Row &row) { return !row.message.isEmpty(); }));
}

QByteArray PatchLibrary::message(int presetNo) const
{
    return validPresetNo(presetNo) ? m_rows[presetNo].message : QByteArray();
}

QString PatchLibrary::name(int presetNo) const
{
    const QByteArray row = message(presetNo);
    if (row.isEmpty())
        return QString();
    const char *bytes = row.constData() + PatchLayout::nameOffset;
    return QString::fromLatin1(bytes, int(qstrnlen(bytes, PatchLayout::nameLength)));
}

PatchLibrary::Origin PatchLibrary::origin(int presetNo) const
{
    return validPresetNo(presetNo) ? m_rows[presetNo].origin : Origin::Empty;
}

bool PatchLibrary::differsFromDevice(int presetNo) const
{
    const QByteArray row = message(presetNo);
    return !row.isEmpty() && !samePatch(row, m_device[presetNo]);
}

QByteArray PatchLibrary::deviceMessage(int presetNo) const
{
    return validPresetNo(presetNo) ? m_device[presetNo] : QByteArray();
}

void PatchLibrary::forgetDevice()
{
    m_device.fill(QByteArray());
}

bool PatchLibrary::store(int presetNo, const QByteArray &message)
{
    const QByteArray row = messageForRow(message, presetNo);
    if (row.isEmpty())
        return false;
    m_rows[presetNo] = {row, Origin::Changed};
    return true;
}

int PatchLibrary::receive(const QByteArray &message)
{
    if (!isPatchMessage(message))
        return -1;
    const int presetNo = presetNoOf(message);
    const QByteArray row = messageForRow(message, presetNo);
    if (row.isEmpty())
        return -1;
    m_rows[presetNo] = {row, Origin::Device};
    m_device[presetNo] = row;
    return presetNo;
}

int PatchLibrary::noteDevice(const QByteArray &message)
{
    const int presetNo = isPatchMessage(message) ? presetNoOf(message) : -1;
    const QByteArray row = messageForRow(message, presetNo);
    if (row.isEmpty())
        return -1;
    m_device[presetNo] = row;
    return presetNo;
}

bool PatchLibrary::markSent(int presetNo)
{
    if (isEmpty(presetNo))
        return false;
    m_rows[presetNo].origin = Origin::Sent;
    m_device[presetNo] = m_rows[presetNo].message;
    return true;
}

bool PatchLibrary::clear(int presetNo)
{
    if (!validPresetNo(presetNo))
        return false;
    m_rows[presetNo] = Row();
    return true;
}

bool PatchLibrary::rename(int presetNo, const QString &name)
{
    if (isEmpty(presetNo))
        return false;
    const QByteArray fitted = Patch::fitName(name, int(name.size())).text.toLatin1();
    QByteArray &row = m_rows[presetNo].message;
    QByteArray field(int(PatchLayout::nameLength), '\0');
    field.replace(0, fitted.size(), fitted);
    if (row.mid(PatchLayout::nameOffset, PatchLayout::nameLength) == field)
        return true;
    row.replace(PatchLayout::nameOffset, PatchLayout::nameLength, field);
    m_rows[presetNo].origin = Origin::Changed;
    return true;
}

bool PatchLibrary::swap(int first, int second)
{
    if (!validPresetNo(first) || !validPresetNo(second))
        return false;
    if (first == second)
        return true;
    std::swap(m_rows[first], m_rows[second]);
    for (const int presetNo : {first, second}) {
        Row &row = m_rows[presetNo];
        if (!row.message.isEmpty()) {
            row.message = messageForRow(row.message, presetNo);
            row.origin = Origin::Changed;
        }
    }
    return true;
}

QList<QByteArray> PatchLibrary::messages() const
{
    QList<QByteArray> found;
    for (const Row &row : m_rows) {
        if (!row.message.isEmpty())
            found << row.message;
    }
    return found;
}

LibraryFileError PatchLibrary::setMessages(const QList<QByteArray> &messages)
{
    // Checked as a file is, so that nothing changes unless all of them can be taken.
    QByteArray data;
    for (int i = 0; i < messages.size(); ++i) {
        // Joined, a short message and a long one would make two whole ones.
        if (messages[i].size() != messageLength) {
            LibraryFileError error;
            error.fault = messages[i].size() < messageLength ? LibraryFileFault::TooShort
                                                             : LibraryFileFault::NotPatch;
            error.place = i + 1;
            error.offset = qint64(i) * messageLength;
            return error;
        }
        data += messages[i];
    }
    QList<QByteArray> checked;
    if (const LibraryFileError error = parse_library(data, &checked))
        return error;
    Rows rows;
    for (const QByteArray &message : checked) {
        const int presetNo = presetNoOf(message);
        rows[presetNo] = {messageForRow(message, presetNo), Origin::File};
    }
    m_rows = rows;
    return LibraryFileError();
}

LibraryFileError PatchLibrary::load(const QString &path)
{
    QList<QByteArray> messages;
    if (const LibraryFileError error = read_library_file(path, &messages))
        return error;
    return setMessages(messages);
}

bool PatchLibrary::save(const QString &path) const
{
    return write_library_file(path, messages());
}
