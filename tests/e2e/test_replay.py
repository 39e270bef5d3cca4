"""velto-cli replay, end to end: a capture file in, text, HTML or visible rows out, under Wine."""
import os
import subprocess
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
BIN = Path(os.environ.get("VELTO_BIN", ROOT / "build" / "bin"))
CLI = BIN / "velto-cli.exe"
SAMPLE = ROOT / "tests" / "data" / "replay-sample.log"

HTML_HEAD = (
    b"<!DOCTYPE html>\r\n<html>\r\n  <head>\r\n    <title>Log</title>\r\n    <style>\r\n      body\r\n"
    b"      {\r\n        font-family: 'Cascadia Code',Consolas,Courier;\r\n        color: #D8E0E8;\r\n"
    b"        background-color: #001020;\r\n        white-space: pre;\r\n      }\r\n    </style>\r\n"
)
HTML_FOOT = b"  </body></html>"


def windows_path(path):
    """Wine sees the Unix root as drive Z:."""
    return "Z:" + str(path).replace("/", "\\")


def replay(*args, stdin=None):
    result = subprocess.run(
        [str(ROOT / "scripts" / "wine-run"), str(CLI), "replay", *args],
        input=stdin, capture_output=True, timeout=180)
    return result


def span(fg, bg):
    return b'<span style="color: #' + fg + b"; background-color: #" + bg + b'">'


@pytest.fixture(scope="module", autouse=True)
def built():
    if not CLI.exists():
        pytest.fail(f"{CLI} is not built")


def test_text_export_of_a_capture_with_colours_cursor_moves_and_a_cleared_screen():
    result = replay(windows_path(SAMPLE))
    assert result.returncode == 0, result.stderr
    assert result.stderr == b""
    lines = result.stdout.split(b"\r\n")
    assert lines[0] == b"U-Boot 2024.01 (Jan 12 2024 - 10:22:31 +0000)"
    assert b"DRAM:  512 MiB" in lines
    assert b"Progress: 99%" in lines                 # backspaces moved back and overwrote
    assert b"a < b && c > d" in lines
    assert b"    CPU  57%" in lines                  # absolute moves after the erase, then erase to end of line
    assert b"    MEM  17%" in lines
    assert lines[-1] == b""                          # every line, the last one too, ends with CR LF
    assert b"\x1b" not in result.stdout
    # The ANSI code page (1252 in a fresh prefix) has no Cyrillic: those become its default character.
    assert b"??????, " in result.stdout


def test_html_export_keeps_colours_and_escapes_markup_characters():
    result = replay("--html", windows_path(SAMPLE))
    assert result.returncode == 0, result.stderr
    html = result.stdout
    assert html.startswith(HTML_HEAD)
    assert b'<link rel="stylesheet"' in html
    assert html.endswith(b"</span>" + HTML_FOOT)
    assert span(b"10A008", b"001020") + b"DRAM:</span>" in html          # green, 15-bit colours
    assert span(b"E01028", b"001020") + b"error:</span>" in html          # red
    assert span(b"F88000", b"001020") + b"true colour orange</span>" in html
    assert b"a &lt; b &amp;&amp; c &gt; d" in html                        # stays text in a browser
    assert b"a < b" not in html


def test_visible_rows_wrap_at_the_given_width_and_utf8_keeps_every_character():
    result = replay("--visible", "--columns", "20", "--utf8", windows_path(SAMPLE))
    assert result.returncode == 0, result.stderr
    rows = result.stdout.decode("utf-8").split("\r\n")
    assert rows[0] == "U-Boot 2024.01 (Jan "
    assert rows[1] == "12 2024 - 10:22:31 +"
    assert "Привет, Καλημέρα, ⠋⠙" in rows
    assert all(len(row) <= 20 for row in rows)


def test_standard_input_and_output_file_give_the_same_bytes(tmp_path):
    data = SAMPLE.read_bytes()
    from_stdin = replay("--html", "-", stdin=data)
    assert from_stdin.returncode == 0, from_stdin.stderr
    out = tmp_path / "out.html"
    to_file = replay("--html", "-o", windows_path(out), windows_path(SAMPLE))
    assert to_file.returncode == 0, to_file.stderr
    assert to_file.stdout == b""
    assert out.read_bytes() == from_stdin.stdout


def test_the_null_device_takes_the_output():
    result = replay("--html", "-o", "NUL", windows_path(SAMPLE))
    assert (result.returncode, result.stdout, result.stderr) == (0, b"", b"")


def test_empty_input_is_a_cleared_store():
    text = replay("-", stdin=b"")
    assert (text.returncode, text.stdout) == (0, b"\r\n")
    html = replay("--html", "-", stdin=b"")
    assert html.stdout.endswith(b"  <body>\r\n\r\n" + HTML_FOOT)
    assert b"<span" not in html.stdout


def test_last_line_without_line_end_is_flushed_and_decoded():
    result = replay("--utf8", "-", stdin=b"caf\xc3\xa9")
    assert result.stdout == "café\r\n".encode("utf-8")


@pytest.mark.parametrize("args, problem", [
    (["--colour", "x.log"], "unknown option --colour"),
    (["--columns", "abc", "x.log"], "--columns needs a number"),
    (["--columns", "0", "x.log"], "--columns needs a number"),
    (["--columns"], "--columns needs a value"),
    (["--html=yes", "x.log"], "--html takes no value"),
    ([], "no INPUT"),
    (["a.log", "b.log"], "more than one INPUT"),
    (["Z:\\no\\such\\capture.log"], "cannot read input"),
    (["--html", "--visible", "x.log"], "cannot be combined"),
])
def test_errors_name_the_problem_exit_2_and_write_nothing(tmp_path, args, problem):
    out = tmp_path / "out.txt"
    result = replay("-o", windows_path(out), *args)
    assert result.returncode == 2
    assert result.stdout == b""
    message = result.stderr.decode("cp1252")
    assert message.startswith("velto-cli replay: ")
    assert problem in message
    assert message.count("\n") == 1
    assert not out.exists()


def test_help_lists_commands_and_options():
    result = subprocess.run([str(ROOT / "scripts" / "wine-run"), str(CLI), "--help"],
                            capture_output=True, timeout=180)
    assert result.returncode == 0
    text = result.stdout.decode("cp1252")
    for word in ("replay", "--html", "--visible", "--utf8", "--columns", "-o FILE"):
        assert word in text
    unknown = subprocess.run([str(ROOT / "scripts" / "wine-run"), str(CLI), "frobnicate"],
                             capture_output=True, timeout=180)
    assert unknown.returncode == 2
    assert b"unknown command" in unknown.stderr
