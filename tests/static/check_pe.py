#!/usr/bin/python3
"""Static checks of the shipping Setup.exe.

    check_pe.py EXE [--arch x86|x64]

Reads the executable's headers, imports and resources and compares them with what the
program must carry: a 32-bit GUI program for Windows XP and later with ASLR, DEP and
terminal-server awareness; the manifest, version block, icon groups, the two dialog
templates and the About entry's string, each under its language; imports only from
system DLLs and only of functions that Windows XP SP3 has (xp-imports.txt). Every
failure is reported on its own line; the exit code is 0 when there is none.

--arch x64 checks the 64-bit test build of the same sources: machine AMD64, an amd64
manifest, no minimum-version and no Windows XP import checks.

The image is read with pefile (Debian's python3-pefile, for the system's python3): headers,
data directories, imports, the resource tree and each resource's language and bytes. The
resources' own formats (dialog templates, string blocks, the version block, icon directories)
are decoded here, field by field, so that every byte the program carries is compared.
pefile reads leniently: on a malformed directory it warns and stops, so its warnings are
failures here, and where objdump (mingw-w64 binutils) and wrestool (icoutils) are installed
their lists of imports and resources are compared with pefile's.
"""

import os
import re
import shutil
import struct
import subprocess
import sys
import xml.etree.ElementTree as ET

try:
    import pefile
except ImportError:
    sys.exit("check_pe.py: pefile is missing: tools/deps installs python3-pefile, "
             "which /usr/bin/python3 sees (%s is running this)" % sys.executable)

# --------------------------------------------------------------------------- PE file


class PEError(Exception):
    pass


RT_ICON, RT_DIALOG, RT_STRING, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 5, 6, 14, 16, 24

MACHINE_I386, MACHINE_AMD64 = 0x014C, 0x8664
SUBSYSTEM_WINDOWS_GUI = 2
DLL_DYNAMIC_BASE, DLL_NX_COMPAT, DLL_TERMINAL_SERVER_AWARE = 0x0040, 0x0100, 0x8000
DIR_IMPORT, DIR_RESOURCE, DIR_BASERELOC, DIR_DELAY_IMPORT = 1, 2, 5, 13


def read_image(data):
    """The image as pefile reads it, with its import, delay-load import and resource directories."""
    pe = pefile.PE(data=data, fast_load=True)
    pe.parse_data_directories(directories=[DIR_IMPORT, DIR_DELAY_IMPORT, DIR_RESOURCE])
    return pe


def is64(pe):
    return pe.OPTIONAL_HEADER.Magic == pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS


def directory(pe, index):
    """(RVA, size) of a data directory; (0, 0) when the header has fewer."""
    dirs = pe.OPTIONAL_HEADER.DATA_DIRECTORY
    return (dirs[index].VirtualAddress, dirs[index].Size) if index < len(dirs) else (0, 0)


def imports(pe):
    """[(dll, [function name, or '#ordinal'])] from the import directory."""
    return [(d.dll.decode("latin-1"),
             ["#%d" % f.ordinal if f.import_by_ordinal else (f.name or b"").decode("latin-1") for f in d.imports])
            for d in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])]


