#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz harnesses into corpus/<harness>/ beside this script.

Run by hand after changing a seed; the files it writes are committed. Regression inputs found
by fuzzing (regress-*) are committed as they were found and are not written here.
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def write(harness, name, data):
    folder = os.path.join(HERE, "corpus", harness)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def update_record(body):
    checksum = (-sum(body)) % 65536
    return bytes([(len(body) + 2) >> 8, (len(body) + 2) & 0xFF]) + bytes(body) + bytes(
        [checksum & 0xFF, checksum >> 8])


def spaced_hex(data):
    return " ".join("%02X" % b for b in data).encode()


def default_type1():
    """The editor's first Type 1 message (tests/transfer: firstMessageCarriesDefaults)."""
    m = bytearray(348)
    m[0:11] = bytes.fromhex("f0000000007f6102510000")
    m[11:27] = b"tarvelvellichord"
    for slider in range(6):
        m[27 + 4 * slider + 3] = 127
    for address in (54, 58, 62):  # crossfader Max, X-Y pad MaxX and MaxY
        m[address] = 127
    for knob in range(14):
        m[291 + 4 * knob + 3] = 127
    m[347] = 0xF7
    return bytes(m)


def type2():
    """A patch as the device sends it: kind 0x63, other values and name, some out of range."""
    m = bytearray(default_type1())
    m[6] = 0x63
    m[9] = 3
    m[11:27] = b"from the device\0"
    m[30] = 99  # S1 Max
    m[63] = 1  # pad 1 Type
    m[65] = 200  # pad 1 Channel, range 0..16
    m[68] = 2  # pad 1 Colour
    m[59] = 9  # X-Y pad channel
    return bytes(m)


STATUS = bytes([0xF0, 0x3D, 0xF7])
REQUEST = bytes.fromhex("f0000000007f620000f7")

# fuzz_updatefile: the text of an update file.
worked = bytes.fromhex("0005010203FAFF")
second = update_record([0x10, 0x20, 0xF0])
write("fuzz_updatefile", "worked-example", b"00 05 01 02 03 FA FF")
write("fuzz_updatefile", "two-records", spaced_hex(worked + second) + b"\n")
write("fuzz_updatefile", "lines-lower-case", b"00\n05\r\n01\n02\n03\nfa\nff\n")
write("fuzz_updatefile", "single-digits", b"0 5 1 2 3 FA\tFF")
write("fuzz_updatefile", "empty-body", b"00 02 00 00")
write("fuzz_updatefile", "damaged", b"00 05 01 02 04 FA FF")
write("fuzz_updatefile", "byte-order-mark", b"\xef\xbb\xbf" + spaced_hex(worked + second) + b"\n")
write("fuzz_updatefile", "text-in-the-middle", spaced_hex(worked) + b"\n; part two\n" + spaced_hex(second))
write("fuzz_updatefile", "larger", (update_record(list(range(40))) + update_record([7] * 30)).hex().encode())

# fuzz_sysexinput: byte 0 is the number of step bytes that follow it (see the harness), then
# the bytes from the device.
write("fuzz_sysexinput", "status", b"\0" + STATUS)
write("fuzz_sysexinput", "type2", b"\0" + type2())
write("fuzz_sysexinput", "mixed",
      b"\0" + bytes([0x01, 0xF7]) + bytes([0xF0, 0x01, 0x02, 0xF7, 0x90, 0x40]) + bytes([0xF0, 0xF7])
      + bytes([0xF0, 0x01, 0xF0, 0x02, 0xF7]) + STATUS)
write("fuzz_sysexinput", "split-reads",
      bytes([4, 0x02, 0x81, 0x7F, 0xFF]) + bytes([0xF0, 0x1A, 0xF7, 0xF0, 1, 2, 3, 0xF7]) + STATUS)
write("fuzz_sysexinput", "overlong",
      b"\0" + bytes([0xF0]) + bytes([0x11] * 1100) + bytes([0xF7]) + STATUS)
write("fuzz_sysexinput", "stream-rules",
      b"\0" + bytes([0xF0, 0x01, 0xF8, 0x02, 0xFE, 0xF7]) + bytes([0xF0, 0x01, 0x90, 0x40, 0x7F, 0x02, 0xF7])
      + bytes([0xF0, 0x01, 0x02, 0x03]) + STATUS + bytes([0xF0, 0x05, 0xFA, 0x06, 0xF7]))
write("fuzz_sysexinput", "clock-in-type2", b"\0" + type2()[:200] + bytes([0xF8]) + type2()[200:])
write("fuzz_sysexinput", "update-frame", b"\0" + bytes([0xF0]) + b"00050102" + bytes([0xF7]))

# fuzz_patch: a patch file, or a message from the device.
write("fuzz_patch", "default-type1", default_type1())
write("fuzz_patch", "type2", type2())
write("fuzz_patch", "status", STATUS)
write("fuzz_patch", "request", REQUEST)
write("fuzz_patch", "type1-longer-file", default_type1() + bytes(range(1, 11)))

# fuzz_library: a library file, or a patch file, which is a library of one.
write("fuzz_library", "one-patch", default_type1())
write("fuzz_library", "three-presets",
      b"".join(default_type1()[:9] + bytes([n]) + default_type1()[10:] for n in (0, 7, 19)))
write("fuzz_library", "device-and-file", type2() + default_type1())
write("fuzz_library", "twice-preset-0", default_type1() * 2)
write("fuzz_library", "trailing-byte", default_type1() + b"\n")
