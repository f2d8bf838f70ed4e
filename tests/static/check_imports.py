#!/usr/bin/python3
"""Every Windows program and DLL the build makes imports only DLLs of Windows itself.

    check_imports.py TREE...

Walks each build tree (tools/build makes build/x86, build/x86-tests and build/x64) for .exe and
.dll files, passing over CMake's own folders, the tests' work folders (copies of what the build
made) and Wine prefixes, and reads each file's import and delay-load import directories with
check_pe's reader. A DLL outside check_pe.SYSTEM_DLLS, such as a compiler's run-time DLL, fails
with the file and the DLL: no Windows has it, so the loader would refuse the file, which this
shows without running it. A missing tree, or one without a single such file, fails too.
"""

import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import check_pe as c  # noqa: E402


def skipped(folder):
    """CMake's own files (its compiler-identification programs), the tests' work folders and
    Wine prefixes hold nothing the build made for Windows."""
    name = os.path.basename(folder)
    return name == "CMakeFiles" or name.startswith("work") or os.path.exists(os.path.join(folder, "system.reg"))


def pe_files(tree):
    for folder, subfolders, files in os.walk(tree):
        subfolders[:] = sorted(d for d in subfolders if not skipped(os.path.join(folder, d)))
        for name in sorted(files):
            if name.lower().endswith((".exe", ".dll")):
                yield os.path.join(folder, name)


def check_file(path):
    """The file's failures: each DLL it imports or delay-loads that Windows does not provide."""
    try:
        with open(path, "rb") as f:
            pe = c.read_image(f.read())
    except (c.pefile.PEFormatError, struct.error, ValueError) as e:
        return ["cannot be read as a PE image: %s" % e]
    found = [(dll, "") for dll, _ in c.imports(pe)] + [(dll, "delay-loaded ") for dll in c.delay_imported_dlls(pe)]
    return [how + c.not_a_system_dll(dll) for dll, how in found if c.not_a_system_dll(dll)]


def main(trees):
    if not trees:
        sys.stderr.write("usage: check_imports.py TREE...\n")
        return 2
    failures, count = [], 0
    for tree in trees:
        if not os.path.isdir(tree):
            failures.append("%s: no such build tree; tools/build makes it" % tree)
            continue
        files = list(pe_files(tree))
        if not files:
            failures.append("%s: no .exe or .dll in it; tools/build makes them" % tree)
        for path in files:
            failures += ["%s: %s" % (path, f) for f in check_file(path)]
        count += len(files)
    for f in failures:
        print("FAIL " + f)
    print("%d programs and DLLs: %s" % (count, "%d failure(s)" % len(failures) if failures else
                                        "all import only DLLs of Windows"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
