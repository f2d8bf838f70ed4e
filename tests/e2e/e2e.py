#!/usr/bin/env python3
"""End-to-end runs of the real Setup.exe under Wine.

The program is copied into a folder whose name has a blank ("Suite Setup"), beside a dummy
Quillmere_Business.msi. The test prefix's .msi handler is the launch recorder, registered the way
Windows registers the installer: "<recorder>" /i "%1" %*. Each case starts the program with a
UI language (LANG), reads the live dialog with the probe, acts on it as a user would (real key
presses and clicks) and then checks what the shell was asked to start, from which folder, and
the process's exit code.

Groups (one CTest test each):
  languages  the 50 UI languages of LOCALES (each LANG Wine turns into one of the program's or a
             fallback), read back from the live dialog
  endings    every way the dialog ends, the current directory, changed selections, hover, About,
             a refused launch
  installer  a real package built with wixl, installed by Wine's msiexec through the shell

Runs inside the Wine session of tools/test ($WINEPREFIX and $DISPLAY come from there), with the
Wine loader given by --wine: the 32-bit one for the 32-bit program, in a 64-bit (WoW64) or a
32-bit prefix, wine64 for the 64-bit build. Wine's output always goes to files, never through a
pipe.
"""

import argparse
import json
import os
import shutil
import subprocess
import sys
import time
from pathlib import Path

PACKAGE = "Quillmere_Business.msi"
FOLDER = "Suite Setup"
MSIEXEC_COMMAND = '"C:\\windows\\system32\\msiexec.exe" /i "%1" %*'

# The rows of the language table, as the dialog must show them and launch them:
# display name, caption, label, install button, cancel button, transform setting.
ROWS = {
    "English": ("Setup", "Select the language to use during the installation:", "OK", "Cancel", ""),
    "Deutsch": ("Einrichtung", "Wählen Sie die während der Installation zu verwendende Sprache aus:",
                "OK", "Abbrechen", "Transforms=Transforms\\de.mst"),
    "Español_Latinoamericano": ("Configurar", "Seleccione el idioma que se usará durante la instalación:",
                                "Aceptar", "Cancelar", "Transforms=Transforms\\es.mst"),
    "Français": ("Configuration", "Sélectionner la langue à utiliser pour l'installation:",
                 "OK", "Annuler", "Transforms=Transforms\\fr.mst"),
    "Nederlands": ("Instellingen", "Selecteer de taal die u tijdens de installatie wilt gebruiken:",
                   "OK", "Annuleren", "Transforms=Transforms\\nl.mst"),
    "Português_Brasileiro": ("Configuração", "Selecionar o idioma a ser usado durante a instalação:",
                             "OK", "Cancelar", "Transforms=Transforms\\pt.mst"),
    "Polski": ("Ustawienia", "Wybierz język używany podczas instalacji:", "OK", "Anuluj",
               "Transforms=Transforms\\pl.mst"),
    "Italiano": ("Configura", "Selezionare la lingua da utilizzare durante l'installazione:",
                 "OK", "Annulla", "Transforms=Transforms\\it.mst"),
    "Русский": ("Установка", "Выберите язык программы установки:", "\u041E\u041A", "Отмена",
                "Transforms=Transforms\\ru.mst"),
    "日本語": ("セットアップ", "インストールの言語を選択:", "OK", "キャンセル", "Transforms=Transforms\\jp.mst"),
    "한국어": ("설정", "설치에 사용할 언어 선택:", "확인", "취소", "Transforms=Transforms\\ko.mst"),
    "中文(简体\uFF09": ("安装", "选择安装过程中所要使用的语言:", "确定", "取消", "Transforms=Transforms\\zh.mst"),
    "繁體中文(臺灣)": ("安裝", "選擇安裝過程中所要使用的語言:", "確定", "取消", "Transforms=Transforms\\tw.mst"),
    # Dansk has no transform of its own and launches like English.
    "Dansk": ("opsætning", "Vælg det sprog, der skal bruges under installationen:", "OK", "Annuller", ""),
    "Suomi": ("Asennus", "Valitse asennuskieli:", "OK", "Peruuta", "Transforms=Transforms\\fi-FI.mst"),
    "Norsk": ("oppsett", "Velg språket som skal brukes under installeringen:", "OK", "Avbryt",
              "Transforms=Transforms\\nb-NO.mst"),
    "Svenska": ("Installation", "Välj det språk som du vill använda under installationen:", "OK", "Avbryt",
                "Transforms=Transforms\\sv-SE.mst"),
}

