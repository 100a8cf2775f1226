#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <array>

// A firmware update file: hexadecimal text that decodes to length-prefixed records, each with a
// 16-bit additive checksum. Holds the image of the last file that loaded and passed the check.
// Every step a user needs to know of is reported through message(), in the order it happens.
class UpdateFile : public QObject
{
    Q_OBJECT

public:
    // Room for the decoded update file.
    static constexpr unsigned int imageCapacity = 0x20000;
    // Longest update file read: far more text than imageCapacity bytes of hex with any sane
    // spacing, and little enough that reading it never stalls the program.
    static constexpr qint64 maxFileBytes = 1 << 20;
    // Image bytes carried by one data frame.
    static constexpr unsigned int frameBytes = 11;

    explicit UpdateFile(QObject *parent = nullptr);

    // Loads and checks an update file. On failure the image is left empty (size 0).
    bool load(const QString &path);
    // Forgets the image.
    void clear() { imageSize = 0; }

    // Reads the update file (a regular file of at most maxFileBytes) and decodes its text into
    // destination, storing the number of bytes in *size. A file that is not whole pairs of hex
    // digits, decodes to nothing or to more than capacity bytes is refused, with a message;
    // nothing is stored past capacity. *size is changed only on success.
    bool load_file_into_buffer(const QString &path, unsigned char *destination,
                               unsigned int capacity, unsigned int *size);

    // Why decode_update_text refused a text.
    enum class TextFault { none, notHexPairs, overCapacity };
    // The decoding of load_file_into_buffer: after an optional UTF-8 byte-order mark, pairs of
    // hex digits, each pair one byte, with or without white space between the pairs, and
    // nothing else to the end. On a fault *size is left alone and *line, when given, is the
    // line (counted from 1) where the offending text starts; nothing is stored past capacity.
    // Reports nothing.
    static TextFault decode_update_text(const QByteArray &text, unsigned char *destination,
                                        unsigned int capacity, unsigned int *size,
                                        int *line = nullptr);
    // True when every record of the image fits in it and its checksum holds; reports the first
    // record that does not.
    bool crc_check(const unsigned char *image, unsigned int length);
    // What is wrong with the record at offset, number record counted from 1, as a line for the
    // user: the image ends inside it, its length leaves no room for its checksum, or its
    // checksum fails. Empty when it is whole and sound.
    static QString recordFault(const unsigned char *image, unsigned int length, unsigned int offset,
                               unsigned int record);

    // Size of the record at offset (its length field, body and checksum), or 0 when it does not
    // fit: a length field cut off, a length below 2 (no room for the checksum), or a record that
    // runs past the end of the image.
    static unsigned int recordSize(const unsigned char *image, unsigned int length,
                                   unsigned int offset);
    // How many records the image holds, counting only those that fit.
    static unsigned int recordCount(const unsigned char *image, unsigned int length);

    const unsigned char *getImage() const { return image.data(); }
    unsigned int getImageSize() const { return imageSize; }

signals:
    // A line for the user.
    void message(const QString &text);
    // The file at path was opened for reading; what it holds is not known yet.
    void opened(const QString &path);

private:
    std::array<unsigned char, imageCapacity> image{};
    unsigned int imageSize = 0;
};
