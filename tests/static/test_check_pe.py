"""The static checker on hand-made resources and headers: each case breaks one thing
that Setup.exe must get right and expects the checker to name it."""

import copy
import os
import struct
import subprocess
import sys
import tempfile
import types
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)

import check_pe as c  # noqa: E402

# --------------------------------------------------------------------------- encoders
# Written from the file formats, independently of the checker's readers.


def sz(text):
    return text.encode("utf-16-le", "surrogatepass") + b"\0\0"


def sz_or_ord(v):
    return struct.pack("<HH", 0xFFFF, v) if isinstance(v, int) else sz(v)


def pad4(b):
    return b + bytes(-len(b) % 4)


def dialog_bytes(d):
    out = struct.pack("<HHIIIHhhhh", 1, 0xFFFF, d.get("help_id", 0), d["exstyle"], d["style"],
                      len(d["items"]), *d["rect"])
    out += sz_or_ord(d.get("menu", "")) + sz_or_ord(d.get("class", "")) + sz(d["caption"])
    pt, weight, italic, charset, face = d.get("font", c.FONT)
    out += struct.pack("<HHBB", pt, weight, italic, charset) + sz(face)
    for it in d["items"]:
        out = pad4(out)
        out += struct.pack("<IIIhhhhI", it.get("help_id", 0), it.get("exstyle", 0), it["style"], *it["rect"], it["id"])
        extra = it.get("extra", b"")
        out += sz_or_ord(it["class_"]) + sz_or_ord(it["text"]) + struct.pack("<H", len(extra)) + extra
    return out


def good_dialog(number):
    exp = c.DIALOGS[number]
    items = [dict(id=i, class_=cls, style=st, rect=rect, text="Copyright 2024 Quillmere" if t is None else t)
             for i, cls, st, rect, t in exp["items"]]
    return dict(style=exp["style"], exstyle=exp["exstyle"], rect=exp["rect"], caption=exp["caption"], items=items)


def version_node(key, value=b"", children=(), text=False):
    body = sz(key)
    if text:
        raw, vlen = sz(value), len(value) + 1
    else:
        raw, vlen = value, len(value)
    out = pad4(struct.pack("<HHH", 0, vlen, 1 if text else 0) + body) + raw
    for child in children:
        out = pad4(out) + child
    return struct.pack("<H", len(out)) + out[2:]


def version_bytes(fixed=None, strings=None, translation=(0x0409, 1200), table="040904b0"):
    f = dict(signature=0xFEEF04BD, fv=(1, 0, 0, 1), pv=(1, 0, 0, 1), mask=0x3F, flags=0, os=0x40004, type=1,
             subtype=0, date=(0, 0))
    f.update(fixed or {})
    fixed_bytes = struct.pack("<13I", f["signature"], 0x10000, f["fv"][0] << 16 | f["fv"][1], f["fv"][2] << 16 | f["fv"][3],
                              f["pv"][0] << 16 | f["pv"][1], f["pv"][2] << 16 | f["pv"][3], f["mask"], f["flags"],
                              f["os"], f["type"], f["subtype"], *f["date"])
    if strings is None:
        strings = dict(c.VERSION_STRINGS, FileDescription="Installation language selection",
                       LegalCopyright="Copyright 2024 Quillmere")
    table_node = version_node(table, children=[version_node(k, v, text=True) for k, v in strings.items()])
    var = version_node("Translation", struct.pack("<HH", *translation))
    return version_node("VS_VERSION_INFO", fixed_bytes, [
        version_node("StringFileInfo", children=[table_node]), version_node("VarFileInfo", children=[var])])


def string_block(strings):
    return b"".join(struct.pack("<H", len(s)) + s.encode("utf-16-le") for s in strings)


