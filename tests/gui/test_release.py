"""What a user downloads, as `make release` makes it of this build: the archive's programs are 32-bit, carry no
debug information, state the build's version and run; the checksums hold; the README is a page; and the symbol
files kept apart name the function where the stripped program crashed, from its problem report alone."""
import hashlib
import re
import subprocess
import sys
import zipfile

import velto_gui
from conftest import BIN, ROOT

sys.path.insert(0, str(ROOT / "scripts"))
from pe_file import MACHINE_I386, PeFile, crc32_of  # noqa: E402

PROGRAMS = ["velto.exe", "velto-cli.exe"]
ENTRIES = PROGRAMS + ["README.html", "LICENSE.txt", "SHA256SUMS"]
SIZE_BUDGET = 2_500_000
CRASH_HELPER = BIN / "velto_crash_helper.exe"
# A thread routine of the program that follows its argument at once: started with 0x10, it crashes inside itself.
CRASHING_FUNCTION = "C_Thread::Routine(void*)"
CRASHING_SYMBOL = "__ZN8C_Thread7RoutineEPv@4"


def sums(text):
    return {name: digest for digest, name in (line.split("  ", 1) for line in text.splitlines())}


def test_the_archive_holds_the_stripped_programs_of_the_builds_version(release):
    entries = release.entries()
    assert list(entries) == ENTRIES
    fixed = "{}.{}.0.0".format(*release.numbers)
    for name in PROGRAMS:
        program = PeFile(entries[name])
        symbols_path = release.dist / "symbols" / f"{name}.debug"
        symbols = PeFile.read(symbols_path)
        assert program.machine == MACHINE_I386, name
        assert program.debug_sections() == [], name
        assert program.version() == (fixed, fixed), name
        assert program.build_id() == symbols.build_id() is not None, name
        assert program.debug_link() == (symbols_path.name, crc32_of(symbols_path)), name
        assert symbols.debug_sections(), f"{symbols_path.name} holds the debug information"
        assert len(entries[name]) <= SIZE_BUDGET, f"{name}: {len(entries[name]):,} bytes"
        print(f"{name}: {len(entries[name]):,} bytes stripped, {symbols_path.stat().st_size:,} of symbols")

    inside = sums(entries["SHA256SUMS"].decode("ascii"))
    assert inside == {name: hashlib.sha256(entries[name]).hexdigest() for name in ENTRIES[:-1]}
    beside = sums((release.dist / "SHA256SUMS").read_text())
    assert beside == {path.name: hashlib.sha256(path.read_bytes()).hexdigest()
                      for path in (release.archive(), release.installer())}

    page = entries["README.html"].decode("utf-8")
    assert page.startswith("<!DOCTYPE html>") and '<meta charset="utf-8">' in page
    assert f"<title>Velto {release.version}</title>" in page
    headings = re.findall(r"<h2[^>]*>(.*?)</h2>", page)
    assert headings[0] == "Getting Velto", headings
    # The pictures travel inside the page: a page alone in a download folder shows them all.
    assert "docs/" not in re.sub(r"<code>.*?</code>", "", page)
    assert page.count('src="data:image/png;base64,') == len(re.findall(r"!\[", (ROOT / "README.md").read_text()))
    assert b"\r\n" in entries["LICENSE.txt"] and b"\n" not in entries["LICENSE.txt"].replace(b"\r\n", b"")


def test_the_console_program_of_the_archive_runs_and_states_its_version(release, wine, tmp_path):
    folder = release.unpack(tmp_path / "Velto")
    done = wine.run(folder / "velto-cli.exe", "--help")
    assert done.returncode == 0, done.stderr
    first = done.stdout.decode("ascii").splitlines()[0]
    assert first == f"velto-cli {release.version} - console companion of the Velto serial terminal"


def symbol_offset(symbols, name):
    """Where a function begins, from the program's image base, as the symbol file gives it."""
    listing = subprocess.run(["i686-w64-mingw32-nm", str(symbols)], capture_output=True, text=True, check=True)
    address = next(int(line.split()[0], 16) for line in listing.stdout.splitlines()
                   if line.split()[-1] == name and " T " in line)
    return address - PeFile.read(symbols).image_base


def test_the_symbol_files_name_the_function_of_a_crash_in_the_stripped_program(release, wine, settings, tmp_path):
    folder = release.unpack(tmp_path / "Velto")
    # Wine's crash dialog stays away when the report's dialog leaves the crash to the system.
    wine.reg_set("ShowCrashDialog", 0, "REG_DWORD", key=r"HKCU\Software\Wine\WineDbg")
    offset = symbol_offset(release.dist / "symbols" / "velto.exe.debug", CRASHING_SYMBOL)
    process = wine.start(folder / "velto.exe")
    try:
        velto_gui.wait_for(lambda: wine.run(CRASH_HELPER, "inject", "velto.exe", "--at", f"{offset:x}").returncode == 0,
                           what="a thread started in the program's window")
        assert wine.run(CRASH_HELPER, "drive", "--program", "velto_Debug", "--press", "cancel").returncode == 0
        process.wait(velto_gui.LIMIT)
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
    report = folder / "velto_Debug.txt"
    text = report.read_bytes().decode("cp1252")
    # The stripped program's frame as its report gives it: module and offset, within the function.
    frame = re.search(r"\r\nStack:\r\nvelto:velto@0x([0-9A-F]+)\(", text)
    assert frame and 0 <= int(frame.group(1), 16) - offset < 0x40, text[:1500]

    named = subprocess.run([str(ROOT / "scripts" / "symbolize"), str(report), "--symbols",
                            str(release.dist / "symbols")], capture_output=True, text=True)
    assert named.returncode == 0, named.stderr
    lines = named.stdout.splitlines()
    stack = lines[lines.index("Stack:") + 1:]
    assert stack[0].startswith("velto:velto@0x")
    assert re.fullmatch(rf"\s+{re.escape(CRASHING_FUNCTION)} at .*[/\\]connection[/\\]threads[/\\]Thread\.cpp:\d+",
                        stack[1]), named.stdout[:1500]

    # Another build's symbol file of the same name (linked at another time) is refused, not believed.
    other_build = tmp_path / "other-build"
    other_build.mkdir()
    symbols = bytearray((release.dist / "symbols" / "velto.exe.debug").read_bytes())
    stamp_at = int.from_bytes(symbols[0x3C:0x40], "little") + 8
    symbols[stamp_at:stamp_at + 4] = (int.from_bytes(symbols[stamp_at:stamp_at + 4], "little") - 60).to_bytes(4, "little")
    (other_build / "velto.exe.debug").write_bytes(symbols)
    other = subprocess.run([str(ROOT / "scripts" / "symbolize"), str(report), "--symbols", str(other_build)],
                           capture_output=True, text=True)
    assert other.returncode == 1
    assert "velto.exe.debug belongs to another build" in other.stderr
    assert CRASHING_FUNCTION not in other.stdout
