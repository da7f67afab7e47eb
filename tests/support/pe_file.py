"""Just enough of the PE format for the size checks: the sections, whether a
symbol table is left, and every resource with its size."""
import struct

# Section names a stripped file cuts to eight characters.
TRUNCATED = {".eh_fram": ".eh_frame"}
TYPE_NAMES = {2: "bitmap", 3: "icon image", 10: "data", 14: "icon group", 16: "version", 24: "manifest"}


def type_name(rtype):
    return TYPE_NAMES.get(rtype, str(rtype))


class PeFile:
    def __init__(self, path):
        with open(path, "rb") as f:
            data = f.read()
        self.size = len(data)
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[:2] != b"MZ" or data[pe:pe + 4] != b"PE\0\0":
            raise ValueError(path + ": not a PE file")
        count, _, symbols_at, symbols, optional_size = struct.unpack_from("<HIIIH", data, pe + 6)
        self.has_symbols = symbols_at != 0 and symbols != 0
        strings_at = symbols_at + 18 * symbols  # long section names live in the string table
        optional = pe + 24
        dirs_at = optional + (96 if struct.unpack_from("<H", data, optional)[0] == 0x10B else 112)
        resource_rva = struct.unpack_from("<I", data, dirs_at + 2 * 8)[0]
        self.sections = []  # (name, bytes in the file, bytes in memory, rva)
        for i in range(count):
            raw_name, memory, rva, in_file, at = struct.unpack_from("<8sIIII", data, optional + optional_size + 40 * i)
            name = raw_name.rstrip(b"\0").decode("latin-1")
            if name.startswith("/") and self.has_symbols:
                start = strings_at + int(name[1:])
                name = data[start:data.index(b"\0", start)].decode("latin-1")
            name = TRUNCATED.get(name, name)
            self.sections.append((name, in_file, memory, rva, at))
        self.resources = self._resources(data, resource_rva) if resource_rva else []

    def _file_offset(self, rva):
        for _, in_file, memory, start, at in self.sections:
            if start <= rva < start + max(in_file, memory):
                return at + rva - start
        raise ValueError("address %#x is in no section" % rva)

    def _resources(self, data, rva):
        """[(type, name, size)]: types and names are numbers or strings."""
        base = self._file_offset(rva)

        def label(value):
            if not value & 0x80000000:
                return value
            at = base + (value & 0x7FFFFFFF)
            n = struct.unpack_from("<H", data, at)[0]
            return data[at + 2:at + 2 + 2 * n].decode("utf-16-le")

        def entries(at):
            named, numbered = struct.unpack_from("<HH", data, base + at + 12)
            for i in range(named + numbered):
                key, target = struct.unpack_from("<II", data, base + at + 16 + 8 * i)
                yield label(key), target

        out = []
        for rtype, types in entries(0):
            for name, names in entries(types & 0x7FFFFFFF):
                for _, leaf in entries(names & 0x7FFFFFFF):
                    out.append((rtype, name, struct.unpack_from("<I", data, base + leaf + 4)[0]))
        return out

    def debug_sections(self):
        return [s[0] for s in self.sections if s[0].startswith((".debug", ".zdebug", ".stab"))]
