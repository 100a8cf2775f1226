// Arbitrary bytes as a library file: parsed as a file's contents (parse_library), and when
// taken, put into a library, changed and written as a file would be.
//
// Properties:
// - bytes are taken exactly when they are 1..20 whole patch messages of this device, each for
//   its own preset number in 0..19 (checked here independently, message by message); taken,
//   the messages are the bytes in order; refused, nothing is returned and the fault's place is
//   the first message that breaks a rule, at its first byte;
// - a refused set of messages changes no row of a library that holds a set already;
// - a taken set fills exactly the rows of its preset numbers, each with a Type 1 message that
//   carries its row's number, and reads back from what the library would write byte for byte;
// - swapping two rows twice leaves every message as it was; a rename from the input's bytes
//   leaves a name of at most 16 printable ASCII characters.

#define FUZZ_CORE_ONLY
#include "fuzzsupport.h"
#include "patchlayout.h"
#include "patchlibrary.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

namespace {

constexpr int length = int(PatchLayout::length);

// The rules of a library file, written out on their own: the place of the first message that
// breaks one (1 for the first), 0 when all hold, -1 for a file that is empty or too large.
int firstBadPlace(const QByteArray &data)
{
    if (data.isEmpty() || data.size() > PatchLibrary::presetCount * length)
        return -1;
    bool seen[PatchLibrary::presetCount] = {};
    for (int place = 1; (place - 1) * length < data.size(); ++place) {
        const QByteArray message = data.mid((place - 1) * length, length);
        const auto byte = [&](int offset) { return static_cast<unsigned char>(message[offset]); };
        if (message.size() != length || !message.startsWith(QByteArray::fromHex("F0000000007F"))
            || (byte(6) != 0x61 && byte(6) != 0x63) || byte(347) != 0xF7 || byte(9) > 19
            || seen[byte(9)])
            return place;
        seen[byte(9)] = true;
    }
    return 0;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***argv)
{
    fuzz::startQt((*argv)[0]);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size)
{
    const QByteArray data(reinterpret_cast<const char *>(bytes), int(size));
    QList<QByteArray> messages;
    const LibraryFileError error = parse_library(data, &messages);
    const int badPlace = firstBadPlace(data);
    FUZZ_CHECK(bool(error) == (badPlace != 0));

    PatchLibrary library;
    QByteArray seed(length, '\0');
    seed.replace(0, 7, QByteArray::fromHex("F0000000007F61"));
    seed[length - 1] = char(0xF7);
    FUZZ_CHECK(library.store(4, seed));
    const PatchLibrary::Rows before = library.rows();

    if (error) {
        FUZZ_CHECK(messages.isEmpty());
        FUZZ_CHECK(error.place == (badPlace < 0 ? 0 : badPlace));
        FUZZ_CHECK(error.offset == (badPlace < 0 ? 0 : qint64(badPlace - 1) * length));
        FUZZ_CHECK(!library_file_fault_text(error).isEmpty());
        // Cut into messages as a file is, the same bytes are refused by a library as well.
        QList<QByteArray> pieces;
        for (int offset = 0; offset < data.size(); offset += length)
            pieces << data.mid(offset, length);
        FUZZ_CHECK(bool(library.setMessages(pieces)));
        FUZZ_CHECK(library.rows() == before);
        return 0;
    }

    FUZZ_CHECK(messages.join() == data);
    FUZZ_CHECK(!library.setMessages(messages));
    FUZZ_CHECK(library.count() == messages.size());
    for (const QByteArray &message : messages) {
        const int presetNo = static_cast<unsigned char>(message[PatchLayout::presetNoOffset]);
        QByteArray expected = message;
        expected[PatchLayout::kindOffset] = char(PatchLayout::kindType1);
        FUZZ_CHECK(library.message(presetNo) == expected);
        FUZZ_CHECK(library.origin(presetNo) == PatchLibrary::Origin::File);
    }
    QList<QByteArray> written;
    FUZZ_CHECK(!parse_library(library.messages().join(), &written));
    FUZZ_CHECK(written == library.messages());

    const PatchLibrary::Rows taken = library.rows();
    const int first = bytes[0] % PatchLibrary::presetCount;
    const int second = bytes[size - 1] % PatchLibrary::presetCount;
    FUZZ_CHECK(library.swap(first, second) && library.swap(first, second));
    for (int presetNo = 0; presetNo < PatchLibrary::presetCount; ++presetNo)
        FUZZ_CHECK(library.message(presetNo) == taken[std::size_t(presetNo)].message);

    if (!library.isEmpty(first)) {
        FUZZ_CHECK(library.rename(first, QString::fromLatin1(data.left(40))));
        const QString name = library.name(first);
        FUZZ_CHECK(name.size() <= int(PatchLayout::nameLength));
        for (const QChar c : name)
            FUZZ_CHECK(c.unicode() >= 0x20 && c.unicode() < 0x7F);
    }
    return 0;
}
