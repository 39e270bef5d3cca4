"""What the release, the symbolizer and their tests read of a Windows program file (PE32): the machine, the
sections, the link time, the build id (the CodeView record of the debug directory), the debug link and the version
resource. Every offset is checked against the file, so a damaged file raises PeError rather than reading garbage."""
import struct
import zlib
from dataclasses import dataclass
from pathlib import Path

MACHINE_I386 = 0x14C
PE32_MAGIC = 0x10B
DIRECTORY_RESOURCE = 2
DIRECTORY_DEBUG = 6
DEBUG_TYPE_CODEVIEW = 2
RESOURCE_VERSION = 16
FIXED_INFO_SIGNATURE = 0xFEEF04BD
SYMBOL_RECORD_SIZE = 18


class PeError(Exception):
    pass


@dataclass
class Section:
    name: str
    virtual_address: int
    virtual_size: int
    raw_offset: int
    raw_size: int


class PeFile:
    def __init__(self, data):
        self.data = data
        if self._read("<H", 0)[0] != 0x5A4D:
            raise PeError("no MZ header")
        pe = self._read("<I", 0x3C)[0]
        if self.data[pe:pe + 4] != b"PE\0\0":
            raise PeError("no PE header")
        (self.machine, section_count, self.timestamp, symbol_table, symbol_count, optional_size,
         self.characteristics) = self._read("<HHIIIHH", pe + 4)
        optional = pe + 24
        if self._read("<H", optional)[0] != PE32_MAGIC:
            raise PeError("not a 32-bit program (PE32)")
        self.image_base, = self._read("<I", optional + 28)
        self.size_of_image, = self._read("<I", optional + 56)
        directory_count, = self._read("<I", optional + 92)
        self.directories = [self._read("<II", optional + 96 + 8 * i) for i in range(min(directory_count, 16))]
        strings = symbol_table + SYMBOL_RECORD_SIZE * symbol_count if symbol_table else None
        self.sections = []
        for i in range(section_count):
            at = optional + optional_size + 40 * i
            raw_name = self.data[at:at + 8].rstrip(b"\0")
            virtual_size, virtual_address, raw_size, raw_offset = self._read("<IIII", at + 8)
            self.sections.append(Section(self._section_name(raw_name, strings), virtual_address, virtual_size,
                                         raw_offset, raw_size))

    @classmethod
    def read(cls, path):
        return cls(Path(path).read_bytes())

    def _read(self, layout, offset):
        end = offset + struct.calcsize(layout)
        if offset < 0 or end > len(self.data):
            raise PeError(f"offset {offset:#x} lies beyond the file")
        return struct.unpack_from(layout, self.data, offset)

    def _section_name(self, raw, strings):
        # Names longer than eight characters ("/4") stand in the string table after the symbols.
        if raw.startswith(b"/") and raw[1:].isdigit() and strings is not None:
            start = strings + int(raw[1:])
            end = self.data.find(b"\0", start)
            if start < len(self.data) and end > 0:
                return self.data[start:end].decode("latin-1")
        return raw.decode("latin-1")

    def section(self, name):
        return next((s for s in self.sections if s.name == name), None)

    def debug_sections(self):
        return [s.name for s in self.sections if s.name.startswith((".debug", ".zdebug"))]

    def _offset_of(self, rva):
        """The file offset of an address, or None where the file holds no bytes for it (a file of debug
        information keeps the other sections' headers only)."""
        for s in self.sections:
            if s.virtual_address <= rva < s.virtual_address + max(s.virtual_size, s.raw_size):
                offset = s.raw_offset + rva - s.virtual_address
                return offset if s.raw_size and offset < s.raw_offset + s.raw_size else None
        raise PeError(f"address {rva:#x} is in no section of the file")

    def build_id(self):
        """The CodeView record's signature and age as hex text, or None without one."""
        if len(self.directories) <= DIRECTORY_DEBUG:
            return None
        rva, size = self.directories[DIRECTORY_DEBUG]
        if not rva:
            return None
        start = self._offset_of(rva)
        if start is None:
            return None
        for at in range(start, start + size - 27, 28):
            kind, length, _, raw = self._read("<IIII", at + 12)
            if kind == DEBUG_TYPE_CODEVIEW and length >= 24 and self.data[raw:raw + 4] == b"RSDS":
                signature = self.data[raw + 4:raw + 20]
                age, = self._read("<I", raw + 20)
                return f"{signature.hex()}-{age}"
        return None

    def debug_link(self):
        """(file name, CRC-32 of that file) of the .gnu_debuglink section, or None."""
        s = self.section(".gnu_debuglink")
        if not s:
            return None
        content = self.data[s.raw_offset:s.raw_offset + s.raw_size]
        end = content.find(b"\0")
        crc_at = (end + 4) & ~3
        if end <= 0 or crc_at + 4 > len(content):
            raise PeError("damaged .gnu_debuglink")
        return content[:end].decode("utf-8"), struct.unpack_from("<I", content, crc_at)[0]

    def version(self):
        """(fixed file version "a.b.c.d", FileVersion text of the first string table or None), or None without
        a version resource."""
        data = self._version_resource()
        if data is None:
            return None
        key, value, children = _version_node(data, 0)
        if key != "VS_VERSION_INFO" or len(value) < 52:
            raise PeError("damaged version resource")
        signature, _, ms, ls = struct.unpack_from("<IIII", value)
        if signature != FIXED_INFO_SIGNATURE:
            raise PeError("damaged version resource")
        fixed = f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"
        text = None
        for child_key, _, tables in children:
            if child_key == "StringFileInfo" and tables:
                strings = {k: v.decode("utf-16-le").rstrip("\0") for k, v, _ in tables[0][2]}
                text = strings.get("FileVersion")
        return fixed, text

    def _version_resource(self):
        rva, _ = self.directories[DIRECTORY_RESOURCE] if len(self.directories) > DIRECTORY_RESOURCE else (0, 0)
        if not rva:
            return None
        root = self._offset_of(rva)
        if root is None:
            return None
        entry = self._resource_entry(root, root, RESOURCE_VERSION)
        # Type, then name, then language: the first of each below the version type.
        for _ in range(2):
            if entry is None or not entry & 0x80000000:
                return None
            entry = self._resource_entry(root, root + (entry & 0x7FFFFFFF), None)
        if entry is None or entry & 0x80000000:
            return None
        data_rva, size = self._read("<II", root + entry)
        start = self._offset_of(data_rva)
        if start is None or start + size > len(self.data):
            raise PeError("the version resource lies beyond the file")
        return self.data[start:start + size]

    def _resource_entry(self, root, directory, wanted):
        named, numbered = self._read("<HH", directory + 12)
        for i in range(named + numbered):
            name, target = self._read("<II", directory + 16 + 8 * i)
            if wanted is None or (not name & 0x80000000 and name == wanted):
                return target
        return None


def _version_node(data, at):
    """One node of a version block: (key, value bytes, children)."""
    if at + 6 > len(data):
        raise PeError("damaged version resource")
    length, value_length, kind = struct.unpack_from("<HHH", data, at)
    end = at + length
    if length < 6 or end > len(data):
        raise PeError("damaged version resource")
    key_end = at + 6
    while key_end + 1 < end and data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[at + 6:key_end].decode("utf-16-le")
    value_at = (key_end + 2 + 3) & ~3
    value_size = value_length * 2 if kind == 1 else value_length
    value = data[value_at:min(value_at + value_size, end)]
    children = []
    child = (value_at + value_size + 3) & ~3
    while child + 6 <= end:
        node = _version_node(data, child)
        children.append(node)
        child = (child + struct.unpack_from("<H", data, child)[0] + 3) & ~3
    return key, value, children


def crc32_of(path):
    """The checksum a debug link records of its file."""
    return zlib.crc32(Path(path).read_bytes()) & 0xFFFFFFFF