# Windows UI language -> the row it selects; every other identifier selects English.
SELECTING = {0x0407: "Deutsch", 0x040C: "Français", 0x0413: "Nederlands", 0x0416: "Português_Brasileiro",
             0x0415: "Polski", 0x0410: "Italiano", 0x0419: "Русский", 0x0411: "日本語", 0x0412: "한국어",
             0x0804: "中文(简体\uFF09", 0x0404: "繁體中文(臺灣)", 0x0406: "Dansk", 0x040B: "Suomi",
             0x0414: "Norsk", 0x041D: "Svenska", 0x081D: "Svenska"}
SELECTING.update({(sub << 10) | 0x0A: "Español_Latinoamericano" for sub in range(0x01, 0x17)})

# Unix locales and the Windows UI language each should give. Wine has no locale for 0x040A
# (traditional sort) nor for 0x580A (Latin America); es_CU gives 0x5C0A, the first Spanish
# identifier past the listed ones.
LOCALES = [
    ("de_DE", 0x0407), ("es_ES", 0x0C0A), ("es_MX", 0x080A), ("es_GT", 0x100A), ("es_CR", 0x140A),
    ("es_PA", 0x180A), ("es_DO", 0x1C0A), ("es_VE", 0x200A), ("es_CO", 0x240A), ("es_PE", 0x280A),
    ("es_AR", 0x2C0A), ("es_EC", 0x300A), ("es_CL", 0x340A), ("es_UY", 0x380A), ("es_PY", 0x3C0A),
    ("es_BO", 0x400A), ("es_SV", 0x440A), ("es_HN", 0x480A), ("es_NI", 0x4C0A), ("es_PR", 0x500A),
    ("es_US", 0x540A), ("fr_FR", 0x040C), ("nl_NL", 0x0413), ("pt_BR", 0x0416), ("pl_PL", 0x0415),
    ("it_IT", 0x0410), ("ru_RU", 0x0419), ("ja_JP", 0x0411), ("ko_KR", 0x0412), ("zh_CN", 0x0804),
    ("zh_TW", 0x0404), ("da_DK", 0x0406), ("fi_FI", 0x040B), ("nb_NO", 0x0414), ("sv_SE", 0x041D),
    ("sv_FI", 0x081D),
    # Fallbacks to English.
    ("de_AT", 0x0C07), ("de_CH", 0x0807), ("fr_BE", 0x080C), ("fr_CA", 0x0C0C), ("it_CH", 0x0810),
    ("nl_BE", 0x0813), ("pt_PT", 0x0816), ("nn_NO", 0x0814), ("zh_HK", 0x0C04), ("zh_SG", 0x1004),
    ("es_CU", 0x5C0A), ("en_US", 0x0409), ("en_GB", 0x0809), ("C", 0x0409),
]

# The exit code is the wParam of the last message the program's modal loop read: the Enter or
# Escape key-down, the button-up of a click, and for the close box, Alt+F4 and Close the
# WM_COMMAND IDCANCEL that the dialog procedure posts on WM_CLOSE.
EXIT_ENTER, EXIT_ESCAPE, EXIT_CLICK, EXIT_CLOSE = 13, 27, 0, 2


def lang_value(locale):
    return "C" if locale == "C" else locale + ".UTF-8"


def windows_path(path):
    """The path as Wine's Z: drive shows it."""
    return "Z:" + str(path).replace("/", "\\")


