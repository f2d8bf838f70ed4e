"""A real installer package behind the program: Quillmere_Business.msi is built with wixl so that
installing it writes the PACKAGENAMEUID property and a language marker (the ORVIALANG property,
"en" in the package) to HKCU\\Software\\OrviaE2E. Beside it, Transforms\\de.mst and
Transforms\\sv-SE.mst, written by mktransform, set the marker to "de" and "sv-SE". Wine's own
msiexec is the .msi handler, registered the way Windows registers it; the program hands the
package to the shell and the test reads what the installation wrote."""

import shutil
import subprocess
import time

from e2e import (EXIT_ENTER, FOLDER, MSIEXEC_COMMAND, PACKAGE, Failure, Run, check_dialog, expect,
                 windows_path)

KEY = "HKCU\\Software\\OrviaE2E"

WXS = """<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="*" Name="Orvia test package" Language="1033" Version="1.0.0"
           Manufacturer="Orvia tests" UpgradeCode="6C1F3A52-3E0B-4C59-9A3B-0D7E2F1B8A41">
    <Package InstallerVersion="200" Compressed="yes" InstallScope="perUser"/>
    <Property Id="ORVIALANG" Value="en"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Component Id="Marker" Guid="5E2B7C1D-8A4F-4B6E-9C3D-2F1A0B9E8D71">
        <RegistryValue Root="HKCU" Key="Software\\OrviaE2E" Name="PackageNameUid" Type="string"
                       Value="[PACKAGENAMEUID]" KeyPath="yes"/>
        <RegistryValue Root="HKCU" Key="Software\\OrviaE2E" Name="Language" Type="string"
                       Value="[ORVIALANG]"/>
      </Component>
    </Directory>
    <Feature Id="Main" Level="1"><ComponentRef Id="Marker"/></Feature>
  </Product>
</Wix>
"""


def build_package(session):
    wixl = shutil.which("wixl")
    if not wixl:
        raise SystemExit("wixl is missing (tools/deps installs it)")
    source = session.work / "package.wxs"
    source.write_text(WXS, "utf-8")
    package = session.folder / PACKAGE
    with open(session.logs / "wixl.out", "wb") as out:
        subprocess.run([wixl, "-o", str(package), str(source)], stdout=out, stderr=subprocess.STDOUT,
                       check=True, timeout=120)
    return package


def read_values(session):
    """The values under KEY, or None while the key does not exist."""
    rc, text = session.wine(["reg", "query", KEY], "reg-query")
    if rc != 0:
        return None
    values = {}
    for line in text.splitlines():
        if "    REG_SZ    " in line:
            name, value = line.split("    REG_SZ    ", 1)
            values[name.strip()] = value.rstrip("\r\n")
    return values


def uninstall(session, package):
    session.wine(["msiexec", "/x", windows_path(package), "/qn"], "msiexec-uninstall", timeout=300)
    session.wine(["reg", "delete", KEY, "/f"], "reg-delete")


def write_transforms(session, mktransform):
    folder = session.folder / "Transforms"
    folder.mkdir()
    for stem in ("de", "sv-SE"):
        rc, _ = session.wine([mktransform, windows_path(folder / f"{stem}.mst"), "ORVIALANG", stem], "mktransform")
        if rc != 0:
            raise SystemExit(f"mktransform exited {rc}")


def run_installer_cases(session, checker, args):
    package = build_package(session)
    if not args.mktransform:
        raise SystemExit("the installer group needs --mktransform")
    write_transforms(session, args.mktransform)
    session.register_handler(MSIEXEC_COMMAND)
    uninstall(session, package)

    def case(locale, row, marker):
        lang = locale + ".UTF-8"

        def body(problems):
            run = Run(session, "installer-" + locale, lang)
            try:
                check_dialog(problems, run.wait_dialog(), row)
                run.probe("keys", "RETURN")
                expect(problems, "exit code", run.wait_exit(), EXIT_ENTER)
            finally:
                run.kill()
            # The installer runs on after the program has ended; wait for what it writes.
            deadline = time.monotonic() + 300
            values = read_values(session)
            while not (values and "PackageNameUid" in values) and time.monotonic() < deadline:
                time.sleep(1)
                values = read_values(session)
            if not values:
                raise Failure(f"the installation wrote nothing under {KEY}")
            expect(problems, "PACKAGENAMEUID as installed", values.get("PackageNameUid"), FOLDER + ".msi")
            # msiexec takes property names in any case: "Transforms=" is TRANSFORMS, resolved
            # against the package's folder.
            expect(problems, "language marker (the transform's)", values.get("Language"), marker)
            uninstall(session, package)

        checker.case(f"{locale}: {row} through msiexec", body)

    case("en_US", "English", "en")
    case("de_DE", "Deutsch", "de")
    case("sv_SE", "Svenska", "sv-SE")
