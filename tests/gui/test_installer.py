"""The release's installer under Wine's msiexec, quietly as an administrator's deployment would run it: it installs
the archive's files with a Start menu entry and an uninstall entry, the installed velto.exe runs, and the
uninstall leaves nothing of the program, whatever an update or a crash added beside it, while the user's settings
stay.

Wine is the test host, not the target. Its user is always an administrator, so an installer that leaves the
choice to Windows (ALLUSERS=2) installs for every user here, where Windows 7 and later install for the current
user (MSIINSTALLPERUSER=1); the per-user installation is asked for with ALLUSERS empty, at the uninstall too,
since this Wine takes the context of a maintenance run from those properties rather than from the installed
product, as Windows does."""
import re
import subprocess
from pathlib import Path

import pytest

import velto_gui
from conftest import BIN, ROOT

# Wine would also put the Start menu entry into the Linux desktop's menus, outside the prefix.
NO_DESKTOP_MENUS = "winemenubuilder.exe=d"
LEFTOVERS = {"velto_old.exe": b"the program before an update", "SHA256SUMS": b"the update's checksums",
             "velto_Debug.txt": b"a problem report"}


class Msi:
    def __init__(self, wine):
        self.wine = wine
        self.env = dict(wine.env, WINEDLLOVERRIDES=f"{wine.env.get('WINEDLLOVERRIDES', '')};{NO_DESKTOP_MENUS}"
                        .lstrip(";"))

    def run(self, *args):
        done = subprocess.run([str(ROOT / "scripts" / "wine-run"), *map(str, args)], env=self.env,
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=velto_gui.LIMIT)
        return done.returncode, done.stdout.decode("utf-8", "replace").replace("\r\n", "\n")

    def folder(self, variable, *parts):
        """A folder of the prefix's user or machine, as a Unix path."""
        _, echoed = self.run("cmd", "/c", "echo", f"%{variable}%")
        _, unix = self.run("winepath", "-u", echoed.strip())
        return Path(unix.strip(), *parts)

    def installed(self):
        """{product code: name} of the uninstall entries."""
        _, listing = self.run("uninstaller", "--list")
        return {m.group(1): m.group(2) for m in re.finditer(r"^(\{[0-9A-F-]+\})\|\|\|(.*)$", listing, re.M)}

    def velto_code(self):
        return next((code for code, name in self.installed().items() if name == "Velto"), None)


@pytest.fixture
def msi(wine):
    msi = Msi(wine)
    yield msi
    # A failed test uninstalls what it installed.
    for scope in ([], ["ALLUSERS="]):
        code = msi.velto_code()
        if code:
            msi.run("msiexec", "/x", code, "/qn", *scope)


def install(msi, release, *scope):
    status, _ = msi.run("msiexec", "/i", velto_gui.windows_path(release.installer()), "/qn", *scope)
    assert status == 0
    code = msi.velto_code()
    assert code, msi.installed()
    return code


def assert_installed_as_released(folder, release):
    entries = release.entries()
    assert {p.name: p.read_bytes() for p in folder.iterdir()} == {
        name: data for name, data in entries.items() if name != "SHA256SUMS"}


def test_a_user_installs_runs_and_uninstalls_it_and_keeps_the_settings(wine, settings, release, msi):
    folder = msi.folder("LOCALAPPDATA", "Programs", "Velto")
    entry = msi.folder("APPDATA", "Microsoft", "Windows", "Start Menu", "Programs", "Velto.lnk")
    code = install(msi, release, "ALLUSERS=")
    assert_installed_as_released(folder, release)
    assert entry.exists()

    velto = velto_gui.Velto(wine, BIN)
    try:
        velto.process = wine.start(folder / "velto.exe")
        velto_gui.wait_for(lambda: velto.title(), what="the installed program's window")
        assert velto.title().endswith(f"[{release.version}]")
    finally:
        velto.close()
    kept = settings.reg_values()
    assert "Main" in kept

    for name, data in LEFTOVERS.items():
        (folder / name).write_bytes(data)
    status, _ = msi.run("msiexec", "/x", code, "/qn", "ALLUSERS=")
    assert status == 0
    assert not folder.exists(), sorted(p.name for p in folder.iterdir())
    assert not entry.exists()
    assert msi.velto_code() is None
    assert settings.reg_values() == kept


def test_an_installation_for_every_user_goes_to_the_machines_programs_folder(wine, release, msi):
    folder = msi.folder("ProgramFiles", "Velto")
    code = install(msi, release)
    assert_installed_as_released(folder, release)
    status, _ = msi.run("msiexec", "/x", code, "/qn")
    assert status == 0
    assert not folder.exists()
    assert msi.velto_code() is None