def require_tools_prefix(env):
    """Stops unless DISPLAY and WINEPREFIX come from a Wine session of the tools: the tests change
    the prefix's registry, and a WINEPREFIX of the user's own must never be touched."""
    prefix = env.get("WINEPREFIX")
    if "DISPLAY" not in env or not prefix or not (Path(prefix) / ".orvia-stamp").is_file():
        raise SystemExit("run through tools/test (needs DISPLAY and a WINEPREFIX that tools/lib/wine.sh "
                         "made)")


def msi_handler_registration(command):
    """The reg commands that make `command` the handler of .msi files, as Windows registers it."""
    return (["reg", "add", "HKLM\\Software\\Classes\\.msi", "/ve", "/d", "Msi.Package", "/f"],
            ["reg", "add", "HKLM\\Software\\Classes\\Msi.Package\\shell\\Open\\command", "/ve",
             "/d", command, "/f"])


def recorder_command(recorder):
    """The launch recorder as the .msi handler, with the package and every parameter."""
    return f'"{windows_path(recorder)}" /i "%1" %*'


def file_name(text):
    """A name Windows accepts for a file: the case name's letters and digits, the rest '_'."""
    return "".join(c if c.isascii() and (c.isalnum() or c in "-.") else "_" for c in text)


def parameters_for(row, folder_name=FOLDER):
    return ROWS[row][4] + ' PACKAGENAMEUID="' + folder_name + '.msi"'


class Failure(Exception):
    pass


class Session:
    """The prefix, the program's folder and the tools, shared by the cases of one run."""

    def __init__(self, args):
        self.work = Path(args.work).resolve()
        if self.work.exists():
            shutil.rmtree(self.work)
        self.folder = self.work / FOLDER
        self.start_dir = self.work / "Start"
        self.elsewhere = self.work / "Elsewhere"
        self.logs = self.work / "logs"
        for d in (self.folder, self.start_dir, self.elsewhere, self.logs):
            d.mkdir(parents=True)
        self.setup = self.folder / "Setup.exe"
        shutil.copy2(args.setup, self.setup)
        (self.folder / PACKAGE).write_bytes(b"the package beside the program\n")
        (self.elsewhere / PACKAGE).write_bytes(b"a decoy in the current directory\n")
        self.recorder = self.work / "recorder" / "recorder.exe"
        self.recorder.parent.mkdir()
        shutil.copy2(args.recorder, self.recorder)
        self.probe_exe = Path(args.probe).resolve()
        self.loader = args.wine
        self.counter = 0
        self.env = dict(os.environ)
        for name in ("LC_ALL", "LC_MESSAGES", "LANGUAGE"):
            self.env.pop(name, None)
        self.env.setdefault("WINEDEBUG", "-all")
        self.env.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=")
        require_tools_prefix(self.env)

    # --- running Wine programs, output to files -----------------------------------------------

    def _files(self, tag):
        self.counter += 1
        base = self.logs / f"{self.counter:04d}-{file_name(tag)}"
        return open(f"{base}.out", "wb"), open(f"{base}.err", "wb"), Path(f"{base}.out")

    def wine(self, args, tag, env=None, timeout=120, cwd=None):
        out, err, out_path = self._files(tag)
        with out, err:
            try:
                rc = subprocess.run([self.loader, *args], stdout=out, stderr=err, stdin=subprocess.DEVNULL,
                                    env=env or self.env, cwd=cwd or self.work, timeout=timeout).returncode
            except subprocess.TimeoutExpired:
                rc = None
        self.last_stderr = Path(err.name).read_bytes().decode("utf-8", "replace")
        return rc, out_path.read_bytes().decode("utf-8", "replace")

    def probe(self, *args, lang="C", timeout=120):
        env = dict(self.env, LANG=lang)
        # Commands that only look may be asked again when Wine did not start the probe at all.
        tries = 2 if args[0] in ("uilang", "state", "wait", "gone") else 1
        for attempt in range(tries):
            rc, text = self.wine([str(self.probe_exe), *map(str, args)], "probe-" + args[0], env, timeout)
            lines = [line for line in text.splitlines() if line.strip().startswith("{")]
            if lines:
                break
            if attempt + 1 < tries:
                print(f"       (probe {args[0]} gave no answer, exit {rc}, asked again; "
                      f"stderr: {self.last_stderr.strip()[-300:]!r})", flush=True)
        if not lines:
            raise Failure(f"probe {' '.join(map(str, args))}: no answer (exit {rc}); "
                          f"stderr: {self.last_stderr.strip()[-400:]!r}")
        answer = json.loads(lines[-1])
        if rc != 0 or "error" in answer:
            raise Failure(f"probe {' '.join(map(str, args))}: {answer.get('error', rc)}")
        return answer

    def register_handler(self, command):
        # Written by the program's own loader's reg, so that it lands in the registry view the
        # program reads: Wine 8 keeps a separate Software\Classes for 32-bit programs in a 64-bit
        # prefix, where Windows shares the key between the views.
        for args in msi_handler_registration(command):
            rc, _ = self.wine(args, "reg")
            if rc != 0:
                raise SystemExit(f"cannot register the .msi handler: reg exited {rc}")


