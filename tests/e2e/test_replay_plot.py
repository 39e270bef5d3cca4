"""velto-cli replay --plot-csv: the numbers of a capture's lines as the plot window's CSV, under Wine."""
import os
import subprocess
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
BIN = Path(os.environ.get("VELTO_BIN", ROOT / "build" / "bin"))
CLI = BIN / "velto-cli.exe"


def windows_path(path):
    """Wine sees the Unix root as drive Z:."""
    return "Z:" + str(path).replace("/", "\\")


def replay(*args):
    return subprocess.run([str(ROOT / "scripts" / "wine-run"), str(CLI), "replay", *args], capture_output=True,
                          timeout=180)


@pytest.fixture(scope="module", autouse=True)
def built():
    if not CLI.exists():
        pytest.fail(f"{CLI} is not built")


CAPTURE = (b"boot 1.2.3 ok\r\n"
           b"\x1b[32mtemp=41.5\x1b[0m fan=1200\r\n"
           b"0.12,0.98,-3e-2\r\n"
           b"temp: 42 rpm=0x1F\n"
           b"temp=43")  # the last line ends with the input


@pytest.mark.parametrize("options, header, values", [
    ([], "time,temp,fan,1,2,3", [["41.5", "1200", "", "", ""], ["", "", "0.12", "0.98", "-0.03"],
                                ["42", "", "", "", ""], ["43", "", "", "", ""]]),
    # A filtered view stores a line at its end, so the unended last line is neither shown nor plotted.
    (["--filter", "temp"], "time,temp,fan", [["41.5", "1200"], ["42", ""]]),
    (["--time-format", "HH mm ss "], "time,temp,fan,1,2,3", [["41.5", "1200", "", "", ""],
                                                             ["", "", "0.12", "0.98", "-0.03"],
                                                             ["42", "", "", "", ""], ["43", "", "", "", ""]]),
], ids=["all lines", "filtered", "stamps are not plotted"])
def test_the_csv_holds_a_row_per_line_that_gave_numbers(tmp_path, options, header, values):
    capture = tmp_path / "capture.log"
    capture.write_bytes(CAPTURE)
    csv = tmp_path / "plot.csv"
    result = replay(*options, "--plot-csv", windows_path(csv), "-o", windows_path(tmp_path / "out.txt"),
                    windows_path(capture))
    assert result.returncode == 0, result.stderr
    rows = csv.read_bytes().decode().split("\r\n")
    assert rows[0] == header
    assert rows[-1] == ""
    assert [row.split(",")[1:] for row in rows[1:-1]] == values
    times = [float(row.split(",")[0]) for row in rows[1:-1]]
    assert times == sorted(times) and times[0] == 0


def test_an_unwritable_csv_path_is_refused_before_anything_is_read(tmp_path):
    capture = tmp_path / "capture.log"
    capture.write_bytes(CAPTURE)
    result = replay("--plot-csv", windows_path(tmp_path), windows_path(capture))
    assert result.returncode == 2
    assert result.stderr.decode().count("\n") == 1
    assert "plot's CSV" in result.stderr.decode()