def icon_image(size, bpp, fill):
    xor = ((size * bpp + 31) // 32) * 4 * size
    mask = ((size + 31) // 32) * 4 * size
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, bpp, 0, xor + mask, 0, 0, 0, 0)
    return header + bytes(4 * (1 << bpp)) + bytes([fill]) * xor + bytes(mask)


def icon_resources(lang=c.LANG_ZH_CN):
    """Groups 128 and 132 with the same images, 133 with the same 4-bit and its own
    8-bit images, as the resource compiler stores them."""
    res, next_id = {}, 1
    for group in c.ICON_GROUPS:
        entries = b""
        for size, bpp in ((32, 4), (16, 4), (32, 8), (16, 8)):
            image = icon_image(size, bpp, 7 if group == 133 and bpp == 8 else 1)
            res[(c.RT_ICON, next_id, lang)] = image
            entries += struct.pack("<BBBBHHIH", size, size, 16 if bpp == 4 else 0, 0, 1, bpp, len(image), next_id)
            next_id += 1
        res[(c.RT_GROUP_ICON, group, lang)] = struct.pack("<HHH", 0, 1, 4) + entries
    return res


def failures_of(fn, *args):
    r = c.Report()
    fn(*args, r)
    return r.failures


class Case(unittest.TestCase):
    def assertNamed(self, failures, label):
        self.assertTrue(any(label in f for f in failures), "no failure about %r in %s" % (label, failures))

# --------------------------------------------------------------------------- dialogs


def set_item(number, field, value):
    def mutate(d):
        d["items"][number - 1][field] = value
    return mutate


def set_field(field, value):
    def mutate(d):
        d[field] = value
    return mutate


def swap_items(a, b):
    def mutate(d):
        d["items"][a - 1], d["items"][b - 1] = d["items"][b - 1], d["items"][a - 1]
    return mutate


DIALOG_FAULTS = [
    (102, "not visible", set_field("style", 0x80C800C8), "dialog 102 style"),
    (102, "centred", set_field("style", 0x90C808C8), "dialog 102 style"),
    (102, "no taskbar button", set_field("exstyle", 0), "dialog 102 extended style"),
    (102, "moved", set_field("rect", (0, 0, 252, 83)), "dialog 102 position and size"),
    (102, "caption", set_field("caption", "Orvia "), "dialog 102 caption"),
    (102, "a menu", set_field("menu", 1), "dialog 102 menu"),
    (102, "a class", set_field("class", "OrviaDlg"), "dialog 102 window class"),
    (102, "font charset", set_field("font", (9, 0, 0, 0, "MS Shell Dlg")), "dialog 102 font"),
    (102, "font face", set_field("font", (8, 400, 0, 1, "MS Sans Serif")), "dialog 102 font"),
    (102, "help id", set_field("help_id", 7), "dialog 102 help id"),
    (102, "buttons swapped", swap_items(2, 3), "dialog 102 control 2 id"),
    (102, "label id 16-bit", set_item(4, "id", 0xFFFF), "dialog 102 control 4 id"),
    (102, "class by name", set_item(2, "class_", "BUTTON"), "dialog 102 control 2 class"),
    (102, "default button", set_item(2, "style", 0x50010001), "dialog 102 control 2 style"),
    (102, "combo not sorted", set_item(1, "style", 0x50200103), "dialog 102 control 1 style"),
    (102, "static notifies", set_item(5, "style", 0x50000103), "dialog 102 control 5 style"),
    (102, "control exstyle", set_item(1, "exstyle", 0x200), "dialog 102 control 1 extended style"),
    (102, "control help id", set_item(3, "help_id", 1), "dialog 102 control 3 help id"),
    (102, "creation data", set_item(2, "extra", b"\1\0"), "dialog 102 control 2 creation data size"),
    (102, "combo height", set_item(1, "rect", (45, 35, 175, 12)), "dialog 102 control 1 position and size"),
    (102, "icon named", set_item(5, "text", 133), "dialog 102 control 5 text"),
    (102, "sixth control", lambda d: d["items"].append(dict(d["items"][0])), "dialog 102 number of controls"),
    (100, "visible", set_field("style", 0x90C800C8), "dialog 100 style"),
    (100, "caption space", set_field("caption", "\u5173\u4E8EOrvia"), "dialog 100 caption"),
    (100, "ASCII comma", set_item(2, "text", "Orvia,1.0 \u7248"), "dialog 100 control 2 text"),
    (100, "icon by name", set_item(1, "text", "128"), "dialog 100 control 1 text"),
    (100, "no copyright", set_item(3, "text", ""), "dialog 100 control 3 text"),
    (100, "cancel button", set_item(4, "id", 2), "dialog 100 control 4 id"),
    (100, "prefix in version", set_item(2, "style", 0x50020000), "dialog 100 control 2 style"),
    (100, "button text", set_item(4, "text", "OK"), "dialog 100 control 4 text"),
]


class DialogTest(Case):
    def test_the_expected_templates_pass(self):
        for number in c.DIALOGS:
            self.assertEqual([], failures_of(c.check_dialog, number, dialog_bytes(good_dialog(number))))

    def test_each_fault_is_named(self):
        for number, name, mutate, label in DIALOG_FAULTS:
            with self.subTest(name):
                d = copy.deepcopy(good_dialog(number))
                mutate(d)
                self.assertNamed(failures_of(c.check_dialog, number, dialog_bytes(d)), label)

    def test_texts_are_shown_with_their_code_units(self):
        d = good_dialog(100)
        d["items"][1]["text"] = "Orvia,1.0 \u7248"
        [failure] = failures_of(c.check_dialog, 100, dialog_bytes(d))
        self.assertIn("FF0C", failure)
        self.assertIn("002C", failure)

    def test_a_plain_template_is_refused(self):
        plain = struct.pack("<IIHhhhh", 0x90C800C8, 0, 0, 0, 0, 251, 83) + bytes(8)
        self.assertNamed(failures_of(c.check_dialog, 102, plain), "cannot be read")

    def test_the_dialogs_must_be_chinese_prc(self):
        res = {(c.RT_DIALOG, 102, 0x0409): b""}
        r = c.Report()
        self.assertIsNone(c.one_resource(res, r, "dialog 102", c.RT_DIALOG, 102, c.LANG_ZH_CN))
        self.assertNamed(r.failures, "0x0409")

# --------------------------------------------------------------------------- strings


class StringTest(Case):
    def block(self, extra=None, text=c.ABOUT_STRING, index=5):
        strings = [""] * 16
        strings[index] = text
        if extra is not None:
            strings[extra] = "x"
        return string_block(strings)

    def help_block(self, text=c.HELP_FAILED_STRING):
        return self.block(text=text, index=c.HELP_FAILED_STRING_ID % 16)

    def test_cases(self):
        about = (c.RT_STRING, 7, c.LANG_EN_GB)
        help_ = (c.RT_STRING, 3857, c.LANG_ZH_CN)
        both = {about: self.block(), help_: self.help_block()}
        cases = [
            ("alone", both, None),
            ("another string", both | {about: self.block(extra=6)}, "holds other strings too: 102"),
            ("capital A", both | {about: self.block(text="About Orvia(&A)...")}, "string 101"),
            ("ellipsis character", both | {about: self.block(text="about Orvia(&A)\u2026")}, "string 101"),
            ("US English", {(c.RT_STRING, 7, c.LANG_EN_US): self.block(), help_: self.help_block()},
             "expected only 0x0809"),
            ("also Chinese", both | {(c.RT_STRING, 7, c.LANG_ZH_CN): self.block()},
             "expected only 0x0809"),
            ("absent", {help_: self.help_block()}, "missing"),
            ("help text without its full stop", both | {help_: self.help_block(text=c.HELP_FAILED_STRING[:-1])},
             "string 61703"),
            ("help text in English too", both | {(c.RT_STRING, 3857, c.LANG_EN_US): self.help_block()},
             "expected only 0x0804"),
            ("no help text", {about: self.block()}, "string block 3857"),
            ("a block more", both | {(c.RT_STRING, 8, c.LANG_EN_GB): self.block()}, "unexpected blocks: 8"),
        ]
        for name, res, label in cases:
            with self.subTest(name):
                r = c.Report()
                c.check_strings(res, r)
                if label is None:
                    self.assertEqual([], r.failures)
                else:
                    self.assertNamed(r.failures, label)

# --------------------------------------------------------------------------- version block


class VersionTest(Case):
    def run_check(self, data, lang=c.LANG_ZH_CN):
        r = c.Report()
        c.check_version({(c.RT_VERSION, 1, lang): data}, r)
        return r.failures

    def test_cases(self):
        strings = dict(c.VERSION_STRINGS, FileDescription="d", LegalCopyright="c")
        without_company = {k: v for k, v in strings.items() if k != "CompanyName"}
        cases = [
            ("good", version_bytes(), None),
            ("file version", version_bytes(fixed=dict(fv=(1, 0, 0, 0))), "file version"),
            ("debug flag", version_bytes(fixed=dict(flags=1)), "file flags"),
            ("mask", version_bytes(fixed=dict(mask=0x17)), "file flags mask"),
            ("OS", version_bytes(fixed=dict(os=4)), "file OS"),
            ("DLL", version_bytes(fixed=dict(type=2)), "file type"),
            ("dated", version_bytes(fixed=dict(date=(0, 1))), "file date"),
            ("Chinese table", version_bytes(table="080404b0"), "version string tables"),
            ("translation", version_bytes(translation=(0x0804, 1200)), "version translations"),
            ("no company", version_bytes(strings=without_company), "version strings"),
            ("product name too", version_bytes(strings=dict(strings, ProductName="x")), "version strings"),
            ("internal name", version_bytes(strings=dict(strings, InternalName="Setup")), "InternalName"),
            ("empty description", version_bytes(strings=dict(strings, FileDescription="")), "FileDescription"),
        ]
        for name, data, label in cases:
            with self.subTest(name):
                failures = self.run_check(data)
                if label is None:
                    self.assertEqual([], failures)
                else:
                    self.assertNamed(failures, label)

    def test_the_block_must_be_chinese_prc(self):
        self.assertNamed(self.run_check(version_bytes(), lang=c.LANG_EN_US), "version block")

# --------------------------------------------------------------------------- manifest


def manifest_text(arch="x86"):
    with open(os.path.join(ROOT, "res", "Setup.manifest"), encoding="utf-8") as f:
        text = f.read()
    return text.replace('processorArchitecture="x86"', 'processorArchitecture="%s"' % arch)


class ManifestTest(Case):
    def run_check(self, text, arch="x86", key=(c.RT_MANIFEST, 1, c.LANG_EN_US)):
        r = c.Report()
        c.check_manifest({key: text.encode("utf-8")}, r, arch)
        return r.failures

    def test_the_committed_manifest_passes_for_each_build(self):
        self.assertEqual([], self.run_check(manifest_text("x86"), "x86"))
        self.assertEqual([], self.run_check(manifest_text("amd64"), "x64"))

    def test_faults(self):
        t = manifest_text()
        cases = [
            ("amd64 in the x86 build", manifest_text("amd64"), "x86", "common-controls dependency"),
            ("x86 in the x64 build", t, "x64", "common-controls dependency"),
            ("common controls 5", t.replace('version="6.0.0.0"', 'version="5.82.0.0"'), "x86", "dependency"),
            ("elevation", t.replace("asInvoker", "requireAdministrator"), "x86", "execution level"),
            ("ui access", t.replace('uiAccess="false"', 'uiAccess="true"'), "x86", "execution level"),
            ("not DPI-aware", t.replace(">true</dpiAware>", ">false</dpiAware>"), "x86", "dpiAware"),
            ("no DPI setting", t.replace("dpiAware", "dpiAwareness"), "x86", "dpiAware"),
            ("broken XML", t.replace("</assembly>", ""), "x86", "not well-formed"),
            ("trust information in asm.v3", t.replace('<trustInfo xmlns="urn:schemas-microsoft-com:asm.v2"',
                                                      '<trustInfo xmlns="urn:schemas-microsoft-com:asm.v3"'),
             "x86", "asm.v2 trustInfo"),
            ("a namespace declared twice", t.replace('<trustInfo xmlns="urn:schemas-microsoft-com:asm.v2"',
                                                     '<trustInfo xmlns="urn:schemas-microsoft-com:asm.v2" '
                                                     'xmlns:v2="urn:schemas-microsoft-com:asm.v2"'),
             "x86", "twice"),
        ]
        for name, text, arch, label in cases:
            with self.subTest(name):
                self.assertNamed(self.run_check(text, arch), label)

    def test_the_manifest_must_be_us_english_id_1(self):
        self.assertNamed(self.run_check(manifest_text(), key=(c.RT_MANIFEST, 1, c.LANG_EN_GB)), "manifests")
        self.assertNamed(self.run_check(manifest_text(), key=(c.RT_MANIFEST, 2, c.LANG_EN_US)), "manifests")

# --------------------------------------------------------------------------- icons


def icon_ids(res, group):
    data = res[(c.RT_GROUP_ICON, group, c.LANG_ZH_CN)]
    return {(e[0], e[5]): e[7] for e in c.parse_group_icon(data)[1]}


class IconTest(Case):
    def run_check(self, res):
        r = c.Report()
        c.check_icons(res, r)
        return r.failures

    def test_faults(self):
        def replace_image(group, key, fill):
            def mutate(res):
                res[(c.RT_ICON, icon_ids(res, group)[key], c.LANG_ZH_CN)] = icon_image(key[0], key[1], fill)
            return mutate

        def drop_entry(group):
            def mutate(res):
                k = (c.RT_GROUP_ICON, group, c.LANG_ZH_CN)
                res[k] = struct.pack("<HHH", 0, 1, 3) + res[k][6:6 + 14 * 3]
            return mutate

        def move_group(group, lang):
            def mutate(res):
                res[(c.RT_GROUP_ICON, group, lang)] = res.pop((c.RT_GROUP_ICON, group, c.LANG_ZH_CN))
            return mutate

        def wrong_depth(res):
            ident = icon_ids(res, 128)[(32, 8)]
            res[(c.RT_ICON, ident, c.LANG_ZH_CN)] = icon_image(32, 4, 1)

        cases = [
            ("good", lambda res: None, None),
            ("132 differs", replace_image(132, (16, 8), 9), "icon groups 128 and 132"),
            ("133 4-bit differs", replace_image(133, (32, 4), 9), "icon groups 128 and 133"),
            ("133 8-bit same", replace_image(133, (32, 8), 1), "icon group 133"),
            ("three images", drop_entry(132), "icon group 132 images"),
            ("English group", move_group(128, c.LANG_EN_US), "icon group 128"),
            ("bitmap depth", wrong_depth, "bitmap (width, height, bpp)"),
            ("image missing", lambda res: res.pop((c.RT_ICON, 5, c.LANG_ZH_CN)), "icon 5"),
        ]
        for name, mutate, label in cases:
            with self.subTest(name):
                res = icon_resources()
                mutate(res)
                failures = self.run_check(res)
                if label is None:
                    self.assertEqual([], failures)
                else:
                    self.assertNamed(failures, label)

    def test_the_drawn_icons_make_valid_groups(self):
        """tools/make-icons output, stored as the resource compiler stores .ico files."""
        with tempfile.TemporaryDirectory() as out:
            subprocess.run([sys.executable, os.path.join(ROOT, "tools", "make-icons"), out], check=True)
            res, next_id = {}, 1
            for group, name in ((128, "setup.ico"), (132, "setup.ico"), (133, "setup-language.ico")):
                with open(os.path.join(out, name), "rb") as f:
                    ico = f.read()
                _, _, count = struct.unpack_from("<HHH", ico, 0)
                entries = b""
                for i in range(count):
                    w, h, colours, _, planes, bpp, size, offset = struct.unpack_from("<BBBBHHII", ico, 6 + 16 * i)
                    res[(c.RT_ICON, next_id, c.LANG_ZH_CN)] = ico[offset:offset + size]
                    entries += struct.pack("<BBBBHHIH", w, h, colours, 0, planes, bpp, size, next_id)
                    next_id += 1
                res[(c.RT_GROUP_ICON, group, c.LANG_ZH_CN)] = struct.pack("<HHH", 0, 1, count) + entries
            self.assertEqual([], self.run_check(res))
            # Same script, same bytes.
            with tempfile.TemporaryDirectory() as again:
                subprocess.run([sys.executable, os.path.join(ROOT, "tools", "make-icons"), again], check=True)
                for name in ("setup.ico", "setup-language.ico"):
                    with open(os.path.join(out, name), "rb") as a, open(os.path.join(again, name), "rb") as b:
                        self.assertEqual(a.read(), b.read(), name)

# --------------------------------------------------------------------------- headers and imports


def fake_image(machine=c.MACHINE_I386, is64=False, subsystem=c.SUBSYSTEM_WINDOWS_GUI, os_version=(5, 1),
               subsystem_version=(5, 1), dll_characteristics=0x8140, dirs=None, import_list=None):
    """The parts of pefile's reading of an image that the header and import checks use."""
    ns = types.SimpleNamespace
    dirs = {5: (0x1000, 8)} if dirs is None else dirs
    if import_list is None:
        import_list = [("KERNEL32.dll", ["GetUserDefaultUILanguage"]), ("USER32.dll", ["DialogBoxParamW"])]
    return ns(
        FILE_HEADER=ns(Machine=machine),
        OPTIONAL_HEADER=ns(
            Magic=0x20B if is64 else 0x10B, Subsystem=subsystem, DllCharacteristics=dll_characteristics,
            MajorOperatingSystemVersion=os_version[0], MinorOperatingSystemVersion=os_version[1],
            MajorSubsystemVersion=subsystem_version[0], MinorSubsystemVersion=subsystem_version[1],
            DATA_DIRECTORY=[ns(VirtualAddress=dirs.get(i, (0, 0))[0], Size=dirs.get(i, (0, 0))[1]) for i in range(16)]),
        DIRECTORY_ENTRY_IMPORT=[
            ns(dll=dll.encode(), imports=[
                ns(import_by_ordinal=True, ordinal=int(f[1:]), name=None) if f.startswith("#") else
                ns(import_by_ordinal=False, ordinal=None, name=f.encode()) for f in funcs])
            for dll, funcs in import_list])


class HeaderTest(Case):
    def test_cases(self):
        cases = [
            ("good", fake_image(), "x86", None),
            ("good 64-bit", fake_image(machine=c.MACHINE_AMD64, is64=True, os_version=(4, 0)), "x64", None),
            ("64-bit shipped", fake_image(machine=c.MACHINE_AMD64, is64=True), "x86", "machine"),
            ("console", fake_image(subsystem=3), "x86", "subsystem"),
            ("Vista and later", fake_image(os_version=(6, 0)), "x86", "operating-system version"),
            ("Windows 2000", fake_image(subsystem_version=(5, 0)), "x86", "subsystem version"),
            ("no ASLR", fake_image(dll_characteristics=0x8100), "x86", "dynamic base"),
            ("no DEP", fake_image(dll_characteristics=0x8040), "x86", "NX compatible"),
            ("not TS aware", fake_image(dll_characteristics=0x0140), "x86", "terminal-server aware"),
            ("no relocations", fake_image(dirs={}), "x86", "relocations"),
        ]
        for name, pe, arch, label in cases:
            with self.subTest(name):
                r = c.Report()
                c.check_headers(pe, arch, r)
                if label is None:
                    self.assertEqual([], r.failures)
                else:
                    self.assertNamed(r.failures, label)


class ImportTest(Case):
    ALLOWED = {("kernel32.dll", "GetUserDefaultUILanguage"), ("user32.dll", "DialogBoxParamW")}

    def test_cases(self):
        cases = [
            ("good", [], self.ALLOWED, None),
            ("run-time DLL", [("libstdc++-6.dll", ["_ZdlPv"])], self.ALLOWED, "libstdc++-6.dll is not a system DLL"),
            ("threads DLL", [("libwinpthread-1.dll", ["pthread_create"])], self.ALLOWED, "link it statically"),
            ("other DLL", [("uxtheme.dll", ["SetWindowTheme"])], self.ALLOWED, "uxtheme.dll"),
            ("Vista function", [("KERNEL32.dll", ["RegisterApplicationRestart"])], self.ALLOWED,
             "kernel32.dll!RegisterApplicationRestart"),
            ("by ordinal", [("comctl32.dll", ["#410"])], self.ALLOWED, "ordinal 410"),
            ("64-bit build: no list", [("KERNEL32.dll", ["GetTickCount64"])], None, None),
        ]
        for name, extra, allowed, label in cases:
            with self.subTest(name):
                r = c.Report()
                base = [("KERNEL32.dll", ["GetUserDefaultUILanguage"]), ("USER32.dll", ["DialogBoxParamW"])]
                c.check_imports(fake_image(import_list=base + extra), r, allowed)
                if label is None:
                    self.assertEqual([], r.failures)
                else:
                    self.assertNamed(r.failures, label)

    def test_delay_loading_is_reported(self):
        r = c.Report()
        c.check_imports(fake_image(dirs={5: (1, 1), 13: (0x2000, 64)}), r, self.ALLOWED)
        self.assertNamed(r.failures, "delay-load")

    def test_the_allow_list_holds_only_system_functions_older_than_vista(self):
        path = os.path.join(HERE, "xp-imports.txt")
        allowed = c.load_allow_list(path)
        with open(path, encoding="utf-8") as f:
            lines = [ln.strip() for ln in f if ln.strip() and not ln.startswith("#")]
        self.assertEqual(len(lines), len(allowed), "duplicate lines")
        self.assertEqual(set(), {dll for dll, _ in allowed} - set(c.SYSTEM_DLLS))
        for dll, func in (("kernel32.dll", "RegisterApplicationRestart"), ("kernel32.dll", "GetTickCount64"),
                          ("kernel32.dll", "GetThreadPreferredUILanguages"), ("kernel32.dll", "InitializeSRWLock"),
                          ("kernel32.dll", "InitOnceExecuteOnce"), ("kernel32.dll", "GetUserDefaultLocaleName"),
                          ("kernel32.dll", "LCIDToLocaleName"), ("kernel32.dll", "FlsAlloc"),
                          ("kernel32.dll", "CompareStringEx"), ("user32.dll", "SetProcessDPIAware"),
                          ("comctl32.dll", "TaskDialogIndirect"), ("advapi32.dll", "RegGetValueW"),
                          ("advapi32.dll", "RegDeleteKeyExW"), ("msvcrt.dll", "_wassert")):
            self.assertNotIn((dll, func), allowed, "%s!%s is newer than Windows XP" % (dll, func))

class ResourceTreeTest(Case):
    """The walk over pefile's resource tree: type, name, language, then the leaf's bytes."""

    def image(self, tree, file_bytes=bytes(range(64))):
        ns = types.SimpleNamespace

        def entry(key, below):
            e = ns(id=key if isinstance(key, int) else None, name=key if isinstance(key, str) else None)
            if isinstance(below, tuple):
                e.data = ns(struct=ns(OffsetToData=below[0], Size=below[1]))
            else:
                e.directory = ns(entries=[entry(k, v) for k, v in below.items()])
            return e
        return ns(DIRECTORY_ENTRY_RESOURCE=ns(entries=[entry(k, v) for k, v in tree.items()]),
                  get_data=lambda rva, size: file_bytes[rva:rva + size])

    def test_cases(self):
        good = {c.RT_DIALOG: {102: {c.LANG_ZH_CN: (4, 3)}}, "PNG": {"LOGO": {c.LANG_EN_US: (10, 2)}}}
        self.assertEqual({(c.RT_DIALOG, 102, c.LANG_ZH_CN): bytes([4, 5, 6]),
                          ("PNG", "LOGO", c.LANG_EN_US): bytes([10, 11])}, c.resources(self.image(good)))
        self.assertEqual({}, c.resources(types.SimpleNamespace()))
        faults = [
            ("type leaf", {c.RT_DIALOG: (0, 1)}, "has no name directory"),
            ("name leaf", {c.RT_DIALOG: {102: (0, 1)}}, "has no language directory"),
            ("language directory", {c.RT_DIALOG: {102: {c.LANG_ZH_CN: {1: (0, 1)}}}}, "is not a leaf"),
            ("past the data", {c.RT_DIALOG: {102: {c.LANG_ZH_CN: (60, 8)}}}, "runs past"),
        ]
        for name, tree, label in faults:
            with self.subTest(name):
                with self.assertRaisesRegex(c.PEError, label):
                    c.resources(self.image(tree))


# --------------------------------------------------------------------------- command line


class CommandLineTest(Case):
    def run_script(self, *args):
        return subprocess.run([sys.executable, os.path.join(HERE, "check_pe.py"), *args],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, encoding="utf-8")

    def test_a_missing_executable_fails_and_says_how_to_get_it(self):
        p = self.run_script(os.path.join(tempfile.gettempdir(), "no-such-dir", "Setup.exe"))
        self.assertEqual(1, p.returncode)
        self.assertIn("no such file", p.stdout)
        self.assertIn("tools/build", p.stdout)

    def test_a_file_that_is_no_program_fails(self):
        with tempfile.NamedTemporaryFile(suffix=".exe") as f:
            f.write(b"MZ" + bytes(200))
            f.flush()
            p = self.run_script(f.name)
        self.assertEqual(1, p.returncode)
        self.assertIn("cannot be read as a PE image", p.stdout)

    def test_an_unknown_architecture_is_a_usage_error(self):
        self.assertEqual(2, self.run_script("Setup.exe", "--arch", "arm64").returncode)


if __name__ == "__main__":
    unittest.main()
