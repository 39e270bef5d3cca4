"""The source tree's own rules, checked by `make test`: every file formatted as .clang-format says, every room
within its size, and every include within what the including room may use (the rooms and their uses are stated
once, in the top-level CMakeLists.txt; CMake writes what each room reaches into <build>/rooms.txt)."""
import os
import re
import subprocess
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
SRC = ROOT / "src"
BUILD = Path(os.environ.get("VELTO_BIN", ROOT / "build" / "bin")).parent
SOURCE_SUFFIXES = (".h", ".cpp")
MAX_FILES_PER_FOLDER = 25
# Programs sit above every room and may include anything.
PROGRAM_FOLDERS = {"ui/app"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def tracked(*patterns):
    out = subprocess.run(["git", "ls-files", "--", *patterns], cwd=ROOT, check=True, capture_output=True, text=True)
    return [ROOT / line for line in out.stdout.splitlines()]


def reach_by_room():
    rooms = {}
    for line in (BUILD / "rooms.txt").read_text().splitlines():
        if line.strip():
            room, *_ = line.split()
            rooms[room] = set(line.split())
    return rooms


ROOMS = reach_by_room() if (BUILD / "rooms.txt").exists() else {}


def test_rooms_were_written_by_cmake():
    assert ROOMS, f"{BUILD / 'rooms.txt'} is missing: configure the build first"


def test_every_folder_holds_at_most_25_source_files():
    crowded = []
    for folder, _, files in os.walk(SRC):
        count = sum(1 for f in files if f.endswith(SOURCE_SUFFIXES))
        if count > MAX_FILES_PER_FOLDER:
            crowded.append(f"{Path(folder).relative_to(ROOT)}: {count}")
    assert not crowded, "folders with more than 25 source files: " + ", ".join(crowded)


def test_every_folder_with_sources_is_a_declared_room():
    undeclared = []
    for folder, _, files in os.walk(SRC):
        rel = Path(folder).relative_to(SRC).as_posix()
        if any(f.endswith(SOURCE_SUFFIXES) for f in files) and rel not in ROOMS and rel not in PROGRAM_FOLDERS:
            undeclared.append(rel)
    assert not undeclared, "source folders that CMakeLists.txt declares as no room: " + ", ".join(undeclared)


def room_of_include(including_file, name):
    """The room a quoted include names, or None when it is no header of src (a system or test header)."""
    beside = including_file.parent / name
    target = beside if beside.exists() else SRC / name
    if not target.exists():
        return None
    return target.resolve().parent.relative_to(SRC).as_posix()


@pytest.mark.parametrize("room", sorted(ROOMS))
def test_room_includes_only_rooms_it_may_use(room):
    wrong = []
    for path in sorted((SRC / room).glob("*")):
        if path.suffix not in SOURCE_SUFFIXES:
            continue
        for name in INCLUDE.findall(path.read_text(encoding="utf-8")):
            used = room_of_include(path, name)
            if used is None:
                wrong.append(f"{path.name}: {name} is no header of src")
            elif used not in ROOMS[room]:
                wrong.append(f"{path.name}: {name} ({used} is not among the rooms {room} uses)")
    assert not wrong, "\n".join(wrong)


def test_sources_are_formatted():
    files = [str(p.relative_to(ROOT)) for p in tracked("*.h", "*.cpp") if p.exists()]
    result = subprocess.run(["clang-format", "--dry-run", *files], cwd=ROOT, capture_output=True, text=True)
    differing = sorted({line.split(":", 1)[0] for line in result.stderr.splitlines() if ": warning:" in line})
    assert not differing and result.returncode == 0, (
        "files that differ from .clang-format (run clang-format -i on them):\n" + "\n".join(differing)
    )
