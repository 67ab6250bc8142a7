#!/usr/bin/env python3
"""The Windows programs' PE headers: each is marked large-address-aware.

Usage: test_large_address_aware.py BITS EXE...
BITS is 32 or 64, the kind of program expected. Reads the headers only; runs nothing.
"""
import struct
import sys
import unittest

IMAGE_FILE_LARGE_ADDRESS_AWARE = 0x0020
MACHINES = {32: 0x014C, 64: 0x8664}  # IMAGE_FILE_MACHINE_I386, IMAGE_FILE_MACHINE_AMD64


def coff_header(path):
    """(Machine, Characteristics) of the COFF file header of a PE image."""
    with open(path, "rb") as f:
        dos = f.read(64)
        if len(dos) < 64 or dos[:2] != b"MZ":
            raise ValueError(f"{path}: no MZ header")
        (pe_at,) = struct.unpack_from("<I", dos, 0x3C)
        f.seek(pe_at)
        head = f.read(24)
    if len(head) < 24 or head[:4] != b"PE\0\0":
        raise ValueError(f"{path}: no PE signature at {pe_at:#x}")
    machine, _sections, _time, _symbols, _count, _optional, characteristics = struct.unpack_from(
        "<HHIIIHH", head, 4)
    return machine, characteristics


class LargeAddressAware(unittest.TestCase):
    bits = 32
    programs = []

    def test_every_program_is_large_address_aware(self):
        self.assertTrue(self.programs, "no program given")
        for path in self.programs:
            with self.subTest(program=path):
                machine, characteristics = coff_header(path)
                self.assertEqual(machine, MACHINES[self.bits], f"{path}: machine {machine:#x}")
                self.assertTrue(characteristics & IMAGE_FILE_LARGE_ADDRESS_AWARE,
                                f"{path}: characteristics {characteristics:#06x} lack 0x0020")

    def test_the_reader_sees_a_flag_that_is_absent(self):
        # A header as a linker without the option writes it: the check must notice.
        import os
        import tempfile
        image = bytearray(512)
        image[:2] = b"MZ"
        struct.pack_into("<I", image, 0x3C, 0x80)
        image[0x80:0x84] = b"PE\0\0"
        struct.pack_into("<HHIIIHH", image, 0x84, MACHINES[32], 1, 0, 0, 0, 0xE0, 0x0102)
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "plain.exe")
            with open(path, "wb") as f:
                f.write(image)
            machine, characteristics = coff_header(path)
        self.assertEqual(machine, MACHINES[32])
        self.assertFalse(characteristics & IMAGE_FILE_LARGE_ADDRESS_AWARE)


if __name__ == "__main__":
    if len(sys.argv) < 3 or sys.argv[1] not in ("32", "64") or "--help" in sys.argv:
        print(__doc__.strip())
        sys.exit(0 if "--help" in sys.argv else 2)
    LargeAddressAware.bits = int(sys.argv[1])
    LargeAddressAware.programs = sys.argv[2:]
    unittest.main(argv=sys.argv[:1])
