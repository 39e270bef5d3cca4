"""velto-cli replay with a filter and time stamps, end to end under Wine."""
import os
import re
import subprocess
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
BIN = Path(os.environ.get("VELTO_BIN", ROOT / "build" / "bin"))
SAMPLE = ROOT / "tests" / "data" / "replay-sample.log"
ARROW = "\ue0b0"


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


def replay(*args, stdin=None):
    return subprocess.run(
        [str(ROOT / "scripts" / "wine-run"), str(BIN / "velto-cli.exe"), "replay", *args],
        input=stdin, capture_output=True, timeout=180)


def test_filter_shows_exactly_the_matching_lines():
    result = replay("--filter", "error,-timeout", "--visible", windows_path(SAMPLE))
    assert result.returncode == 0, result.stderr
    assert result.stdout == b"error: bad CRC in block 7, ERROR count 1\r\n"


def test_hidden_lines_are_still_stored():
    plain = replay(windows_path(SAMPLE))
    filtered = replay("--filter", "error", windows_path(SAMPLE))
    # Lines that arrive whole are stored alike; the export holds them all, shown or hidden. (While filtering,
    # text goes to the end of the store whatever the cursor says, so lines that move the cursor differ.)
    first_lines = plain.stdout.split(b"\r\n")[:7]
    assert filtered.stdout.split(b"\r\n")[:7] == first_lines
    assert b"DRAM:  512 MiB" in first_lines


def test_stamps_with_milliseconds_and_the_powerline_arrow():
    result = replay("--time-format", "dd.MM.yyyy HH:mm:ss:iii>", "--powerline", "--utf8", "--visible",
                    "--columns", "200", windows_path(SAMPLE))
    assert result.returncode == 0, result.stderr
    rows = result.stdout.decode("utf-8").split("\r\n")
    stamp = re.compile(r"^\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d:\d{3}" + ARROW)
    assert stamp.match(rows[0]) and rows[0].endswith("U-Boot 2024.01 (Jan 12 2024 - 10:22:31 +0000)")
    assert rows[1] == ""                                   # an empty line gets no stamp
    assert stamp.match(rows[2]) and rows[2].endswith("DRAM:  512 MiB")


def test_stamps_without_powerline_keep_their_mark_and_filter_sees_them():
    result = replay("--time-format", "HH:mm:ss>", "--filter", "error", "--visible", "--utf8", windows_path(SAMPLE))
    rows = [row for row in result.stdout.decode("utf-8").split("\r\n") if row]
    assert len(rows) == 2
    for row in rows:
        assert re.match(r"^\d\d:\d\d:\d\d>error: ", row)
        assert ARROW not in row


def test_bad_options_of_the_later_kind_fail_like_the_others():
    result = replay("--filter")
    assert result.returncode == 2
    assert b"--filter needs a value" in result.stderr
