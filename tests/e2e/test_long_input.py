"""velto-cli replay of inputs larger than the store, end to end under Wine: the input streams through in
reader-sized blocks, the newest lines are kept whole, standard error says what was dropped, and no failure is
reported as success."""
import os
import re
import struct
import subprocess
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
BIN = Path(os.environ.get("VELTO_BIN", ROOT / "build" / "bin"))
CLI = BIN / "velto-cli.exe"
CAPACITY = 20000  # cells: a few hundred of the lines below


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


def replay(*args, stdin=None):
    return subprocess.run([str(ROOT / "scripts" / "wine-run"), str(CLI), "replay", *args],
                          input=stdin, capture_output=True, timeout=300)


def numbered_lines(count):
    return b"".join(b"\x1b[3%dmline %d of the input\x1b[0m\r\n" % (1 + n % 7, n) for n in range(count))


@pytest.fixture(scope="module")
def long_input(tmp_path_factory):
    path = tmp_path_factory.mktemp("long") / "lines.log"
    path.write_bytes(numbered_lines(5000))
    return path


@pytest.mark.parametrize("source, block", [("file", None), ("stdin", None), ("file", "1"), ("stdin", "4093")])
def test_an_input_larger_than_the_store_keeps_its_newest_lines_and_says_where_the_output_starts(
        long_input, source, block):
    args = ["--capacity", str(CAPACITY), "--stats"] + (["--block", block] if block else [])
    if source == "file":
        result = replay(*args, windows_path(long_input))
    else:
        result = replay(*args, "-", stdin=long_input.read_bytes())
    assert result.returncode == 0, result.stderr
    lines = result.stdout.split(b"\r\n")
    assert lines[-1] == b"" and lines[-2] == b""         # the empty last line, then the end
    kept = lines[:-2]
    first = int(kept[0].split()[1])
    assert kept == [b"line %d of the input" % n for n in range(first, 5000)]
    messages = result.stderr.decode("cp1252").splitlines()
    assert messages[0] == (f"velto-cli replay: the store holds at most {CAPACITY} cells: the first {first} lines "
                           f"were dropped, the output starts at line {first + 1} of the input")
    stats = re.fullmatch(r"velto-cli replay: stats: input (\d+) bytes, (\d+) lines, (\d+) dropped lines, "
                         r"[\d.]+ MB/s, peak working set [\d.]+ MB", messages[1])
    assert stats, messages[1]
    assert stats.groups() == (str(long_input.stat().st_size), "5000", str(first))


def test_an_input_the_store_holds_reports_nothing_dropped(long_input):
    result = replay("--stats", windows_path(long_input))
    assert result.returncode == 0
    assert result.stdout.startswith(b"line 0 of the input\r\n")
    assert b"dropped lines" in result.stderr and b"were dropped" not in result.stderr


def test_a_line_longer_than_the_store_keeps_its_end():
    result = replay("--capacity", "1000", "-", stdin=b"".join(b"%07d|" % n for n in range(2000)))
    assert result.returncode == 0
    assert result.stdout.endswith(b"0001999|\r\n")
    assert len(result.stdout) <= 1002
    assert b"output starts within line 1 of the input" in result.stderr


def test_an_unwritable_output_fails_before_reading(long_input):
    result = replay("-o", "Z:\\no\\such\\folder\\out.txt", windows_path(long_input))
    assert result.returncode == 2
    assert result.stderr.decode("cp1252") == "velto-cli replay: cannot create output file 'Z:\\no\\such\\folder\\out.txt'\r\n"


def test_a_time_format_longer_than_the_options_allow_is_cut_not_fatal():
    result = replay("--time-format", "HH" + "x" * 400, "-", stdin=b"a\r\n")
    assert result.returncode == 0, result.stderr
    stamp = result.stdout.split(b"\r\n")[0]
    assert stamp.endswith(b"x" * 257 + b"a") and len(stamp) == 260


@pytest.mark.parametrize("program", ["velto.exe", "velto-cli.exe"])
def test_programs_may_use_more_than_2_gb_of_address_space(program):
    image = (BIN / program).read_bytes()
    header = struct.unpack_from("<I", image, 0x3C)[0]
    assert image[header:header + 4] == b"PE\0\0"
    characteristics = struct.unpack_from("<H", image, header + 22)[0]
    assert characteristics & 0x0020, "IMAGE_FILE_LARGE_ADDRESS_AWARE"
