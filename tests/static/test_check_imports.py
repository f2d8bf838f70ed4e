"""The import check of every program and DLL the build makes, on hand-made DLLs: one that
imports only DLLs of Windows passes, one that imports or delay-loads a run-time DLL fails."""

import contextlib
import io
import os
import struct
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import check_imports  # noqa: E402


def dll_image(imports=(), delay_loads=()):
    """A 32-bit DLL whose one section holds an import directory naming `imports` and a
    delay-load directory naming `delay_loads`, one function each; written from the PE format."""
    section_rva, section_size = 0x1000, 0x200
    body = bytearray(section_size)
    tail = 20 * (len(imports) + 1) + 32 * (len(delay_loads) + 1)

    def put(data):  # places data after the directories, returning its RVA
        nonlocal tail
        body[tail:tail + len(data)] = data
        tail += len(data) + (-len(data) % 4)
        return section_rva + tail - len(data) - (-len(data) % 4)

    def thunks(dll):  # the DLL's name, and a null-terminated list of one function by name
        name = put(dll.encode() + b"\0")
        return name, put(struct.pack("<II", put(b"\0\0f\0"), 0))
    for i, dll in enumerate(imports):
        name, lookup = thunks(dll)
        struct.pack_into("<IIIII", body, 20 * i, lookup, 0, 0, name, put(struct.pack("<II", lookup, 0)))
    delay_at = 20 * (len(imports) + 1)
    for i, dll in enumerate(delay_loads):
        name, lookup = thunks(dll)
        struct.pack_into("<8I", body, delay_at + 32 * i, 1, name, put(bytes(4)), put(bytes(8)), lookup, 0, 0, 0)
    dirs = [(0, 0)] * 16
    dirs[1] = (section_rva, 20 * (len(imports) + 1)) if imports else (0, 0)
    dirs[13] = (section_rva + delay_at, 32 * (len(delay_loads) + 1)) if delay_loads else (0, 0)
    optional = struct.pack("<HBBIIIIIIIIIHHHHHHIIIIHHIIIIII", 0x10B, 2, 40, 0, section_size, 0, 0, section_rva,
                           section_rva, 0x10000000, 0x1000, 0x200, 5, 1, 0, 0, 5, 1, 0, 0x2000, 0x200, 0, 2, 0,
                           0x100000, 0x1000, 0x100000, 0x1000, 0, 16)
    optional += b"".join(struct.pack("<II", *d) for d in dirs)
    headers = bytearray(0x200)
    headers[0:2], headers[0x3C:0x40] = b"MZ", struct.pack("<I", 0x40)
    headers[0x40:0x58] = b"PE\0\0" + struct.pack("<HHIIIHH", 0x14C, 1, 0, 0, 0, len(optional), 0x2102)
    headers[0x58:0x58 + len(optional)] = optional
    section = struct.pack("<8sIIIIIIHHI", b".idata", section_size, section_rva, section_size, 0x200, 0, 0, 0, 0,
                          0xC0000040)
    headers[0x58 + len(optional):0x58 + len(optional) + 40] = section
    return bytes(headers + body)


class CheckTest(unittest.TestCase):
    def setUp(self):
        self.tree = tempfile.TemporaryDirectory()
        self.addCleanup(self.tree.cleanup)

    def write(self, relative, data=b""):
        path = os.path.join(self.tree.name, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def test_cases(self):
        cases = [
            ("system DLLs, any case", dll_image(["KERNEL32.dll", "msvcrt.dll", "User32.DLL"]), []),
            ("the unwinder of the 32-bit compiler", dll_image(["KERNEL32.dll", "libgcc_s_dw2-1.dll"]),
             ["libgcc_s_dw2-1.dll is not a system DLL (a run-time DLL: link it statically)"]),
            ("delay-loaded C++ run time", dll_image(["kernel32.dll"], ["libstdc++-6.dll"]),
             ["delay-loaded libstdc++-6.dll is not a system DLL (a run-time DLL: link it statically)"]),
            ("a DLL of another program", dll_image(["kernel32.dll", "helper.dll"]), ["helper.dll is not a system DLL"]),
            ("no PE image", b"MZ" + bytes(100), ["cannot be read as a PE image"]),
        ]
        for name, data, expected in cases:
            with self.subTest(name):
                failures = check_imports.check_file(self.write("x.dll", data))
                self.assertEqual(len(expected), len(failures), failures)
                for e, f in zip(expected, failures):
                    self.assertIn(e, f)

    def test_the_walk_passes_over_cmake_work_folders_and_wine_prefixes(self):
        for relative in ("Setup.exe", "tests/hardening/marker.dll", "notes.txt", "CMakeFiles/3.25.1/a.exe",
                         "tests/hardening/work/setup/uxtheme.dll", "prefix/system.reg",
                         "prefix/drive_c/windows/system32/user32.dll"):
            self.write(relative)
        self.assertEqual([os.path.join(self.tree.name, p) for p in ("Setup.exe", "tests/hardening/marker.dll")],
                         list(check_imports.pe_files(self.tree.name)))

    def run_main(self, *trees):
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            code = check_imports.main(list(trees))
        return code, out.getvalue()

    def test_each_file_and_dll_is_named_and_a_missing_or_empty_tree_fails(self):
        good = os.path.join(self.tree.name, "x86")
        self.write("x86/Setup.exe", dll_image(["kernel32.dll", "msvcrt.dll"]))
        self.assertEqual(0, self.run_main(good)[0])
        marker = self.write("x86-tests/tests/marker.dll", dll_image(["kernel32.dll", "libgcc_s_dw2-1.dll"]))
        os.makedirs(os.path.join(self.tree.name, "empty"))
        code, out = self.run_main(good, os.path.dirname(os.path.dirname(marker)), *(
            os.path.join(self.tree.name, t) for t in ("x64", "empty")))
        self.assertEqual(1, code)
        self.assertIn("FAIL %s: libgcc_s_dw2-1.dll is not a system DLL" % marker, out)
        self.assertIn("x64: no such build tree", out)
        self.assertIn("empty: no .exe or .dll", out)


if __name__ == "__main__":
    unittest.main()