class Run:
    """One start of the program: the process, its launch log and what the probe saw."""

    def __init__(self, session, name, lang, cwd=None, setup=None, args=()):
        self.session, self.name, self.lang = session, name, lang
        self.log = session.logs / (file_name(name) + ".launches")
        env = dict(session.env, LANG=lang, ORVIA_LAUNCH_LOG=windows_path(self.log))
        out, err, _ = session._files("setup-" + file_name(name))
        with out, err:
            self.process = subprocess.Popen([session.loader, str(setup or session.setup), *args], stdout=out, stderr=err,
                                            stdin=subprocess.DEVNULL, env=env, cwd=cwd or session.start_dir)
        self.exit_code = None

    def probe(self, *args):
        return self.session.probe(*args, lang=self.lang)

    def wait_dialog(self):
        return self.probe("wait", 30000)["dialog"]

    def wait_exit(self, timeout=60):
        try:
            self.exit_code = self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            self.kill()
            raise Failure("the program did not end")
        return self.exit_code

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        try:
            self.session.probe("gone", 10000)
        except Failure:
            pass

    def launches(self, expected, timeout=30):
        """The records of the launches, waiting for as many as expected to arrive."""
        deadline = time.monotonic() + (timeout if expected else 1.5)
        while True:
            records = []
            if self.log.exists():
                records = [json.loads(line) for line in self.log.read_text("utf-8").splitlines() if line]
            if len(records) >= max(expected, 1) or time.monotonic() > deadline:
                return records
            time.sleep(0.1)


class Checker:
    def __init__(self, group):
        self.group = group
        self.results = []

    def case(self, name, body):
        problems = []
        try:
            body(problems)
        except Failure as e:
            problems.append(str(e))
        except Exception as e:  # a broken case must not stop the others
            problems.append(f"{type(e).__name__}: {e}")
        self.results.append((name, problems))
        status = "ok  " if not problems else "FAIL"
        print(f"{status} {self.group}/{name}", flush=True)
        for p in problems:
            print(f"       {p}", flush=True)

    def summary(self):
        failing = [name for name, problems in self.results if problems]
        print(f"e2e {self.group}: {len(self.results)} cases, {len(failing)} failing"
              + (": " + ", ".join(failing) if failing else ""), flush=True)
        return 1 if failing else 0


def expect(problems, what, actual, wanted):
    if actual != wanted:
        problems.append(f"{what}: got {actual!r}, want {wanted!r}")


