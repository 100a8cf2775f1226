// Arbitrary text as the contents of an update file: decoded into the update image as a file is
// decoded (UpdateFile::decode_update_text, which load_file_into_buffer calls), then checked
// record by record (UpdateFile::crc_check).
//
// Properties:
// - nothing is stored past the room given: the image is exactly imageCapacity bytes of heap,
//   and the decoding is repeated into buffers of exactly the decoded size and one byte less,
//   where AddressSanitizer sees any store past the end;
// - the same text decodes to the same bytes given room for exactly them, and is refused as
//   over capacity, leaving the size alone, given one byte less;
// - a text is decoded or refused as the documented rule says (decodeByRule below), with the
//   same bytes, or the same fault at the same line; a refused text leaves the size alone;
// - crc_check passes exactly when the records tile the image and every checksum holds, as
//   checked here independently.

#define FUZZ_CORE_ONLY
#include "fuzzsupport.h"
#include "updatefile.h"

#include <QByteArray>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

UpdateFile *file = nullptr;
unsigned char *image = nullptr; // imageCapacity bytes, as in the file

// The record format on its own: a 16-bit big-endian length L of at least 2, then L bytes, the
// last two of them a little-endian checksum that brings the sum of the others to 0 modulo
// 65536. The image is nothing but whole records.
bool recordsHold(const unsigned char *bytes, std::size_t length)
{
    std::size_t offset = 0;
    while (offset != length) {
        if (length - offset < 2)
            return false;
        const std::size_t declared = std::size_t(bytes[offset]) * 256 + bytes[offset + 1];
        if (declared < 2 || declared > length - offset - 2)
            return false;
        const unsigned char *body = bytes + offset + 2;
        std::uint32_t sum = 0;
        for (std::size_t i = 0; i + 2 < declared; ++i)
            sum += body[i];
        sum += body[declared - 2] + 256u * body[declared - 1];
        if (sum % 65536 != 0)
            return false;
        offset += declared + 2;
    }
    return true;
}

int hexDigit(std::uint8_t c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

struct RuleResult
{
    UpdateFile::TextFault fault = UpdateFile::TextFault::none;
    int line = 0;
    std::vector<unsigned char> bytes;
};

bool isSpace(std::uint8_t c)
{
    return c != 0 && std::strchr(" \t\n\r\v\f", c) != nullptr;
}

// The file format as the header states it: an optional UTF-8 byte-order mark, then pairs of hex
// digits, with or without white space (space, tab, line feed, carriage return, vertical tab,
// form feed) between pairs, and nothing else. The first thing that breaks the rule is the fault,
// reported at its line; a pair that would not fit in capacity is over capacity.
RuleResult decodeByRule(const std::uint8_t *data, std::size_t size, std::size_t capacity)
{
    RuleResult result;
    std::size_t i = 0;
    if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF)
        i = 3;
    while (i < size) {
        if (isSpace(data[i])) {
            ++i;
            continue;
        }
        UpdateFile::TextFault fault = UpdateFile::TextFault::none;
        if (hexDigit(data[i]) < 0 || i + 1 == size || hexDigit(data[i + 1]) < 0)
            fault = UpdateFile::TextFault::notHexPairs;
        else if (result.bytes.size() == capacity)
            fault = UpdateFile::TextFault::overCapacity;
        if (fault != UpdateFile::TextFault::none) {
            result.fault = fault;
            result.line = 1 + int(std::count(data, data + i, '\n'));
            result.bytes.clear();
            return result;
        }
        result.bytes.push_back(
            static_cast<unsigned char>(hexDigit(data[i]) * 16 + hexDigit(data[i + 1])));
        i += 2;
    }
    return result;
}

UpdateFile::TextFault decode(const std::uint8_t *data, std::size_t size, unsigned char *destination,
                             unsigned int capacity, unsigned int *decoded, int *line = nullptr)
{
    const QByteArray text = QByteArray::fromRawData(reinterpret_cast<const char *>(data),
                                                    int(size));
    return UpdateFile::decode_update_text(text, destination, capacity, decoded, line);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***argv)
{
    fuzz::startQt((*argv)[0]);
    file = new UpdateFile;
    image = new unsigned char[UpdateFile::imageCapacity];
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size > 0x7FFFFFFF)
        return 0;

    using Fault = UpdateFile::TextFault;
    unsigned int length = 0xDEADBEEF;
    int line = -1;
    const Fault fault = decode(data, size, image, UpdateFile::imageCapacity, &length, &line);
    const RuleResult expected = decodeByRule(data, size, UpdateFile::imageCapacity);
    FUZZ_CHECK(fault == expected.fault);
    if (fault != Fault::none) {
        FUZZ_CHECK(line == expected.line);
        FUZZ_CHECK(length == 0xDEADBEEF);
        // Only text of more than imageCapacity pairs (twice as many characters) can be too much.
        FUZZ_CHECK(fault != Fault::overCapacity || size >= 2 * UpdateFile::imageCapacity);
        return 0;
    }
    FUZZ_CHECK(length <= UpdateFile::imageCapacity);
    FUZZ_CHECK(2 * std::size_t(length) <= size);
    FUZZ_CHECK(expected.bytes.size() == length);
    FUZZ_CHECK(length == 0 || std::memcmp(expected.bytes.data(), image, length) == 0);

    // Room for exactly the decoded bytes, and for one byte less.
    {
        const auto exact = std::make_unique<unsigned char[]>(length + 1);
        unsigned int again = 0xDEADBEEF;
        FUZZ_CHECK(decode(data, size, exact.get() + 1, length, &again) == Fault::none);
        FUZZ_CHECK(again == length);
        FUZZ_CHECK(std::memcmp(exact.get() + 1, image, length) == 0);
        if (length > 0) {
            unsigned int refused = 0xDEADBEEF;
            FUZZ_CHECK(decode(data, size, exact.get() + 2, length - 1, &refused)
                       == Fault::overCapacity);
            FUZZ_CHECK(refused == 0xDEADBEEF);
        }
    }

    const bool passes = file->crc_check(image, length);
    FUZZ_CHECK(passes == recordsHold(image, length));
    return 0;
}
