#!/usr/bin/env python3
"""Makes the release packages' bytes depend on their contents only.

    reproducible.py zip <out.zip> <folder> <epoch>
        Writes the folder's files and folders into a zip archive in name order,
        each with the time <epoch> (seconds since 1970, UTC) and fixed
        attributes (files 0644, folders 0755), whatever the disk says.
    reproducible.py msi <file.msi> <epoch> <namespace GUID>
        Rewrites the installer's summary information in place: the creation and
        last-saved times become <epoch>, and the package code becomes a GUID
        derived from the namespace and the SHA-256 of everything else in the
        file, so that it changes whenever the content does. wixl writes the
        time of the build and a random package code there; all else it writes
        is the same for the same input.
    reproducible.py msm <file.msm> <epoch>
        The same times in a merge module, whose revision number is the module's
        own GUID and stays.
"""
import hashlib
import os
import struct
import sys
import time
import uuid
import zipfile

ZIP_EARLIEST = 315532800  # 1980-01-01, the first time a zip entry can hold


def write_zip(out, folder, epoch):
    stamp = time.gmtime(max(epoch, ZIP_EARLIEST))[:6]
    names = []
    for parent, dirs, files in os.walk(folder):
        rel = os.path.relpath(parent, folder)
        prefix = "" if rel == "." else rel.replace(os.sep, "/") + "/"
        names += [prefix + d + "/" for d in dirs] + [prefix + f for f in files]
    with zipfile.ZipFile(out, "w") as archive:
        for name in sorted(names):
            info = zipfile.ZipInfo(name, stamp)
            info.create_system = 3  # Unix: the attributes below are its mode bits
            if name.endswith("/"):
                info.external_attr = (0o40755 << 16) | 0x10  # and MS-DOS's directory flag
                archive.writestr(info, b"")
            else:
                info.external_attr = 0o100644 << 16
                info.compress_type = zipfile.ZIP_DEFLATED
                with open(os.path.join(folder, name), "rb") as f:
                    archive.writestr(info, f.read(), compresslevel=9)


def stream_offsets(data, wanted):
    """The file offsets of each byte of a stream in a compound file (the MSI's container)."""
    u16 = lambda at: struct.unpack_from("<H", data, at)[0]
    u32 = lambda at: struct.unpack_from("<I", data, at)[0]
    sector_size, mini_size, cutoff = 1 << u16(0x1E), 1 << u16(0x20), u32(0x38)
    at = lambda sector: (sector + 1) * sector_size  # the header fills sector -1
    last = 0xFFFFFFFA  # ids from here on end a chain or mark free sectors
    difat = [u32(0x4C + 4 * i) for i in range(109)]
    extra, count = u32(0x44), u32(0x48)
    while count and extra < last:
        difat += [u32(at(extra) + 4 * i) for i in range(sector_size // 4 - 1)]
        extra, count = u32(at(extra) + sector_size - 4), count - 1
    fat = [u32(at(s) + 4 * i) for s in difat if s < last for i in range(sector_size // 4)]

    def chain(first, table):
        sectors = []
        while first < last:
            sectors.append(first)
            first = table[first]
        return sectors

    def regular(first):
        return [at(s) + i for s in chain(first, fat) for i in range(sector_size)]

    directory = bytes(data[o] for o in regular(u32(0x30)))
    entries = []
    for e in range(0, len(directory), 128):
        length = struct.unpack_from("<H", directory, e + 0x40)[0]
        name = directory[e:e + max(length - 2, 0)].decode("utf-16-le")
        entries.append((name, struct.unpack_from("<II", directory, e + 0x74)))
    root_start = entries[0][1][0]
    for name, (start, size) in entries[1:]:
        if name != wanted:
            continue
        if size >= cutoff:
            return regular(start)[:size]
        mini_stream = regular(root_start)
        table = bytes(data[o] for o in regular(u32(0x3C)))
        minifat = struct.unpack(f"<{len(table) // 4}I", table)
        return [mini_stream[m * mini_size + i] for m in chain(start, minifat) for i in range(mini_size)][:size]
    sys.exit(f"reproducible: no stream {wanted!r}")


def fix_msi(path, epoch, namespace=None):
    data = bytearray(open(path, "rb").read())
    offsets = stream_offsets(data, "\x05SummaryInformation")
    stream = bytearray(data[o] for o in offsets)
    u32 = lambda at: struct.unpack_from("<I", stream, at)[0]
    section = u32(44)  # after the property set header and the first section's format id
    filetime = struct.pack("<Q", (epoch + 11644473600) * 10**7)  # 100 ns since 1601
    code_at = None
    for i in range(u32(section + 4)):
        pid, offset = struct.unpack_from("<II", stream, section + 8 + 8 * i)
        value = section + offset
        if pid in (12, 13):  # created, last saved: VT_FILETIME
            assert u32(value) == 64, "a summary time that is not a FILETIME"
            stream[value + 4:value + 12] = filetime
        elif pid == 9:  # revision number, the package code: VT_LPSTR "{GUID}"
            assert u32(value) == 30 and u32(value + 4) == 39, "a package code that is not a GUID string"
            code_at = value + 8
    if namespace is None:
        code_at = None
    elif code_at is None:
        sys.exit("reproducible: the summary information has no package code")
    else:
        stream[code_at:code_at + 38] = b"{00000000-0000-0000-0000-000000000000}"
    for o, b in zip(offsets, stream):
        data[o] = b
    if code_at is not None:
        code = uuid.uuid5(uuid.UUID(namespace), hashlib.sha256(data).hexdigest())
        stream[code_at:code_at + 38] = ("{%s}" % str(code).upper()).encode("ascii")
    for o, b in zip(offsets, stream):
        data[o] = b
    with open(path, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    if len(sys.argv) == 5 and sys.argv[1] == "zip":
        write_zip(sys.argv[2], sys.argv[3], int(sys.argv[4]))
    elif len(sys.argv) == 5 and sys.argv[1] == "msi":
        fix_msi(sys.argv[2], int(sys.argv[3]), sys.argv[4])
    elif len(sys.argv) == 4 and sys.argv[1] == "msm":
        fix_msi(sys.argv[2], int(sys.argv[3]))
    else:
        sys.exit(__doc__)
