#!/usr/bin/env python3
"""The x86 smoke run's cases: a few tests of the x86 test tree (build/x86-tests), run exactly as
CTest runs them (command, environment, working directory), with arguments of their own that
narrow a group to the cases that prove most about the shipping Setup.exe.

  smoke.py plan BUILD_DIR PLAN.json   on the host: reads CTest's tests of BUILD_DIR and writes the
                                      commands of the cases below (fails when a test is missing)
  smoke.py run PLAN.json OUT_DIR      in the emulated machine: runs them one after the other, each
                                      with a time limit, its output in OUT_DIR/NN.log (and shown),
                                      the work folder of a failing one copied to OUT_DIR/NN-work;
                                      OUT_DIR/results.json gets one entry per case
"""

import json
import os
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

# Extend this table to add a case: a description, the CTest test of the x86 test tree and the
# arguments added to its command (e2e.py's --only keeps the cases whose name holds that text).
CASES = [
    ("German UI language: the dialog in German; Enter hands the package to the shell with de.mst "
     "and the folder's PACKAGENAMEUID", "e2e_languages", ["--only", "de_DE"]),
    ("package missing: the error box over the dialog, in German", "e2e_endings",
     ["--only", "package missing, in German"]),
    ("DLLs planted beside Setup.exe are not loaded while it starts and launches the package, nor by "
     "a bare-name load inside it afterwards; its language library is", "orvia_planted_dlls", []),
    ("the start-up's DLL search restriction: a DLL beside the program no longer answers its bare name",
     "orvia_dll_search_tests", []),
]

# A Wine program starts 10 to 30 times slower in the emulated machine than natively; each of
# these cases takes one or two minutes there.
CASE_TIMEOUT = 600


def plan(build_dir, plan_path):
    listing = subprocess.run(["ctest", "--test-dir", build_dir, "--show-only=json-v1"], check=True,
                             stdout=subprocess.PIPE, stdin=subprocess.DEVNULL).stdout
    tests = {t["name"]: t for t in json.loads(listing)["tests"]}
    cases = []
    for description, name, arguments in CASES:
        if name not in tests or "command" not in tests[name]:
            sys.exit(f"smoke.py: {build_dir} has no test {name!r}")
        test = tests[name]
        properties = {p["name"]: p["value"] for p in test.get("properties", [])}
        environment = dict(item.split("=", 1) for item in properties.get("ENVIRONMENT", []))
        cases.append({"description": description, "test": name, "command": test["command"] + arguments,
                      "cwd": properties.get("WORKING_DIRECTORY", build_dir), "environment": environment})
    Path(plan_path).write_text(json.dumps(cases, indent=1, ensure_ascii=False), "utf-8")


def work_folder(command):
    return command[command.index("--work") + 1] if "--work" in command else None


def run(plan_path, out_dir):
    cases = json.loads(Path(plan_path).read_text("utf-8"))
    out = Path(out_dir)
    results = []
    for number, case in enumerate(cases, 1):
        print(f"orvia-vm: case {number}/{len(cases)}: {case['description']}", flush=True)
        log = out / f"{number:02d}.log"
        start = time.monotonic()
        reason = None
        with open(log, "wb") as output:
            process = subprocess.Popen(case["command"], cwd=case["cwd"],
                                       env=dict(os.environ, **case["environment"]), stdin=subprocess.DEVNULL,
                                       stdout=output, stderr=subprocess.STDOUT, start_new_session=True)
            try:
                code = process.wait(CASE_TIMEOUT)
                if code != 0:
                    reason = f"{case['test']} exited with {code}"
            except subprocess.TimeoutExpired:
                reason = f"{case['test']} did not end within {CASE_TIMEOUT} s"
            try:
                os.killpg(process.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            process.wait()
        seconds = round(time.monotonic() - start)
        sys.stdout.write(log.read_text("utf-8", "replace"))
        if reason and work_folder(case["command"]) and Path(work_folder(case["command"])).is_dir():
            shutil.copytree(work_folder(case["command"]), out / f"{number:02d}-work", symlinks=True)
        print(f"orvia-vm: case {number}/{len(cases)}: {'FAIL: ' + reason if reason else 'ok'} ({seconds} s)",
              flush=True)
        results.append({"description": case["description"], "test": case["test"], "passed": reason is None,
                        "reason": reason, "seconds": seconds, "log": log.name})
        (out / "results.json").write_text(json.dumps(results, indent=1, ensure_ascii=False), "utf-8")
    return 0 if all(r["passed"] for r in results) else 1


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "plan":
        plan(sys.argv[2], sys.argv[3])
    elif len(sys.argv) == 4 and sys.argv[1] == "run":
        sys.exit(run(sys.argv[2], sys.argv[3]))
    else:
        sys.exit(__doc__)
