#include "updatefile.h"
#include "trace.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

bool is_space(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

int hex_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// The body bytes plus the little-endian checksum add up to 0 modulo 65536.
bool checksum_holds(const unsigned char *record, unsigned int size)
{
    quint16 sum = 0;
    for (unsigned int i = 2; i < size - 2; ++i)
        sum = quint16(sum + record[i]);
    sum = quint16(sum + (record[size - 2] | (record[size - 1] << 8)));
    return sum == 0;
}

// Where a fault starts, counted in lines from 1.
int line_at(const QByteArray &text, int position)
{
    return 1 + int(std::count(text.constBegin(), text.constBegin() + position, '\n'));
}

} // namespace

UpdateFile::UpdateFile(QObject *parent)
    : QObject(parent)
{
}

bool UpdateFile::load(const QString &path)
{
    imageSize = 0;
    if (load_file_into_buffer(path, image.data(), imageCapacity, &imageSize)
        && crc_check(image.data(), imageSize)) {
        qCDebug(lcTrace) << "Ready to send file.";
        return true;
    }
    qCDebug(lcTrace) << "Error reading file.";
    imageSize = 0;
    return false;
}

bool UpdateFile::load_file_into_buffer(const QString &path, unsigned char *destination,
                                       unsigned int capacity, unsigned int *size)
{
    const auto cannotLoad = [&](const QString &reason) {
        emit message(tr("Error, could not load the update file: %1 (%2)").arg(path, reason));
        qCDebug(lcTrace).noquote() << "Error: Could not load" << path << reason;
        return false;
    };
    const QFileInfo info(path);
    // Opening a FIFO would wait for a writer, and reading a device would not end.
    if (info.exists() && !info.isFile())
        return cannotLoad(tr("not a regular file"));
    if (info.size() > maxFileBytes)
        return cannotLoad(tr("larger than 1 MiB"));

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        emit message(tr("Error file not found: ") + path);
        qCDebug(lcTrace).noquote() << "Error: File '%s' is not found.\n\n" << path;
        return false;
    }
    // Replaced by something else between the look and the opening.
    if (file.isSequential())
        return cannotLoad(tr("not a regular file"));
    emit message(tr("Opened file: ") + path);
    emit opened(path);
    qCDebug(lcTrace).noquote() << "OK: File open: " << path;

    // One byte more than allowed tells a file that grew since the look.
    const QByteArray text = file.read(maxFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return cannotLoad(tr("cannot be read"));
    if (text.size() > maxFileBytes)
        return cannotLoad(tr("larger than 1 MiB"));

    unsigned int decoded = 0;
    int line = 0;
    switch (decode_update_text(text, destination, capacity, &decoded, &line)) {
    case TextFault::none:
        break;
    case TextFault::overCapacity:
        emit message(tr("Error, the update file is too large."));
        qCDebug(lcTrace) << "Error: The update file holds more than" << capacity << "bytes.";
        return false;
    case TextFault::notHexPairs:
        emit message(
            tr("Error, the update file is damaged: line %1 is not pairs of hexadecimal digits.")
                .arg(line));
        qCDebug(lcTrace) << "Error: The update file is not hex pairs from line" << line;
        return false;
    }
    if (decoded == 0) {
        emit message(tr("Error, the update file is damaged: it holds no data."));
        qCDebug(lcTrace) << "Error: The update file holds no bytes.";
        return false;
    }
    *size = decoded;
    qCDebug(lcTrace) << "File read into buffer.";
    return true;
}

UpdateFile::TextFault UpdateFile::decode_update_text(const QByteArray &text,
                                                     unsigned char *destination,
                                                     unsigned int capacity, unsigned int *size,
                                                     int *line)
{
    static const QByteArray byteOrderMark("\xEF\xBB\xBF");
    const auto fault = [&](TextFault kind, int position) {
        if (line)
            *line = line_at(text, position);
        return kind;
    };
    unsigned int count = 0;
    int i = text.startsWith(byteOrderMark) ? byteOrderMark.size() : 0;
    while (i < text.size()) {
        if (is_space(text[i])) {
            ++i;
            continue;
        }
        // Text cut off, or a digit too many or too few, would shift every byte after it.
        const int high = hex_value(text[i]);
        const int low = i + 1 < text.size() ? hex_value(text[i + 1]) : -1;
        if (high < 0 || low < 0)
            return fault(TextFault::notHexPairs, i);
        if (count == capacity)
            return fault(TextFault::overCapacity, i);
        destination[count++] = static_cast<unsigned char>(high * 16 + low);
        i += 2;
    }
    *size = count;
    return TextFault::none;
}

unsigned int UpdateFile::recordSize(const unsigned char *image, unsigned int length,
                                    unsigned int offset)
{
    if (length - offset < 2)
        return 0;
    const unsigned int declared = (unsigned(image[offset]) << 8) | image[offset + 1];
    if (declared < 2 || declared + 2 > length - offset)
        return 0;
    return declared + 2;
}

unsigned int UpdateFile::recordCount(const unsigned char *image, unsigned int length)
{
    unsigned int count = 0;
    for (unsigned int offset = 0, size; offset < length; offset += size, ++count) {
        size = recordSize(image, length, offset);
        if (size == 0)
            break;
    }
    return count;
}

QString UpdateFile::recordFault(const unsigned char *image, unsigned int length,
                                unsigned int offset, unsigned int record)
{
    const unsigned int size = recordSize(image, length, offset);
    if (size != 0) {
        if (checksum_holds(image + offset, size))
            return QString();
        return tr("CRC Error, the update file is damaged: record %1 fails its checksum.")
            .arg(record);
    }
    if (length - offset >= 2) {
        const unsigned int declared = (unsigned(image[offset]) << 8) | image[offset + 1];
        if (declared < 2)
            return tr("Error, the update file is damaged: record %1 has the length %2, too "
                      "short for its checksum.")
                .arg(record)
                .arg(declared);
    }
    // The length field is cut off, or the record runs past the last byte: the file was cut
    // short, which a checksum complaint would hide.
    return tr("Error, the update file is damaged: it ends inside record %1.").arg(record);
}

bool UpdateFile::crc_check(const unsigned char *image, unsigned int length)
{
    unsigned int offset = 0;
    for (unsigned int record = 1; offset < length; ++record) {
        const QString fault = recordFault(image, length, offset, record);
        if (!fault.isEmpty()) {
            emit message(fault);
            qCDebug(lcTrace).noquote() << "Error: The upgrade file is error!" << fault;
            return false;
        }
        offset += recordSize(image, length, offset);
    }
    return true;
}
