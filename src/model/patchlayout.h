#pragma once

#include <algorithm>
#include <iterator>

// Byte layout of the 348-byte patch message. The parameter bytes in between follow the
// addresses of the control table.
namespace PatchLayout {
constexpr unsigned int length = 348;
constexpr unsigned int kindOffset = 6;
constexpr unsigned int presetNoOffset = 9;
constexpr unsigned int nameOffset = 11;
constexpr unsigned int nameLength = 16;
constexpr unsigned int endOffset = length - 1;

constexpr unsigned char sysexStart = 0xF0;
constexpr unsigned char sysexEnd = 0xF7;
constexpr unsigned char kindType1 = 0x61;   // editor to device, also every saved file
constexpr unsigned char kindRequest = 0x62; // asks the device for its patch
constexpr unsigned char kindType2 = 0x63;   // device to editor

// The first bytes of every message of this device; another maker's message starts otherwise.
constexpr unsigned char header[] = {sysexStart, 0x00, 0x00, 0x00, 0x00, 0x7F};

constexpr int highestPresetNo = 19;

// Whether the size bytes at message start with this device's header.
inline bool hasDeviceHeader(const char *message, int size)
{
    return size >= int(std::size(header))
        && std::equal(std::begin(header), std::end(header),
                      reinterpret_cast<const unsigned char *>(message));
}
} // namespace PatchLayout
