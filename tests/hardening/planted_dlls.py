#!/usr/bin/env python3
"""Setup.exe started from a folder that holds DLLs planted beside it loads none of them, neither
while it starts and shows its dialog nor while it hands the package beside it to the shell, and
still uses a language-resource library there, which it loads by full path.

Each run copies a program into a fresh folder together with a marker DLL under each planted
name (a marker DLL leaves "<name>.loaded" beside itself when anything loads it), starts it under
Wine (the loader of the program's architecture, --wine) with that folder as the current
directory and with WINEDLLOVERRIDES asking Wine to prefer native DLLs of those names to its own,
and waits for the dialog. Runs:

  control   the bare dialog of tools/bench, which leaves the DLL search alone, with uxtheme.dll
            planted as well: it must load it, or overrides and plants would show nothing here;
            once its dialog has settled, a bare-name load of LATE_PLANTED inside it (remote-load)
            must take the copy beside it; it is then ended;
  setup     Setup.exe beside Quillmere_Business.msi, with the launch recorder of tests/e2e
            registered as the .msi handler: once the dialog has settled, the same load inside
            it must not take the planted copy (the start-up has restricted the search); then
            Enter is pressed in it
            (through the probe of tests/e2e); the program must start the handler once on that
            package, end by itself with Enter's exit code, and load no planted DLL, by the
            markers and by Wine's log of loaded modules (WINEDEBUG=+loaddll);
  library   Setup.exe with a language-resource library SetupLOC.dll beside it: its wider dialog
            template must show; ended once it has settled.

Every name the program loads from the system folder first where it cannot restrict the search
(as the loader test DllSearchTest.cpp lists them; CMake reads them from there and passes them as
--preloaded) is planted, with the names of EXTRA_PLANTED and LATE_PLANTED. What Wine cannot show
(see WINE_ONLY below) the loader test DllSearchTest.cpp covers at the level of LoadLibrary. Runs inside the Wine session of tools/test ($WINEPREFIX and
$DISPLAY come from there); Wine's output goes to files."""

import argparse
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tools" / "lib"))
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
import xwatch  # noqa: E402
from e2e import (EXIT_ENTER, MSIEXEC_COMMAND, PACKAGE, msi_handler_registration,  # noqa: E402
                 recorder_command, require_tools_prefix, windows_path)

# Names planted in download folders against installers, and DLLs that the common controls, the
# theme engine and the shell load on demand, beyond those the program loads first itself.
EXTRA_PLANTED = ["riched20.dll", "textshaping.dll", "wtsapi32.dll", "sspicli.dll", "secur32.dll",
                 "profapi.dll", "winmm.dll"]
# A name no system has, planted too, and loaded by bare name inside the running program once its
# start-up is over, as a library in it may load one: Wine's loader takes the copy beside the
# program unless the program restricted the search.
LATE_PLANTED = "orviaplanted.dll"

# Planted for the control only, because under Wine a planted copy is loaded whatever the program
# does (and the marker, which lacks their exports, then breaks the program):
# - uxtheme.dll, msimg32.dll: Wine's comctl32 delay-loads uxtheme and Wine's uxtheme msimg32,
#   and Wine resolves delay-load imports with the process's default path (the program's folder
#   first), not with the one SetDefaultDllDirectories sets; Windows applies the default DLL
#   directories to delay loads as well.
# - version.dll (not planted at all): Wine's user32 imports it, so it is mapped while the process
#   starts, before the program's first instruction; no call at run time can change that, on
#   Windows neither (only the image's DependentLoadFlags could, Windows 10 1607 and later).
WINE_ONLY = ["uxtheme.dll", "msimg32.dll"]
NOT_PLANTED = ["version.dll"]


def planted_names():
    preloaded = [name + ".dll" for name in ARGS.preloaded.split(",")]
    names = sorted({n.lower() for n in preloaded + EXTRA_PLANTED + [LATE_PLANTED]})
    return [n for n in names if n not in WINE_ONLY + NOT_PLANTED]