def delay_imported_dlls(pe):
    """The DLLs named in the delay-load import directory."""
    return [d.dll.decode("latin-1") for d in getattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT", [])]


def resources(pe):
    """{(type, name, language): bytes}; type and name are ints or strings."""
    def key(entry):
        return entry.id if entry.name is None else str(entry.name)

    out = {}
    root = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    for t in root.entries if root else []:
        rtype = key(t)
        if not hasattr(t, "directory"):
            raise PEError("resource type %r has no name directory" % (rtype,))
        for n in t.directory.entries:
            rname = key(n)
            if not hasattr(n, "directory"):
                raise PEError("resource %r/%r has no language directory" % (rtype, rname))
            for leaf in n.directory.entries:
                lang = key(leaf)
                if not hasattr(leaf, "data"):
                    raise PEError("resource %r/%r/%r is not a leaf" % (rtype, rname, lang))
                rva, size = leaf.data.struct.OffsetToData, leaf.data.struct.Size
                data = pe.get_data(rva, size)
                if len(data) != size:
                    raise PEError("resource %r/%r/%r: RVA 0x%X + %d runs past its section's data" % (
                        rtype, rname, lang, rva, size))
                out[(rtype, rname, lang)] = data
    return out

# --------------------------------------------------------------------------- resource formats


def sz_or_ord(data, off):
    """A dialog template's name field: an ordinal (0xFFFF, n) or a NUL-terminated
    UTF-16 string. Returns (int or str, next offset)."""
    first = struct.unpack_from("<H", data, off)[0]
    if first == 0xFFFF:
        return struct.unpack_from("<H", data, off + 2)[0], off + 4
    return utf16z(data, off)


def utf16z(data, off):
    end = off
    while struct.unpack_from("<H", data, end)[0]:
        end += 2
    return data[off:end].decode("utf-16-le", "surrogatepass"), end + 2


def align4(off):
    return (off + 3) & ~3


def parse_dialogex(data):
    """An extended dialog template as a dict; items is a list of dicts."""
    (ver, sig, help_id, exstyle, style, count,
     x, y, cx, cy) = struct.unpack_from("<HHIIIHhhhh", data, 0)
    if (ver, sig) != (1, 0xFFFF):
        raise PEError("not an extended dialog template (version %d, signature 0x%04X)" % (ver, sig))
    d = dict(help_id=help_id, exstyle=exstyle, style=style, rect=(x, y, cx, cy))
    off = 26
    d["menu"], off = sz_or_ord(data, off)
    d["class"], off = sz_or_ord(data, off)
    d["caption"], off = utf16z(data, off)
    if style & 0x40:  # DS_SETFONT
        pt, weight, italic, charset = struct.unpack_from("<HHBB", data, off)
        face, off = utf16z(data, off + 6)
        d["font"] = (pt, weight, italic, charset, face)
    else:
        d["font"] = None
    items = []
    for _ in range(count):
        off = align4(off)
        (ihelp, iex, istyle, ix, iy, icx, icy, iid) = struct.unpack_from("<IIIhhhhI", data, off)
        off += 24
        cls, off = sz_or_ord(data, off)
        text, off = sz_or_ord(data, off)
        extra = struct.unpack_from("<H", data, off)[0]
        off += 2 + extra
        items.append(dict(help_id=ihelp, exstyle=iex, style=istyle, rect=(ix, iy, icx, icy),
                          id=iid, class_=cls, text=text, extra=extra))
    d["items"] = items
    d["trailing"] = len(data) - off
    return d


def parse_string_block(data):
    """The 16 strings of a string-table block."""
    out, off = [], 0
    for _ in range(16):
        n = struct.unpack_from("<H", data, off)[0]
        out.append(data[off + 2:off + 2 + 2 * n].decode("utf-16-le", "surrogatepass"))
        off += 2 + 2 * n
    return out


def parse_version_node(data, off=0):
    """One node of a version resource: (key, value, children). A text value is a str
    without its terminator, a binary one bytes."""
    length, vlen, vtype = struct.unpack_from("<HHH", data, off)
    end = off + length
    key, p = utf16z(data, off + 6)
    p = align4(p)
    if vtype == 1:
        raw = data[p:min(p + 2 * vlen, end)]
        value = raw.decode("utf-16-le", "surrogatepass").split("\0")[0]
        p += 2 * vlen
    else:
        value = data[p:p + vlen]
        p += vlen
    children = []
    p = align4(p)
    while p < end:
        child, p = parse_version_node(data, p)
        children.append(child)
        p = align4(p)
    return (key, value, children), end


def parse_version(data):
    (key, fixed, children), _ = parse_version_node(data)
    if key != "VS_VERSION_INFO" or len(fixed) != 52:
        raise PEError("not a version resource (key %r, fixed part %d bytes)" % (key, len(fixed)))
    f = struct.unpack("<13I", fixed)
    v = dict(signature=f[0], file_version=(f[2] >> 16, f[2] & 0xFFFF, f[3] >> 16, f[3] & 0xFFFF),
             product_version=(f[4] >> 16, f[4] & 0xFFFF, f[5] >> 16, f[5] & 0xFFFF),
             flags_mask=f[6], flags=f[7], os=f[8], type=f[9], subtype=f[10], date=(f[11], f[12]),
             string_tables={}, translations=None, blocks=[c[0] for c in children])
    for ckey, _, sub in children:
        if ckey == "StringFileInfo":
            for tkey, _, strings in sub:
                v["string_tables"][tkey] = [(k, val) for k, val, _ in strings]
        elif ckey == "VarFileInfo":
            for vkey, val, _ in sub:
                if vkey == "Translation":
                    v["translations"] = [struct.unpack_from("<HH", val, i) for i in range(0, len(val), 4)]
    return v


def parse_group_icon(data):
    reserved, rtype, count = struct.unpack_from("<HHH", data, 0)
    entries = [struct.unpack_from("<BBBBHHIH", data, 6 + 14 * i) for i in range(count)]
    return (reserved, rtype), entries, len(data) - 6 - 14 * count


def parse_icon_image(data):
    """(width, height, bits per pixel, expected size) of an icon image; the height is
    that of the picture, half the bitmap's, which includes the AND mask."""
    size, w, h, planes, bpp = struct.unpack_from("<IiiHH", data, 0)
    if size != 40:
        return None
    colours = struct.unpack_from("<I", data, 32)[0] or (1 << bpp if bpp <= 8 else 0)
    xor = ((w * bpp + 31) // 32) * 4 * (h // 2)
    mask = ((w + 31) // 32) * 4 * (h // 2)
    return w, h // 2, bpp, 40 + 4 * colours + xor + mask


def language_name(lang):
    return "0x%04X" % lang

# --------------------------------------------------------------------------- expectations

LANG_ZH_CN, LANG_EN_GB, LANG_EN_US = 0x0804, 0x0809, 0x0409

BUTTON, STATIC, COMBOBOX = 0x0080, 0x0082, 0x0085
FONT = (9, 0, 0, 1, "MS Shell Dlg")

# Dialog templates: fields of the template, then the controls in template order as
# (id, class, style, (x, y, width, height), text). None as text: any non-empty text.
DIALOGS = {
    102: dict(
        style=0x90C800C8, exstyle=0x00040000, rect=(0, 0, 251, 83), caption="Orvia",
        items=[
            (1000, COMBOBOX, 0x50210103, (45, 35, 175, 157), ""),
            (1001, BUTTON, 0x50010000, (102, 57, 51, 16), "Button1"),
            (1002, BUTTON, 0x50010000, (167, 57, 51, 16), "Button2"),
            (0xFFFFFFFF, STATIC, 0x50020000, (38, 6, 175, 26), "Static"),
            (131, STATIC, 0x50000003, (4, 7, 20, 20), ""),
        ]),
    100: dict(
        style=0x80C800C8, exstyle=0, rect=(0, 0, 170, 62), caption="\u5173\u4E8E Orvia",
        items=[
            (0xFFFFFFFF, STATIC, 0x50000003, (14, 14, 21, 20), 128),
            (0xFFFFFFFF, STATIC, 0x50020080, (42, 14, 114, 8), "Orvia\uFF0C1.0 \u7248"),
            (0xFFFFFFFF, STATIC, 0x50020000, (42, 26, 114, 8), None),
            (1, BUTTON, 0x50030001, (113, 41, 50, 14), "\u786E\u5B9A"),
        ]),
}

ABOUT_STRING_ID = 101
ABOUT_STRING = "about Orvia(&A)..."
HELP_FAILED_STRING_ID = 61703
HELP_FAILED_STRING = "\u542F\u52A8\u5E2E\u52A9\u5931\u8D25\u3002"
# Each string alone in its block, under exactly its language.
STRINGS = (
    (ABOUT_STRING_ID, LANG_EN_GB, ABOUT_STRING),
    (HELP_FAILED_STRING_ID, LANG_ZH_CN, HELP_FAILED_STRING),
)

ICON_GROUPS = (128, 132, 133)
ICON_FORMATS = sorted([(32, 4), (16, 4), (32, 8), (16, 8)])

VERSION_STRINGS = {
    "CompanyName": "Quillmere",
    "FileDescription": None,
    "FileVersion": "1.0.0.1",
    "InternalName": "Setup.exe",
    "LegalCopyright": None,
    "OriginalFilename": "Setup.exe",
    "ProductVersion": "1.0.0.1",
}

# The DLLs that Windows itself provides and our programs may import, each with where Microsoft
# says so: the "DLL" row of the Requirements table of a function's reference page on Microsoft
# Learn, or, for msvcrt.dll, "C runtime (CRT) and C++ Standard Library (STL) .lib files" (a
# "known DLL", "a system component owned and built by Windows"). Everything else (libstdc++-6,
# libgcc_s_*, libwinpthread-1) is a compiler's run-time DLL that no Windows has.
SYSTEM_DLLS = {
    "kernel32.dll": "GetModuleFileNameW: DLL Kernel32.dll",
    "user32.dll": "DialogBoxParamW: DLL User32.dll",
    "gdi32.dll": "GetDeviceCaps: DLL Gdi32.dll",
    "advapi32.dll": "RegOpenKeyExW: DLL Advapi32.dll",
    "shell32.dll": "ShellExecuteW: DLL Shell32.dll",
    "comctl32.dll": "InitCommonControlsEx: DLL Comctl32.dll",
    "ole32.dll": "CoInitializeEx: DLL Ole32.dll",
    "msvcrt.dll": "the C run time of Windows, a known DLL",
}

ASM_V1 = "urn:schemas-microsoft-com:asm.v1"
TRUST_NAMESPACES = ("urn:schemas-microsoft-com:asm.v2", "urn:schemas-microsoft-com:asm.v3")
WINDOWS_SETTINGS_2005 = "http://schemas.microsoft.com/SMI/2005/WindowsSettings"

# --------------------------------------------------------------------------- checks


def show(text):
    """A text with its UTF-16 code units, for messages about exact texts."""
    if not isinstance(text, str):
        return repr(text)
    units = " ".join("%04X" % u for u in struct.unpack("<%dH" % (len(text.encode("utf-16-le")) // 2),
                                                        text.encode("utf-16-le", "surrogatepass")))
    return "%r [%s]" % (text, units)


def class_name(cls):
    return {BUTTON: "BUTTON (0x0080)", STATIC: "STATIC (0x0082)", COMBOBOX: "COMBOBOX (0x0085)"}.get(
        cls, repr(cls) if isinstance(cls, str) else "ordinal 0x%04X" % cls)


class Report:
    def __init__(self):
        self.failures = []

    def fail(self, what, message):
        self.failures.append("%s: %s" % (what, message))

    def equal(self, what, expected, actual, fmt=repr):
        if expected != actual:
            self.fail(what, "expected %s, found %s" % (fmt(expected), fmt(actual)))


def hex32(v):
    return "0x%08X" % v


def check_headers(pe, arch, r):
    oh = pe.OPTIONAL_HEADER
    machine = MACHINE_I386 if arch == "x86" else MACHINE_AMD64
    r.equal("machine", machine, pe.FILE_HEADER.Machine, lambda v: "0x%04X" % v)
    r.equal("optional header", arch == "x64", is64(pe), lambda v: "PE32+" if v else "PE32")
    r.equal("subsystem", SUBSYSTEM_WINDOWS_GUI, oh.Subsystem, lambda v: "%d (%s)" % (v, "GUI" if v == 2 else "not GUI"))
    if arch == "x86":
        r.equal("operating-system version", (5, 1), (oh.MajorOperatingSystemVersion, oh.MinorOperatingSystemVersion),
                lambda v: "%d.%d" % v)
        r.equal("subsystem version", (5, 1), (oh.MajorSubsystemVersion, oh.MinorSubsystemVersion),
                lambda v: "%d.%d" % v)
    for flag, name in ((DLL_DYNAMIC_BASE, "dynamic base (ASLR)"), (DLL_NX_COMPAT, "NX compatible (DEP)"),
                       (DLL_TERMINAL_SERVER_AWARE, "terminal-server aware")):
        if not oh.DllCharacteristics & flag:
            r.fail("DLL characteristics", "not %s (0x%04X)" % (name, oh.DllCharacteristics))
    if oh.DllCharacteristics & DLL_DYNAMIC_BASE and not directory(pe, DIR_BASERELOC)[0]:
        r.fail("relocations", "dynamic base is set but the image has no base relocations")


def languages_of(res, rtype, name):
    return sorted(lang for (t, n, lang) in res if t == rtype and n == name)


def one_resource(res, r, what, rtype, name, lang):
    """The resource under exactly the given language, or None after reporting why."""
    langs = languages_of(res, rtype, name)
    if not langs:
        r.fail(what, "missing")
        return None
    if langs != [lang]:
        r.fail(what, "stored under language(s) %s, expected only %s" % (
            ", ".join(map(language_name, langs)), language_name(lang)))
    return res.get((rtype, name, lang))


def check_dialog(number, data, r):
    what = "dialog %d" % number
    exp = DIALOGS[number]
    try:
        d = parse_dialogex(data)
    except (PEError, struct.error, UnicodeDecodeError) as e:
        r.fail(what, "cannot be read: %s" % e)
        return
    r.equal(what + " help id", 0, d["help_id"])
    r.equal(what + " style", exp["style"], d["style"], hex32)
    r.equal(what + " extended style", exp["exstyle"], d["exstyle"], hex32)
    r.equal(what + " position and size", exp["rect"], d["rect"])
    # An empty string (a single 0x0000) means none: no menu, the default dialog class.
    r.equal(what + " menu", "", d["menu"], lambda v: "none" if v == "" else repr(v))
    r.equal(what + " window class", "", d["class"], lambda v: "the default" if v == "" else repr(v))
    r.equal(what + " caption", exp["caption"], d["caption"], show)
    r.equal(what + " font", FONT, d["font"])
    if d["trailing"] not in (0, 1, 2, 3) or any(data[len(data) - d["trailing"]:]):
        r.fail(what, "%d unexpected bytes after the last control" % d["trailing"])
    r.equal(what + " number of controls", len(exp["items"]), len(d["items"]))
    for i, (item, (cid, cls, style, rect, text)) in enumerate(zip(d["items"], exp["items"]), 1):
        w = "%s control %d" % (what, i)
        r.equal(w + " id", cid, item["id"], hex32)
        r.equal(w + " class", cls, item["class_"], class_name)
        r.equal(w + " style", style, item["style"], hex32)
        r.equal(w + " extended style", 0, item["exstyle"], hex32)
        r.equal(w + " help id", 0, item["help_id"])
        r.equal(w + " position and size", rect, item["rect"])
        r.equal(w + " creation data size", 0, item["extra"])
        if text is None:
            if not isinstance(item["text"], str) or not item["text"].strip():
                r.fail(w + " text", "expected a text, found %s" % show(item["text"]))
        else:
            r.equal(w + " text", text, item["text"], show)


def check_strings(res, r):
    for number, lang, text in STRINGS:
        block = number // 16 + 1
        what = "string block %d (strings %d-%d)" % (block, (block - 1) * 16, block * 16 - 1)
        data = one_resource(res, r, what, RT_STRING, block, lang)
        if data is None:
            continue
        try:
            strings = parse_string_block(data)
        except (struct.error, UnicodeDecodeError) as e:
            r.fail(what, "cannot be read: %s" % e)
            continue
        r.equal("string %d" % number, text, strings[number % 16], show)
        others = [(block - 1) * 16 + i for i, s in enumerate(strings) if s and i != number % 16]
        if others:
            r.fail(what, "holds other strings too: %s" % ", ".join(map(str, others)))
    expected_blocks = {number // 16 + 1 for number, _, _ in STRINGS}
    extra = sorted({n for (t, n, _) in res if t == RT_STRING} - expected_blocks, key=str)
    if extra:
        r.fail("string blocks", "unexpected blocks: %s" % ", ".join(map(str, extra)))


def check_version(res, r):
    data = one_resource(res, r, "version block", RT_VERSION, 1, LANG_ZH_CN)
    if data is None:
        return
    try:
        v = parse_version(data)
    except (PEError, struct.error, UnicodeDecodeError) as e:
        r.fail("version block", "cannot be read: %s" % e)
        return
    r.equal("version signature", 0xFEEF04BD, v["signature"], hex32)
    r.equal("file version", (1, 0, 0, 1), v["file_version"])
    r.equal("product version", (1, 0, 0, 1), v["product_version"])
    r.equal("file flags mask", 0x3F, v["flags_mask"], hex32)
    r.equal("file flags", 0, v["flags"], hex32)
    r.equal("file OS", 0x00040004, v["os"], hex32)
    r.equal("file type", 1, v["type"])
    r.equal("file subtype", 0, v["subtype"])
    r.equal("file date", (0, 0), v["date"])
    r.equal("version string tables", ["040904b0"], sorted(v["string_tables"]))
    strings = v["string_tables"].get("040904b0", [])
    keys = [k for k, _ in strings]
    r.equal("version strings", sorted(VERSION_STRINGS), sorted(keys))
    if len(set(keys)) != len(keys):
        r.fail("version strings", "duplicate keys: %s" % keys)
    for key, value in strings:
        if key not in VERSION_STRINGS:
            continue
        expected = VERSION_STRINGS[key]
        if expected is None:
            if not value.strip():
                r.fail("version string " + key, "is empty")
        else:
            r.equal("version string " + key, expected, value, show)
    r.equal("version translations", [(0x0409, 1200)], v["translations"])


def check_manifest(res, r, arch):
    manifests = sorted((n, lang) for (t, n, lang) in res if t == RT_MANIFEST)
    r.equal("manifests (id, language)", [(1, LANG_EN_US)], manifests,
            lambda v: ", ".join("%s/%s" % (n, language_name(lang)) for n, lang in v) or "none")
    data = res.get((RT_MANIFEST, 1, LANG_EN_US))
    if data is None:
        return
    try:
        root = ET.fromstring(data)
    except ET.ParseError as e:
        r.fail("manifest", "not well-formed XML: %s" % e)
        return
    r.equal("manifest root", "{%s}assembly" % ASM_V1, root.tag)
    r.equal("manifest version", "1.0", root.get("manifestVersion"))
    ids = root.findall("{%s}dependency/{%s}dependentAssembly/{%s}assemblyIdentity" % ((ASM_V1,) * 3))
    expected = {"type": "win32", "name": "Microsoft.Windows.Common-Controls", "version": "6.0.0.0",
                "processorArchitecture": "x86" if arch == "x86" else "amd64",
                "publicKeyToken": "6595b64144ccf1df", "language": "*"}
    if len(ids) != 1:
        r.fail("manifest", "expected one dependency, found %d" % len(ids))
    else:
        r.equal("manifest common-controls dependency", expected, dict(ids[0].attrib))
    # The trust information in the asm.v2 namespace, which Windows XP's manifest parser knows
    # (it rejects trustInfo in asm.v1) and Vista and later read alike; and no element that
    # declares the same namespace twice, which restarts XP SP2 without KB921337.
    asm_v2 = "urn:schemas-microsoft-com:asm.v2"
    levels = [e for ns in TRUST_NAMESPACES for e in root.iter("{%s}requestedExecutionLevel" % ns)]
    in_v2 = root.findall("{%s}trustInfo/{%s}security/{%s}requestedPrivileges/{%s}requestedExecutionLevel"
                         % ((asm_v2,) * 4))
    if len(levels) != 1 or len(in_v2) != 1:
        r.fail("manifest", "expected one requestedExecutionLevel, in an asm.v2 trustInfo; found %d, %d there"
               % (len(levels), len(in_v2)))
    else:
        r.equal("manifest execution level", {"level": "asInvoker", "uiAccess": "false"}, dict(levels[0].attrib))
    text = data.decode("utf-8", "replace")
    for tag in re.findall(r"<[^!?/][^>]*>", text):
        declared = re.findall(r"""xmlns(?::[\w.-]+)?\s*=\s*["']([^"']*)["']""", tag)
        if len(declared) != len(set(declared)):
            r.fail("manifest", "an element declares a namespace twice: %s" % tag)
    dpi = list(root.iter("{%s}dpiAware" % WINDOWS_SETTINGS_2005))
    if len(dpi) != 1:
        r.fail("manifest", "expected one dpiAware setting, found %d" % len(dpi))
    else:
        r.equal("manifest dpiAware", "true", (dpi[0].text or "").strip())


def check_icons(res, r):
    images = {}
    for group in ICON_GROUPS:
        what = "icon group %d" % group
        data = one_resource(res, r, what, RT_GROUP_ICON, group, LANG_ZH_CN)
        if data is None:
            continue
        try:
            header, entries, rest = parse_group_icon(data)
        except struct.error as e:
            r.fail(what, "cannot be read: %s" % e)
            continue
        r.equal(what + " header", (0, 1), header)
        if rest:
            r.fail(what, "%d bytes after the directory" % rest)
        formats = sorted((e[0] or 256, e[5]) for e in entries)
        r.equal(what + " images (size, bits per pixel)", ICON_FORMATS, formats)
        images[group] = {}
        for (w, h, colours, _, planes, bpp, size, icon_id) in entries:
            w_ = "%s image %dx%d %d bpp (icon %d)" % (what, w, h, bpp, icon_id)
            r.equal(w_ + " colour count", 16 if bpp == 4 else 0, colours)
            r.equal(w_ + " planes", 1, planes)
            image = one_resource(res, r, w_, RT_ICON, icon_id, LANG_ZH_CN)
            if image is None:
                continue
            r.equal(w_ + " size in directory", len(image), size)
            info = parse_icon_image(image)
            if info is None:
                r.fail(w_, "not a BITMAPINFOHEADER image")
                continue
            r.equal(w_ + " bitmap (width, height, bpp)", (w, h, bpp), info[:3])
            r.equal(w_ + " bitmap with palette, colours and AND mask, bytes", info[3], len(image))
            images[group][(w, bpp)] = image
    if all(g in images for g in ICON_GROUPS):
        for key in ICON_FORMATS:
            a, b, c = (images[g].get(key) for g in ICON_GROUPS)
            if a != b:
                r.fail("icon groups 128 and 132", "the %dx%d %d-bit images differ" % (key[0], key[0], key[1]))
            if key[1] == 4 and a != c:
                r.fail("icon groups 128 and 133", "the %dx%d 4-bit images differ" % (key[0], key[0]))
            if key[1] == 8 and a is not None and a == c:
                r.fail("icon group 133", "the %dx%d 8-bit image is the same as group 128's" % (key[0], key[0]))


def load_allow_list(path):
    allowed = set()
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if line:
                dll, _, func = line.partition("!")
                allowed.add((dll.lower(), func))
    return allowed


def not_a_system_dll(dll):
    """Why an imported DLL may not be imported, or None for a DLL of Windows itself."""
    name = dll.lower()
    if name in SYSTEM_DLLS:
        return None
    hint = " (a run-time DLL: link it statically)" if name.startswith(
        ("libstdc++", "libgcc", "libwinpthread")) else ""
    return "%s is not a system DLL%s" % (dll, hint)


def check_imports(pe, r, allowed):
    """allowed: the (dll, function) pairs known on Windows XP SP3, or None to skip that."""
    listed = imports(pe)
    if not listed:
        r.fail("imports", "none found")
    for dll, funcs in listed:
        name = dll.lower()
        if not_a_system_dll(dll):
            r.fail("imports", not_a_system_dll(dll))
            continue
        if allowed is None:
            continue
        for func in funcs:
            if func.startswith("#"):
                r.fail("imports", "%s imported by ordinal %s" % (dll, func[1:]))
            elif (name, func) not in allowed:
                r.fail("imports", "%s!%s is not known on Windows XP: look it up at run time" % (name, func))
    if directory(pe, DIR_DELAY_IMPORT)[0]:
        r.fail("imports", "delay-load imports are present")


def run_tool(argv):
    try:
        return subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=True,
                              encoding="utf-8", errors="replace").stdout
    except (OSError, subprocess.CalledProcessError):
        return None


def cross_check(path, pe, res, r):
    """Compares pefile's lists of imports and resources with objdump's and wrestool's: where
    pefile passes over a malformed thunk chain or directory entry, the lists differ."""
    objdump = next((t for t in ("x86_64-w64-mingw32-objdump" if is64(pe) else "i686-w64-mingw32-objdump",
                                "objdump") if shutil.which(t)), None)
    out = run_tool([objdump, "-p", path]) if objdump else None
    if out is not None:
        imported, dll = set(), None
        for line in out.splitlines():
            m = re.match(r"\s*DLL Name: (\S+)", line)
            if m:
                dll = m.group(1).lower()
                continue
            m = re.match(r"\s+[0-9a-f]+\s+(\d+)\s+(\S+)$", line)
            if dll and m:
                imported.add("%s!%s" % (dll, m.group(2)))
        ours = {"%s!%s" % (d.lower(), f) for d, fs in imports(pe) for f in fs if not f.startswith("#")}
        if imported != ours:
            r.fail("imports as objdump reads them", "only objdump: %s; only here: %s" % (
                sorted(imported - ours), sorted(ours - imported)))
    out = run_tool(["wrestool", "-l", path]) if shutil.which("wrestool") else None
    if out is not None:
        def key(v):
            v = v.strip("'")
            return int(v) if v.isdigit() else v
        listed = {(key(t), key(n), int(lang), int(size)) for t, n, lang, size in re.findall(
            r"--type=(\S+) --name=(\S+) --language=(\d+) \[.*?size=(\d+)\]", out)}
        ours = {(t, n, lang, len(data)) for (t, n, lang), data in res.items()}
        if listed != ours:
            r.fail("resources as wrestool lists them", "only wrestool: %s; only here: %s" % (
                sorted(listed - ours, key=repr), sorted(ours - listed, key=repr)))


def check(path, arch, allow_list):
    r = Report()
    try:
        with open(path, "rb") as f:
            pe = read_image(f.read())
        for warning in pe.get_warnings():
            r.fail("image as pefile reads it", warning)
        check_headers(pe, arch, r)
        res = resources(pe)
        for number in sorted(DIALOGS):
            data = one_resource(res, r, "dialog %d" % number, RT_DIALOG, number, LANG_ZH_CN)
            if data is not None:
                check_dialog(number, data, r)
        check_strings(res, r)
        check_version(res, r)
        check_manifest(res, r, arch)
        check_icons(res, r)
        check_imports(pe, r, load_allow_list(allow_list) if arch == "x86" else None)
        cross_check(path, pe, res, r)
    except (PEError, pefile.PEFormatError, struct.error, ValueError) as e:
        r.fail(path, "cannot be read as a PE image: %s" % e)
    return r.failures


def main(argv):
    args = list(argv)
    arch = "x86"
    if "--arch" in args:
        i = args.index("--arch")
        arch = args[i + 1] if i + 1 < len(args) else ""
        del args[i:i + 2]
    if len(args) != 1 or arch not in ("x86", "x64"):
        sys.stderr.write("usage: check_pe.py EXE [--arch x86|x64]\n")
        return 2
    path = args[0]
    if not os.path.isfile(path):
        print("FAIL %s: no such file; build it first (tools/build makes build/x86/Setup.exe)" % path)
        return 1
    allow = os.path.join(os.path.dirname(os.path.abspath(__file__)), "xp-imports.txt")
    failures = check(path, arch, allow)
    for f in failures:
        print("FAIL " + f)
    print("%s: %s" % (path, "%d failure(s)" % len(failures) if failures else "all static checks passed"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