def check_dialog(problems, dialog, row):
    caption, label, ok, cancel, _ = ROWS[row]
    expect(problems, "caption", dialog["caption"], caption)
    expect(problems, "label", dialog["label"] and dialog["label"]["text"], label)
    expect(problems, "install button", dialog["install"]["text"], ok)
    expect(problems, "cancel button", dialog["cancel"]["text"], cancel)
    items = dialog["items"]
    expect(problems, "list items", sorted(items), sorted(ROWS))
    selected = items[dialog["selected"]] if 0 <= dialog["selected"] < len(items) else None
    expect(problems, "preselected item", selected, row)
    expect(problems, "list text", dialog["combo"]["text"], row)
    expect(problems, "focus", dialog["focus"], "install")
    expect(problems, "icon shown", dialog["icon"], True)
    # A fixed frame with a caption and a close box only, and a button on the taskbar.
    WS_CAPTION, WS_SYSMENU, WS_THICKFRAME, WS_MINIMIZEBOX, WS_MAXIMIZEBOX = 0xC00000, 0x80000, 0x40000, 0x20000, 0x10000
    style = dialog["style"]
    expect(problems, "frame styles", ((style & WS_CAPTION) == WS_CAPTION, bool(style & WS_SYSMENU),
                                      bool(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX))),
           (True, True, False))
    expect(problems, "taskbar button (WS_EX_APPWINDOW)", bool(dialog["exStyle"] & 0x40000), True)
    # Centred in the work area (to a pixel either way for the halving).
    l, t, r, b = dialog["rect"]
    wl, wt, wr, wb = dialog["workArea"]
    off_x = (l - wl) - (wr - r)
    off_y = (t - wt) - (wb - b)
    if abs(off_x) > 1 or abs(off_y) > 1:
        problems.append(f"not centred: window {dialog['rect']} in work area {dialog['workArea']}")


def check_launch(problems, session, run, row, folder=None, package_dir=None):
    """Exactly one launch: the package of the program's folder, from that folder, with the row's
    parameters character for character."""
    folder = folder or session.folder
    package_dir = package_dir or folder
    records = run.launches(1)
    if len(records) != 1:
        problems.append(f"launches: got {len(records)}, want 1: {records}")
        return
    record = records[0]
    wanted = (f'"{windows_path(session.recorder)}" /i "{windows_path(package_dir)}\\{PACKAGE}" '
              + parameters_for(row, folder.name))
    expect(problems, "command line", record["commandLine"], wanted)
    cwd = record["currentDirectory"]
    expect(problems, "working directory of the launch", cwd.rstrip("\\"), windows_path(folder))


def check_no_launch(problems, run):
    records = run.launches(0)
    if records:
        problems.append(f"launches: got {len(records)}, want none: {records}")


# --- groups ------------------------------------------------------------------------------------

def group_languages(session, checker):
    session.register_handler(recorder_command(session.recorder))
    for locale, wanted_id in LOCALES:
        lang = lang_value(locale)

        def body(problems, locale=locale, lang=lang, wanted_id=wanted_id):
            ui = session.probe("uilang", lang=lang)["uiLanguage"]
            if ui != wanted_id:
                problems.append(f"Wine presents 0x{ui:04X} for LANG={lang}, not 0x{wanted_id:04X}")
            row = SELECTING.get(ui, "English")
            run = Run(session, "lang-" + locale, lang)
            try:
                dialog = run.wait_dialog()
                check_dialog(problems, dialog, row)
                run.probe("keys", "RETURN")
                expect(problems, "exit code after Enter", run.wait_exit(), EXIT_ENTER)
                check_launch(problems, session, run, row)
            finally:
                run.kill()

        checker.case(f"{locale} (0x{wanted_id:04X})", body)


def ending_case(session, checker, name, actions, launches, exit_code, lang="en_US.UTF-8", row="English",
                cwd=None, folder=None, args=()):
    """Starts the program, performs the probe actions in order and checks the ending."""

    def body(problems):
        run = Run(session, "end-" + name, lang, cwd, folder and folder / "Setup.exe", args)
        try:
            dialog = run.wait_dialog()
            check_dialog(problems, dialog, row)
            launch_row = row
            for action in actions:
                if callable(action):
                    launch_row = action(run, problems) or launch_row
                else:
                    run.probe(*action)
            code = run.wait_exit()
            expect(problems, "exit code", code, exit_code)
            if launches:
                check_launch(problems, session, run, launch_row, folder)
            else:
                check_no_launch(problems, run)
        finally:
            run.kill()

    checker.case(name, body)
    return name