SETTLE_SECONDS = 1.5


def wine(args, tag, work):
    """Runs a helper (reg, the probe) under the program's loader, from the work folder, output to
    files; returns its exit code."""
    with open(work / (tag + ".out"), "wb") as out, open(work / (tag + ".err"), "wb") as err:
        return subprocess.run([ARGS.wine, *args], cwd=work, stdin=subprocess.DEVNULL, stdout=out,
                              stderr=err, timeout=120).returncode


def register_handler(command, work):
    """Written by the program's own loader's reg, into the registry view the program reads."""
    for args in msi_handler_registration(command):
        if wine(args, "reg", work) != 0:
            raise SystemExit("cannot register the .msi handler")


def modules_from(folder, log):
    """The modules Wine's +loaddll log shows loaded from folder, but for the program itself."""
    prefix = windows_path(folder).lower() + "\\"
    loaded = set()
    for path in re.findall(r'Loaded L"([^"]+)"', log.read_text("utf-8", "replace")):
        path = path.replace("\\\\", "\\").lower()
        if path.startswith(prefix) and path != prefix + "setup.exe":
            loaded.add(path[len(prefix):])
    return loaded


def run(program, folder, watcher, planted, extra_files=(), press_ok=False):
    """Starts program from a fresh folder with the planted DLLs; once its dialog has settled,
    LATE_PLANTED is loaded by bare name inside it. Without press_ok it is then ended; with it,
    Enter is pressed in the dialog and the program must end by itself. Returns the dialog's size
    (or None), the set of planted names that were loaded, the modules Wine loaded from the folder,
    the exit code (None when ended), the launches the handler recorded and what the late load
    gave ("loaded", "not loaded", or None when it could not be asked)."""
    if folder.exists():
        shutil.rmtree(folder)
    folder.mkdir(parents=True)
    target = folder / program["name"]
    shutil.copy(program["path"], target)
    for name in planted:
        shutil.copy(ARGS.marker, folder / name)
    for source, name in extra_files:
        shutil.copy(source, folder / name)
    if press_ok:
        (folder / PACKAGE).write_bytes(b"the package beside the program\n")
    launches = folder.parent / (folder.name + ".launches")
    launches.unlink(missing_ok=True)

    env = dict(os.environ)
    env["WINEDEBUG"] = "+loaddll"
    env["WINEDLLOVERRIDES"] = ",".join(n[:-4] for n in planted) + "=n,b;mscoree,mshtml="
    env["ORVIA_LAUNCH_LOG"] = windows_path(launches)
    env.pop("LC_ALL", None)
    env.pop("LC_MESSAGES", None)
    watcher.drain()
    exit_code = late = None
    with open(folder / "wine.out", "wb") as out, open(folder / "wine.err", "wb") as err:
        start = time.monotonic()
        process = subprocess.Popen([ARGS.wine, str(target)], cwd=folder, env=env, stdin=subprocess.DEVNULL,
                                   stdout=out, stderr=err, start_new_session=True)
        size = watcher.wait_for_dialog(start + 60)
        if size:
            time.sleep(SETTLE_SECONDS)
            if wine([ARGS.remote_load, LATE_PLANTED], "remote-load", folder.parent) == 0:
                late = (folder.parent / "remote-load.out").read_text("utf-8", "replace").strip()
            if press_ok and wine([ARGS.probe, "wait", "30000"], "probe-wait", folder.parent) == 0:
                wine([ARGS.probe, "keys", "RETURN"], "probe-keys", folder.parent)
                try:
                    exit_code = process.wait(60)
                except subprocess.TimeoutExpired:
                    pass
                # The handler runs in the program's process group: let it write its record.
                deadline = time.monotonic() + (30 if exit_code is not None else 0)
                while time.monotonic() < deadline and not (launches.exists()
                                                           and launches.read_bytes().endswith(b"\n")):
                    time.sleep(0.1)
        try:
            os.killpg(process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        process.wait()
    loaded = {name for name in planted if (folder / (name + ".loaded")).exists()}
    records = [json.loads(line) for line in launches.read_text("utf-8").splitlines()] if launches.exists() \
        else []
    return size, loaded, modules_from(folder, folder / "wine.err"), exit_code, records, late


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    for option in ("--setup", "--unhardened", "--marker", "--language-library", "--recorder", "--probe",
                   "--remote-load", "--preloaded", "--work"):
        parser.add_argument(option, required=True)
    parser.add_argument("--wine", default="/usr/lib/wine/wine64", help="the Wine loader for the programs")
    ARGS = parser.parse_args()
    require_tools_prefix(os.environ)
    ARGS.probe = str(Path(ARGS.probe).resolve())  # run from the work folder
    ARGS.remote_load = str(Path(ARGS.remote_load).resolve())
    work = Path(ARGS.work).resolve()
    if work.exists():
        shutil.rmtree(work)
    work.mkdir(parents=True)
    recorder = work / "recorder" / "recorder.exe"
    recorder.parent.mkdir()
    shutil.copy(ARGS.recorder, recorder)
    watcher = xwatch.Watcher()
    planted = planted_names()
    checks, failures = [], []

    def check(what, ok, detail=""):
        print(("ok   " if ok else "FAIL ") + what + (": " + detail if detail and not ok else ""))
        checks.append(what)
        if not ok:
            failures.append(what)

    size, loaded, _, _, _, late = run({"name": "Setup.exe", "path": ARGS.unhardened}, work / "control",
                                      watcher, planted + WINE_ONLY)
    check("the control program shows its dialog", size is not None)
    check("without the defence a bare-name load in the running program takes the copy beside it",
          late == "loaded", "remote-load: %s" % late)
    check("without the defence Wine loads planted DLLs (so this test can see them)",
          bool(loaded), "none loaded")
    print("     control loaded: %s" % ", ".join(sorted(loaded)))

    print("     planted beside Setup.exe: %s" % ", ".join(planted))
    register_handler(recorder_command(recorder), work)
    try:
        setup = work / "setup"
        size, loaded, modules, exit_code, launches, late = run(
            {"name": "Setup.exe", "path": ARGS.setup}, setup, watcher, planted, press_ok=True)
    finally:
        register_handler(MSIEXEC_COMMAND, work)
    check("Setup.exe shows its dialog", size is not None)
    check("after Setup.exe's start-up a bare-name load in it does not take the copy beside it",
          late == "not loaded", "remote-load: %s" % late)
    check("Enter in the dialog starts the .msi handler once, on the package beside Setup.exe",
          len(launches) == 1 and windows_path(setup / PACKAGE) in launches[0]["commandLine"],
          "launches: %s" % launches)
    check("Setup.exe then ends by itself, with Enter's exit code", exit_code == EXIT_ENTER,
          "exit code %s" % exit_code)
    check("Setup.exe loads no planted DLL, before or during the launch", not loaded,
          "loaded: %s (log in %s)" % (sorted(loaded), setup / "wine.err"))
    check("Wine loads no module from Setup.exe's folder but Setup.exe", not modules,
          "loaded: %s (log in %s)" % (sorted(modules), setup / "wine.err"))
    plain_size = size

    size, loaded, _, _, _, _ = run({"name": "Setup.exe", "path": ARGS.setup}, work / "library", watcher, planted,
                                [(ARGS.language_library, "SetupLOC.dll")])
    check("with a language library Setup.exe still loads no planted DLL", not loaded,
          "loaded: %s" % sorted(loaded))
    check("the language library beside Setup.exe is loaded by full path and used",
          size is not None and plain_size is not None and size[0] > plain_size[0] + 50,
          "dialog %s with the library, %s without" % (size, plain_size))

    print("planted DLLs: %d checks, %d failed" % (len(checks), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
