#!/usr/bin/env python3
"""Setup.exe started from a folder that holds DLLs planted beside it loads none of them, and
still uses a language-resource library there, which it loads by full path.

Each run copies a program into a fresh folder together with a marker DLL under each planted
name (a marker DLL leaves "<name>.loaded" beside itself when anything loads it), starts it under
Wine (the loader of the program's architecture, --wine) with that folder as the current directory and with WINEDLLOVERRIDES asking Wine to prefer
native DLLs of those names to its own, waits for the dialog, lets it paint and settle, and ends
it. Runs:

  control   the bare dialog of tools/bench, which leaves the DLL search alone, with uxtheme.dll
            planted as well: it must load it, or overrides and plants would show nothing here;
  setup     Setup.exe must show its dialog and load no planted DLL;
  library   the same with a language-resource library SetupLOC.dll beside it: its wider dialog
            template must show.

What Wine cannot show (see PLANTED and WINE_ONLY below) the loader test DllSearchTest.cpp covers
at the level of LoadLibrary. Runs inside the Wine session of tools/test ($WINEPREFIX and
$DISPLAY come from there); Wine's output goes to files."""

import argparse
import os
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools" / "lib"))
import xwatch  # noqa: E402

# Names planted in download folders against installers, and DLLs that the common controls, the
# theme engine and the shell load on demand.
PLANTED = ["dwmapi.dll", "cryptbase.dll", "oleacc.dll", "riched20.dll", "textshaping.dll",
           "wtsapi32.dll", "sspicli.dll", "profapi.dll"]

# Planted for the control only, because under Wine a planted copy is loaded whatever the program
# does (and the marker, which lacks their exports, then breaks the program):
# - uxtheme.dll, msimg32.dll, winmm.dll: Wine's comctl32 and uxtheme delay-load them, and Wine
#   resolves delay-load imports with the process's default path (the program's folder first),
#   not with the one SetDefaultDllDirectories sets; Windows applies the default DLL directories
#   to delay loads as well.
# - version.dll (not planted at all): Wine's user32 imports it, so it is mapped while the process
#   starts, before the program's first instruction; no call at run time can change that, on
#   Windows neither (only the image's DependentLoadFlags could, Windows 10 1607 and later).
WINE_ONLY = ["uxtheme.dll", "msimg32.dll", "winmm.dll"]

SETTLE_SECONDS = 1.5


def run(program, folder, watcher, planted, extra_files=()):
    """Starts program from a fresh folder with the planted DLLs; returns (dialog size or None,
    set of planted names that were loaded)."""
    if folder.exists():
        shutil.rmtree(folder)
    folder.mkdir(parents=True)
    target = folder / program["name"]
    shutil.copy(program["path"], target)
    for name in planted:
        shutil.copy(ARGS.marker, folder / name)
    for source, name in extra_files:
        shutil.copy(source, folder / name)

    env = dict(os.environ)
    env["WINEDEBUG"] = "+loaddll"
    env["WINEDLLOVERRIDES"] = ",".join(n[:-4] for n in planted) + "=n,b;mscoree,mshtml="
    env.pop("LC_ALL", None)
    env.pop("LC_MESSAGES", None)
    watcher.drain()
    with open(folder / "wine.out", "wb") as out, open(folder / "wine.err", "wb") as err:
        start = time.monotonic()
        process = subprocess.Popen([ARGS.wine, str(target)], cwd=folder, env=env, stdin=subprocess.DEVNULL,
                                   stdout=out, stderr=err, start_new_session=True)
        size = watcher.wait_for_dialog(start + 60)
        if size:
            time.sleep(SETTLE_SECONDS)
        try:
            os.killpg(process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        process.wait()
    loaded = {name for name in planted if (folder / (name + ".loaded")).exists()}
    return size, loaded


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    for option in ("--setup", "--unhardened", "--marker", "--language-library", "--work"):
        parser.add_argument(option, required=True)
    parser.add_argument("--wine", default="/usr/lib/wine/wine64", help="the Wine loader for the programs")
    ARGS = parser.parse_args()
    work = Path(ARGS.work)
    watcher = xwatch.Watcher()
    failures = []

    def check(what, ok, detail=""):
        print(("ok   " if ok else "FAIL ") + what + (": " + detail if detail and not ok else ""))
        if not ok:
            failures.append(what)

    size, loaded = run({"name": "Setup.exe", "path": ARGS.unhardened}, work / "control", watcher,
                       PLANTED + WINE_ONLY)
    check("the control program shows its dialog", size is not None)
    check("without the defence Wine loads planted DLLs (so this test can see them)",
          bool(loaded), "none loaded")
    print("     control loaded: %s" % ", ".join(sorted(loaded)))

    size, loaded = run({"name": "Setup.exe", "path": ARGS.setup}, work / "setup", watcher, PLANTED)
    check("Setup.exe shows its dialog", size is not None)
    check("Setup.exe loads no planted DLL", not loaded,
          "loaded: %s (log in %s)" % (sorted(loaded), work / "setup" / "wine.err"))
    plain_size = size

    size, loaded = run({"name": "Setup.exe", "path": ARGS.setup}, work / "library", watcher, PLANTED,
                       [(ARGS.language_library, "SetupLOC.dll")])
    check("with a language library Setup.exe still loads no planted DLL", not loaded,
          "loaded: %s" % sorted(loaded))
    check("the language library beside Setup.exe is loaded by full path and used",
          size is not None and plain_size is not None and size[0] > plain_size[0] + 50,
          "dialog %s with the library, %s without" % (size, plain_size))

    print("planted DLLs: %d checks, %d failed" % (6, len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
