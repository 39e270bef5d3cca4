"""Boards known by who they are, end to end under Wine: a USB board put into the prefix's device database (Wine's
device-setup functions read the Enum tree as it is) is listed by velto-cli ports with its identity, and its tag and
line settings follow it from one COM number to another."""
import subprocess

import pytest

from test_capture import ROOT, RUN_LIMIT, CLI, cli, windows_path  # noqa: F401

IDENTITY = r"USB\VID_0403&PID_6001\VELTOE2E1"
ENUM = r"HKEY_LOCAL_MACHINE\System\CurrentControlSet\Enum"
SETTINGS = r"HKEY_CURRENT_USER\Software\Brannick\Velto"
BOARD_SECTION = SETTINGS + r"\Ports" + "\\" + IDENTITY.replace("\\", "/")
PORTS_CLASS = "{4D36E978-E325-11CE-BFC1-08002BE10318}"


def quoted(text):
    return '"' + text.replace("\\", "\\\\") + '"'


def board_at(port):
    """The board's device entry, naming the port Windows gave it."""
    return [f"[{ENUM}\\{IDENTITY}]", f'"ClassGUID"="{PORTS_CLASS}"', '"Service"="FTDIBUS"',
            f'"FriendlyName"="Velto Test Board ({port})"', f"[{ENUM}\\{IDENTITY}\\Device Parameters]",
            f'"PortName"="{port}"']


def import_registry(tmp_path, lines):
    script = tmp_path / "entries.reg"
    script.write_text("REGEDIT4\r\n\r\n" + "\r\n".join(lines) + "\r\n", encoding="ascii")
    result = subprocess.run([str(ROOT / "scripts" / "wine-run"), "reg", "import", windows_path(script)],
                            capture_output=True, timeout=RUN_LIMIT)
    assert result.returncode == 0, result.stderr


@pytest.fixture
def registry(tmp_path):
    """Imports entries; removes the board and every value the tests stored, whatever happened."""
    yield lambda lines: import_registry(tmp_path, lines)
    import_registry(tmp_path, [f"[-{ENUM}\\{IDENTITY}]", f"[-{BOARD_SECTION}]", f"[-{SETTINGS}\\Ports\\COM38]",
                               f"[{SETTINGS}\\Tags]", f"{quoted(IDENTITY)}=-"])


def rows():
    result = cli("ports")
    assert result.returncode == 0, result.stderr
    return {row[0]: row for row in (line.split("\t") for line in result.stdout.decode("cp1252").splitlines())}


def test_a_board_that_moved_keeps_its_tag_and_line_and_says_where_it_was(registry):
    # As the program leaves them once it listed the board under COM38: its values under its identity.
    registry(board_at("COM39") + [f"[{SETTINGS}\\Tags]", f'{quoted(IDENTITY)}="Console"', f"[{BOARD_SECTION}]",
                                  '"PortName"="COM38"', '"BaudRate"=dword:00002580',
                                  f"[{SETTINGS}\\Ports\\COM38]", f'"MovedTo"={quoted(IDENTITY)}'])
    listed = rows()
    board = listed["Velto Test Board (COM39)"]
    assert board[4:] == ["Console", "\\\\.\\COM39 - was COM38", "9600 baud 8N1", IDENTITY]
    assert all(row[7] == "" for name, row in listed.items() if name != board[0]), "ports without an identity"