def state_check(description, test):
    """An action that reads the dialog and records a problem when test(state) is not true."""

    def action(run, problems):
        state = run.probe("state")
        message = test(state)
        if message:
            problems.append(f"{description}: {message}")

    return action


def note_focus(when):
    def action(run, problems):
        print(f"       (focus {when}: {run.probe('state')['dialog']['focus']})", flush=True)

    return action


def select_by_keyboard(target_row):
    """Focus the list with Shift+Tab, walk with the arrow keys to target_row, Tab back to the
    install button."""

    def action(run, problems):
        state = run.probe("state")["dialog"]
        items = state["items"]
        steps = items.index(target_row) - state["selected"]
        key = "DOWN" if steps > 0 else "UP"
        run.probe("keys", "shift+TAB")
        focus = run.probe("state")["dialog"]["focus"]
        expect(problems, "focus after Shift+Tab", focus, "combo")
        if steps:
            run.probe("keys", *([key] * abs(steps)))
        state = run.probe("state")["dialog"]
        expect(problems, "list text after the arrow keys", state["combo"]["text"], target_row)
        run.probe("keys", "TAB")
        expect(problems, "focus after Tab", run.probe("state")["dialog"]["focus"], "install")
        return target_row

    return action


def select_by_mouse(target_row):
    """Open the list with a click and click target_row in it."""

    def action(run, problems):
        run.probe("click", 1000)
        state = run.probe("state")["dialog"]
        expect(problems, "list open after the click", state["dropped"], True)
        run.probe("click", "item:%d" % state["items"].index(target_row))
        state = run.probe("state")["dialog"]
        expect(problems, "list open after choosing", state["dropped"], False)
        expect(problems, "list text after choosing", state["combo"]["text"], target_row)
        return target_row

    return action


