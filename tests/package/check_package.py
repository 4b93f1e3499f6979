#!/usr/bin/python3
"""Checks what `./vantrel package` wrote to dist/ before anyone ships it.

    /usr/bin/python3 tests/package/check_package.py DIST VERSION

For each architecture the zip holds exactly Vantrel.dll, README.txt and
LICENSE.txt; the DLL is the stripped one beside its debug file in
DIST/symbols/<arch>/, smaller than 1.5 MB, of the right machine, linked to its
debug file (name and CRC); it carries the version resource with VERSION and,
when resources/ has a manifest, a Common Controls 6 manifest under the id a
DLL's manifest needs; and it passes tests/win/check_dll.sh (exactly the two
exports, only system DLLs imported, the stdcall convention on 32 bits). The setup carries the same
version and an icon. Exit status 1 on the first fault.
"""
import glob
import os
import re
import struct
import subprocess
import sys
import zipfile
import zlib
from xml.etree import ElementTree

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.join(HERE, "..", "..")
CHECK_DLL = os.path.join(HERE, "..", "win", "check_dll.sh")
MAX_DLL_BYTES = 1536 * 1024
ARCHES = {
    "win64": dict(machine=0x8664, objdump="x86_64-w64-mingw32-objdump"),
    "win32": dict(machine=0x014C, objdump="i686-w64-mingw32-objdump"),
}
RT_ICON_GROUP, RT_VERSION, RT_MANIFEST = 14, 16, 24
ISOLATION_AWARE_MANIFEST_ID = 2


class Fault(Exception):
    pass


def need(condition, message):
    if not condition:
        raise Fault(message)


