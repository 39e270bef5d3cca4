"""velto-cli's serial line options end to end under Wine: what reaches the virtual port (stty on its end shows
the speed, crtscts, ixon and ixoff; a pseudo-terminal keeps 8 data bits and has no modem lines), what this Wine
refuses and how that is told, the bad values, and a port's own settings in the port list."""
import subprocess
import time

import pytest

from test_capture import PORT_NAME, PREFIX, ROOT, RUN_LIMIT, CLI, cli, echo_device, statuses, virtual_port  # noqa: F401

OPENED = f"Successfully opened serial port: {PORT_NAME}"
PORT_KEY = r"HKCU\Software\Brannick\Velto\Ports" + "\\" + PORT_NAME


def capture_while(arguments, look):
    """Runs a capture that stays open, calls look() once the open has succeeded, and returns the finished run's
    exit status, its status lines and what look() answered."""
    process = subprocess.Popen([str(ROOT / "scripts" / "wine-run"), str(CLI), "capture", PORT_NAME, "--seconds", "15",
                                *arguments], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    seen, answer = [], None
    try:
        deadline = time.monotonic() + RUN_LIMIT
        while time.monotonic() < deadline:
            line = process.stderr.readline()
            if not line:
                break
            seen.append(line.decode("cp1252").rstrip())
            if seen[-1] == OPENED:
                answer = look()
                break
        rest = process.communicate(timeout=RUN_LIMIT)[1]
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
    return process.returncode, seen + statuses(rest), answer


def stty_words():
    return virtual_port("stty").stdout.decode().split()


@pytest.mark.parametrize("arguments, expected", [
    ([], ["-crtscts", "-ixon", "-ixoff"]),
    (["--baud", "9600", "--flow", "rtscts"], ["9600", "crtscts", "-ixon", "-ixoff"]),
    (["--baud", "57600", "--flow", "xonxoff", "--dtr", "off", "--rts", "off"], ["57600", "-crtscts", "ixon", "ixoff"]),
])
def test_the_line_options_reach_the_port(echo_device, arguments, expected):
    status, lines, words = capture_while(arguments, stty_words)
    assert status == 0, lines
    assert OPENED in lines
    for word in expected:
        assert word in words, (word, words)


def test_a_pulse_this_port_cannot_give_is_told_once_and_the_break_and_texts_follow(echo_device):
    result = cli("capture", PORT_NAME, "--pulse", "both:100", "--break", "250", "--send", "hi", "--seconds", "1")
    assert result.returncode == 0, result.stderr
    lines = statuses(result.stderr)
    # This Wine refuses DTR and RTS on a pseudo-terminal and takes a break without a word.
    assert lines.count(f"Line control refused: {PORT_NAME} does not support DTR/RTS control") == 1, lines
    assert not [line for line in lines if "break" in line], lines
    assert echo_device.received == b"hi"


@pytest.mark.parametrize("option, value, accepted", [
    ("--data-bits", "9", "5|6|7|8"),
    ("--flow", "hardware", "none|rtscts|dsrdtr|xonxoff"),
    ("--dtr", "yes", "on|off"),
    ("--rts", "1", "on|off"),
    ("--break", "0", "a number from 1 to 60000"),
    ("--break", "long", "a number from 1 to 60000"),
    ("--pulse", "dtr", "dtr|rts|both:MS with MS from 1 to 60000"),
    ("--pulse", "reset:100", "dtr|rts|both:MS with MS from 1 to 60000"),
    ("--pulse", "rts:0", "dtr|rts|both:MS with MS from 1 to 60000"),
])
def test_a_bad_line_value_exits_2_with_one_line_naming_the_option_and_what_it_takes(option, value, accepted):
    result = cli("capture", PORT_NAME, option, value)
    assert result.returncode == 2
    lines = statuses(result.stderr)
    assert len(lines) == 1, lines
    assert lines[0].startswith(f"velto-cli capture: {option} "), lines
    assert accepted in lines[0] and f"'{value}'" in lines[0], lines
    assert result.stdout == b""


def wine_reg(*arguments):
    return subprocess.run([str(ROOT / "scripts" / "wine-run"), "reg", *arguments], capture_output=True,
                          timeout=RUN_LIMIT)


def test_ports_shows_a_ports_own_line_settings(echo_device):
    values = {"BaudRate": 9600, "DataBits": 7, "Parity": 2, "FlowControl": 1, "Dtr": 0}
    try:
        for name, number in values.items():
            assert wine_reg("add", PORT_KEY, "/v", name, "/t", "REG_DWORD", "/d", str(number), "/f").returncode == 0
        result = cli("ports")
    finally:
        wine_reg("delete", PORT_KEY, "/f")
    assert result.returncode == 0, result.stderr
    rows = {row[0]: row for row in (line.split("\t") for line in result.stdout.decode("cp1252").splitlines())}
    assert rows[PORT_NAME][6] == "9600 baud 7E1 RTS/CTS; dtr off"
    assert all(row[6] == "" for name, row in rows.items() if name != PORT_NAME), rows