def group_endings(session, checker):
    session.register_handler(recorder_command(session.recorder))
    focus_is = lambda want: lambda s: None if s["dialog"]["focus"] == want else f"focus on {s['dialog']['focus']}"
    capture_is = lambda want: lambda s: None if s["dialog"]["capture"] == want else f"capture on {s['dialog']['capture']}"
    ending_case(session, checker, "install by click", [("click", 1001)], 1, EXIT_CLICK)
    ending_case(session, checker, "install by Enter", [("keys", "RETURN")], 1, EXIT_ENTER)
    ending_case(session, checker, "install by Shift+Enter", [("keys", "shift+RETURN")], 1,
                EXIT_ENTER)
    ending_case(session, checker, "cancel by click", [("click", 1002)], 0, EXIT_CLICK)
    ending_case(session, checker, "cancel by Enter after Tab",
                [("keys", "TAB"), state_check("Tab from the install button", focus_is("cancel")),
                 ("keys", "RETURN")], 0, EXIT_ENTER)
    ending_case(session, checker, "cancel by Enter after hovering",
                [("hover", 1002), state_check("hover over the cancel button", focus_is("cancel")),
                 ("keys", "RETURN")], 0, EXIT_ENTER)
    ending_case(session, checker, "Escape", [("keys", "ESCAPE")], 0, EXIT_ESCAPE)
    ending_case(session, checker, "close box", [("click", "close")], 0, EXIT_CLOSE)
    ending_case(session, checker, "Alt+F4", [("keys", "alt+F4")], 0, EXIT_CLOSE)
    ending_case(session, checker, "Close in the system menu", [("keys", "alt+SPACE", "c")], 0, EXIT_CLOSE)
    ending_case(session, checker, "SC_CLOSE", [("syscommand", 0xF060)], 0, EXIT_CLOSE)
    # Enter on the list presses nothing; the dialog stays and Escape still ends it.
    ending_case(session, checker, "Enter on the list does nothing",
                [("keys", "shift+TAB"), state_check("Shift+Tab", focus_is("combo")), ("keys", "RETURN"),
                 state_check("after Enter on the list", lambda s: None if s["dialog"]["caption"] == "Setup" else "gone"),
                 ("keys", "ESCAPE")], 0, EXIT_ESCAPE)
    # Hover moves the focus from control to control; Enter presses the hovered one.
    ending_case(session, checker, "hover then Enter on install",
                [("hover", 1002), state_check("hover cancel", focus_is("cancel")),
                 ("hover", 1001), state_check("hover install", focus_is("install")),
                 ("keys", "RETURN")], 1, EXIT_ENTER)
    # Where the program is started from does not matter: its own folder's package is launched.
    ending_case(session, checker, "started from a folder with a decoy package", [("keys", "RETURN")], 1,
                EXIT_ENTER, cwd=session.elsewhere)
    ending_case(session, checker, "started from its own folder", [("keys", "RETURN")], 1, EXIT_ENTER,
                cwd=session.folder)
    # A held Enter repeats its key-down; the dialog has ended before the second one is read.
    ending_case(session, checker, "Enter held down", [("keys", "--held", "RETURN", 5)], 1, EXIT_ENTER)
    # Arguments on the command line change nothing.
    ending_case(session, checker, "started with arguments", [("keys", "RETURN")], 1, EXIT_ENTER,
                args=["/q", "PACKAGENAMEUID=x", "Transforms=y"])
    # The folder's name goes into the property verbatim, whatever its characters.
    unusual = session.work / "Kit ñ Установка 日本 (1) it's"
    unusual.mkdir()
    shutil.copy2(session.setup, unusual / "Setup.exe")
    (unusual / PACKAGE).write_bytes(b"the package beside the program\n")
    ending_case(session, checker, "folder name with non-ASCII letters, blanks and an apostrophe",
                [("keys", "RETURN")], 1, EXIT_ENTER, folder=unusual)
    # A changed selection is what is launched.
    ending_case(session, checker, "keyboard: English -> Suomi, Enter",
                [select_by_keyboard("Suomi"), ("keys", "RETURN")], 1, EXIT_ENTER)
    ending_case(session, checker, "keyboard: Deutsch -> Dansk, Enter",
                [select_by_keyboard("Dansk"), ("keys", "RETURN")], 1, EXIT_ENTER, lang="de_DE.UTF-8",
                row="Deutsch")
    ending_case(session, checker, "mouse: English -> Français, click install",
                [select_by_mouse("Français"), ("click", 1001)], 1, EXIT_CLICK)
    # Wine repaints an uncovered window from its own copy, so closing the list brings no paint
    # and the focus stays on the list; the pointer on the install button takes it there.
    ending_case(session, checker, "mouse: Русский -> Deutsch, hover install, Enter",
                [select_by_mouse("Deutsch"), note_focus("after the list closed"), ("hover", 1001),
                 state_check("hover install", focus_is("install")), ("keys", "RETURN")], 1, EXIT_ENTER,
                lang="ru_RU.UTF-8", row="Русский")
    # The About box: from the system menu, owned by the dialog, which waits disabled.
    about_texts = ["Orvia\uFF0C1.0 \u7248", "\u786E\u5B9A"]

    def about_open(state):
        about = state["box"]
        if not about:
            return "no About box"
        wrong = []
        if about["caption"] != "\u5173\u4E8E Orvia":
            wrong.append(f"caption {about['caption']!r}")
        for text in about_texts:
            if text not in about["texts"]:
                wrong.append(f"no {text!r} in {about['texts']!r}")
        if not about["owner"]:
            wrong.append("not owned by the dialog")
        if state["dialog"]["enabled"]:
            wrong.append("the dialog stays enabled")
        return "; ".join(wrong) or None

    def about_closed(state):
        if state["box"]:
            return "the About box is still open"
        if not state["dialog"]["enabled"]:
            return "the dialog stays disabled"
        if state["dialog"]["caption"] != ROWS["Русский"][0]:
            return f"caption {state['dialog']['caption']!r}"
        return None

    ending_case(session, checker, "About by Alt+Space A, closed by its button, then Escape",
                [("keys", "alt+SPACE", "a"), state_check("About box", about_open), ("click", "box-button"),
                 state_check("after the About box", about_closed), ("keys", "ESCAPE")], 0, EXIT_ESCAPE,
                lang="ru_RU.UTF-8", row="Русский")
    ending_case(session, checker, "About by system command 0x0011, closed by Escape, then Enter",
                [("syscommand", 0x0011), state_check("About box", about_open), ("keys", "ESCAPE"),
                 state_check("after the About box", about_closed), ("keys", "RETURN")], 1, EXIT_ENTER,
                lang="ru_RU.UTF-8", row="Русский")


    # A launch the shell refuses: one error box over the dialog, in the system's own words and
    # the user's UI language; it keeps the keyboard while the dialog below repaints, takes a
    # click although the dialog held the capture when it opened, and the program then ends as
    # it does after any launch.
    bare = session.work / "Without Package"
    bare.mkdir()
    shutil.copy2(session.setup, bare / "Setup.exe")

    def refused(caption, reason):
        text = f"{windows_path(bare)}\\{PACKAGE}\r\n{reason}"

        def check(state):
            box = state["box"]
            if not box:
                return "no error box"
            wrong = []
            if box["caption"] != caption:
                wrong.append(f"caption {box['caption']!r}")
            if text not in box["texts"]:
                wrong.append(f"no {text!r} in {box['texts']!r}")
            if not box["owner"]:
                wrong.append("not owned by the dialog")
            if not box["focus"]:
                wrong.append(f"the focus is on the dialog's {state['dialog']['focus']}")
            if state["dialog"]["enabled"]:
                wrong.append("the dialog stays enabled")
            return "; ".join(wrong) or None

        return check

    ending_case(session, checker, "package missing: error box, closed by a click",
                [("hover", "background"), state_check("pointer on the background", capture_is("dialog")),
                 ("keys", "RETURN"), state_check("error box", refused("Setup", "File not found.")),
                 ("repaint",), state_check("after a repaint", refused("Setup", "File not found.")),
                 ("click", "box-button")], 0, EXIT_ENTER, folder=bare)
    ending_case(session, checker, "package missing, in German: error box, closed by Enter",
                [("keys", "RETURN"), state_check("error box", refused("Einrichtung", "Datei nicht gefunden.")),
                 ("repaint",), state_check("after a repaint", refused("Einrichtung", "Datei nicht gefunden.")),
                 ("keys", "RETURN")], 0, EXIT_ENTER, lang="de_DE.UTF-8", row="Deutsch", folder=bare)


def group_installer(session, checker, args):
    sys.modules.setdefault("e2e", sys.modules[__name__])  # one copy of this module's classes
    from installer import run_installer_cases  # kept apart: it needs wixl
    run_installer_cases(session, checker, args)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("group", choices=["languages", "endings", "installer"])
    parser.add_argument("--setup", required=True)
    parser.add_argument("--recorder", required=True)
    parser.add_argument("--probe", required=True)
    parser.add_argument("--mktransform", help="the transform writer (installer group)")
    parser.add_argument("--work", required=True)
    parser.add_argument("--wine", default="/usr/lib/wine/wine64", help="the Wine loader for the programs")
    parser.add_argument("--only", help="run only the cases whose name holds this text")
    args = parser.parse_args()
    session = Session(args)
    checker = Checker(args.group)
    if args.only:
        original = checker.case
        checker.case = lambda name, body: original(name, body) if args.only in name else None
    try:
        if args.group == "languages":
            group_languages(session, checker)
        elif args.group == "endings":
            group_endings(session, checker)
        else:
            group_installer(session, checker, args)
    finally:
        session.register_handler(MSIEXEC_COMMAND)
    return checker.summary()


if __name__ == "__main__":
    sys.exit(main())