class PE:
    """Just enough of a PE image: header, sections, resources."""

    def __init__(self, data):
        self.data = data
        need(data[:2] == b"MZ", "not a PE image")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        need(data[pe:pe + 4] == b"PE\0\0", "no PE signature")
        (self.machine, count, _, symbols_at, symbol_count, optional_size,
         _) = struct.unpack_from("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        directories = optional + (96 if magic == 0x10B else 112)
        self.resource_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
        strings = symbols_at + symbol_count * 18
        self.sections = []
        for i in range(count):
            at = optional + optional_size + i * 40
            raw_name = data[at:at + 8].rstrip(b"\0").decode("ascii", "replace")
            # Names longer than 8 live in the string table after the symbols.
            if raw_name.startswith("/") and symbols_at:
                start = strings + int(raw_name[1:])
                raw_name = data[start:data.index(b"\0", start)].decode("ascii", "replace")
            vsize, rva, raw_size, raw_at = struct.unpack_from("<IIII", data, at + 8)
            self.sections.append((raw_name, rva, vsize, raw_at, raw_size))

    def section(self, name):
        for sname, _, vsize, raw_at, raw_size in self.sections:
            if sname == name:
                return self.data[raw_at:raw_at + min(vsize, raw_size) if vsize else raw_size]
        return None

    def offset(self, rva):
        for _, start, vsize, raw_at, raw_size in self.sections:
            if start <= rva < start + max(vsize, raw_size):
                return raw_at + rva - start
        raise Fault("address %#x is in no section" % rva)

    def resources(self):
        """{type: {id: bytes}} of the first language of each resource."""
        found = {}
        if not self.resource_rva:
            return found
        base = self.offset(self.resource_rva)

        def entries(at):
            named, ids = struct.unpack_from("<HH", self.data, base + at + 12)
            for i in range(named + ids):
                name, target = struct.unpack_from("<II", self.data, base + at + 16 + i * 8)
                yield name, target

        def leaf(target):
            while target & 0x80000000:
                target = next(entries(target & 0x7FFFFFFF))[1]
            rva, size = struct.unpack_from("<II", self.data, base + target)
            start = self.offset(rva)
            return self.data[start:start + size]

        for rtype, by_type in entries(0):
            for rid, by_id in entries(by_type & 0x7FFFFFFF):
                found.setdefault(rtype, {})[rid] = leaf(by_id)
        return found


def version_of(pe):
    block = pe.resources().get(RT_VERSION, {}).get(1)
    need(block is not None, "no version resource")
    fixed = 40  # three WORDs, "VS_VERSION_INFO" and its zero in UTF-16, padded to 32 bits
    signature, _, ms, ls, pms, pls = struct.unpack_from("<IIIIII", block, fixed)
    need(signature == 0xFEEF04BD, "version resource without its fixed block")
    parts = (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    product = (pms >> 16, pms & 0xFFFF, pls >> 16, pls & 0xFFFF)
    text = block.decode("utf-16-le", "replace")
    strings = dict(re.findall(r"(FileVersion|ProductVersion)\x00+([0-9.]+)", text))
    return ".".join(map(str, parts)), ".".join(map(str, product)), strings


def check_dll(arch, dll_bytes, symbols, version):
    arch_facts = ARCHES[arch]
    need(len(dll_bytes) < MAX_DLL_BYTES, "%s DLL is %d bytes, not under 1.5 MB" % (arch, len(dll_bytes)))
    pe = PE(dll_bytes)
    need(pe.machine == arch_facts["machine"], "%s DLL has machine %#x" % (arch, pe.machine))
    need(pe.section(".debug_info") is None, "%s DLL still carries its debug information" % arch)

    stripped = os.path.join(symbols, "Vantrel.dll")
    debug = os.path.join(symbols, "Vantrel.dll.debug")
    need(open(stripped, "rb").read() == dll_bytes, "%s zip's DLL differs from %s" % (arch, stripped))
    link = pe.section(".gnu_debuglink")
    need(link is not None, "%s DLL has no debug link" % arch)
    name = link[:link.index(b"\0")].decode()
    crc = struct.unpack_from("<I", link, (len(name) + 4) & ~3)[0]
    need(name == "Vantrel.dll.debug", "%s debug link names %r" % (arch, name))
    debug_bytes = open(debug, "rb").read()
    need(zlib.crc32(debug_bytes) == crc, "%s debug link's CRC does not match %s" % (arch, debug))
    need(PE(debug_bytes).section(".debug_info") is not None, "%s debug file holds no debug information" % arch)

    full = version + ".0"
    file_version, product_version, strings = version_of(pe)
    need(file_version == full and product_version == full,
         "%s DLL's version resource says %s / %s, not %s" % (arch, file_version, product_version, full))
    need(strings.get("FileVersion") == full and strings.get("ProductVersion") == full,
         "%s DLL's version strings are %r" % (arch, strings))

    manifests = pe.resources().get(RT_MANIFEST, {})
    need(manifests or not glob.glob(os.path.join(SOURCE, "resources", "*.manifest")),
         "%s DLL carries no manifest, though resources/ has one" % arch)
    if manifests:
        need(ISOLATION_AWARE_MANIFEST_ID in manifests,
             "%s DLL's manifest has id %s, not %d" % (arch, sorted(manifests), ISOLATION_AWARE_MANIFEST_ID))
        root = ElementTree.fromstring(manifests[ISOLATION_AWARE_MANIFEST_ID])
        wanted = [a.attrib for a in root.iter("{urn:schemas-microsoft-com:asm.v1}assemblyIdentity")]
        need({"name": "Microsoft.Windows.Common-Controls", "version": "6.0.0.0"}.items()
             <= (wanted[0].items() if wanted else set()),
             "%s DLL's manifest does not ask for Common Controls 6: %s" % (arch, wanted))
        manifest = "manifest (id %d)" % ISOLATION_AWARE_MANIFEST_ID
    else:
        manifest = "no manifest"

    # Exports, imports and calling convention: the same script as the build trees.
    path = os.path.join(symbols, "Vantrel.dll")
    run = subprocess.run(["bash", CHECK_DLL, arch_facts["objdump"], path, arch], capture_output=True, text=True)
    need(run.returncode == 0, "%s DLL: %s" % (arch, run.stdout.strip() or run.stderr.strip()))
    imports = [line for line in run.stdout.splitlines() if line.startswith("imports:")]
    return "%d bytes, version %s, %s; %s" % (len(dll_bytes), file_version, manifest, imports[0] if imports else "")


def check_zip(dist, arch, version):
    path = os.path.join(dist, "Vantrel-%s-%s.zip" % (version, arch))
    need(os.path.isfile(path), "missing " + path)
    with zipfile.ZipFile(path) as z:
        names = sorted(z.namelist())
        need(names == ["LICENSE.txt", "README.txt", "Vantrel.dll"], "%s holds %s" % (path, names))
        readme = z.read("README.txt").decode("utf-8")
        licence = z.read("LICENSE.txt").decode("utf-8")
        dll = z.read("Vantrel.dll")
    need("\r\n" in readme and "\n" not in readme.replace("\r\n", ""), "README.txt is not in Windows line ends")
    for needed in ("Vantrel %s" % version, r"%LOCALAPPDATA%\Vantrel\vantrel.log", "Uninstalling",
                   r"HKEY_CURRENT_USER\Software\Quillmark Plugins\Vantrel", "LICENSE.txt"):
        need(needed in readme, "README.txt does not mention " + needed)
    need(not re.search(r"@[A-Z]+@", readme), "README.txt has an unfilled field")
    need("All rights reserved" in licence and "winpthreads" in licence, "LICENSE.txt lacks its notices")
    summary = check_dll(arch, dll, os.path.join(dist, "symbols", arch), version)
    return "%s: %d bytes; DLL %s" % (os.path.basename(path), os.path.getsize(path), summary)


def check_setup(dist, version):
    path = os.path.join(dist, "Vantrel-%s-setup.exe" % version)
    need(os.path.isfile(path), "missing " + path)
    pe = PE(open(path, "rb").read())
    need(pe.machine == ARCHES["win32"]["machine"], "the setup is not a 32-bit program (it must run everywhere)")
    file_version, _, _ = version_of(pe)
    need(file_version == version + ".0", "the setup's version is %s" % file_version)
    need(pe.resources().get(RT_ICON_GROUP), "the setup has no icon")
    return "%s: %d bytes, version %s" % (os.path.basename(path), os.path.getsize(path), file_version)


def main(argv):
    if len(argv) != 2:
        print(__doc__.strip().splitlines()[2].strip(), file=sys.stderr)
        return 2
    dist, version = argv
    try:
        lines = [check_zip(dist, arch, version) for arch in ARCHES] + [check_setup(dist, version)]
    except (Fault, OSError, zipfile.BadZipFile, struct.error, ValueError) as fault:
        print("package check FAILED: %s" % fault)
        return 1
    for line in lines:
        print("  " + line)
    print("package check passed")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
