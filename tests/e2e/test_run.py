"""velto-cli run, end to end under Wine: scripts that log in to a simulated board on a virtual serial port and on a
loopback TCP connection, time-outs, expectnot, a board that vanishes and comes back, and scripts that are wrong.
Peers listen on 127.0.0.1 only, and every wait has a limit."""
import os
import queue
import re
import select
import socket
import subprocess
import sys
import threading
import time
import xml.etree.ElementTree as ElementTree
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
BIN = Path(os.environ.get("VELTO_BIN", ROOT / "build" / "bin"))
CLI = BIN / "velto-cli.exe"
sys.path.insert(0, str(ROOT / "tests" / "support"))
from board import Board  # noqa: E402

PREFIX = os.environ.get("VELTO_WINEPREFIX", str(ROOT / "build" / "wineprefix"))
PORT_NAME = "COM6"  # test_capture uses COM5 of this prefix
RUN_LIMIT = 180

LOGIN_SCRIPT = """# boot, log in, ask the board who it is
expect /board login: $/ timeout=60
send root\\n
expect /Password: $/
send secret\\n
expect /^root@board:~# $/
send uname -a\\n
expect /Linux board \\S+ .*armv7l/
expectnot /not found/ for=0.5
"""


def windows_path(path):
    """Wine sees the Unix root as drive Z:."""
    return "Z:" + str(path).replace("/", "\\")


def script_file(tmp_path, text, name="bench.txt"):
    path = tmp_path / name
    path.write_text(text, encoding="utf-8")
    return windows_path(path)


class CliRun:
    """velto-cli run in the background: its standard error line by line as it comes, with the time each line
    arrived, and the time the process ended."""

    def __init__(self, *args, cwd=None):
        self.process = subprocess.Popen([str(ROOT / "scripts" / "wine-run"), str(CLI), "run", *args],
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE, cwd=cwd)
        self.lines = queue.Queue()
        self.seen = []
        self.stdout = b""
        self.ended_at = None
        threading.Thread(target=self._read_errors, daemon=True).start()
        threading.Thread(target=self._read_output, daemon=True).start()
        threading.Thread(target=self._await_end, daemon=True).start()

    def _read_errors(self):
        for line in self.process.stderr:
            self.lines.put((time.monotonic(), line.decode("cp1252").rstrip("\r\n")))

    def _read_output(self):
        self.stdout = self.process.stdout.read()

    def _await_end(self):
        self.process.wait()
        self.ended_at = time.monotonic()

    def wait_for(self, start):
        """The time the first line starting with start arrived."""
        deadline = time.monotonic() + RUN_LIMIT
        while time.monotonic() < deadline:
            try:
                arrived, line = self.lines.get(timeout=1)
            except queue.Empty:
                if self.process.poll() is not None and self.lines.empty():
                    break
                continue
            self.seen.append(line)
            if line.startswith(start):
                return arrived
        raise AssertionError(f"no line starting with {start!r} in {self.seen}")

    def finish(self):
        try:
            self.process.wait(timeout=RUN_LIMIT)
        finally:
            if self.process.poll() is None:
                self.process.kill()
                self.process.wait()
        deadline = time.monotonic() + 30
        while self.ended_at is None and time.monotonic() < deadline:
            time.sleep(0.05)
        while not self.lines.empty():
            self.seen.append(self.lines.get()[1])
        return self.process.returncode


def run_cli(*args):
    result = subprocess.run([str(ROOT / "scripts" / "wine-run"), str(CLI), "run", *args], capture_output=True,
                            timeout=RUN_LIMIT)
    return result.returncode, result.stdout, result.stderr.decode("cp1252").splitlines()


def virtual_port(command):
    result = subprocess.run(["bash", str(ROOT / "scripts" / "virtual-port"), command, PORT_NAME, "--register",
                             "--prefix", PREFIX], capture_output=True, timeout=RUN_LIMIT)
    assert result.returncode == 0, result.stderr
    output = result.stdout.decode().strip()
    return output.splitlines()[-1] if command == "create" else output


class SerialBoard:
    """A board on the device end of the virtual port. Asked to reboot, it pulls the port out, as a board's USB
    adapter vanishes while the board resets, and plugs a new one in."""

    def __init__(self):
        self.board = Board(self._write)
        self.board.on_reboot = self._replug
        self.fd = None
        self.stopping = threading.Event()
        self.replugged = threading.Event()
        self._plug()

    def _plug(self):
        self.fd = os.open(virtual_port("create"), os.O_RDWR | os.O_NOCTTY)
        self.reader = threading.Thread(target=self._read, args=(self.fd,), daemon=True)
        self.reader.start()

    def _write(self, data):
        try:
            os.write(self.fd, data)
        except OSError:
            pass

    def _read(self, fd):
        while not self.stopping.is_set():
            ready, _, _ = select.select([fd], [], [], 0.1)
            if not ready:
                continue
            try:
                data = os.read(fd, 4096)
            except OSError:
                return
            if not data:
                return
            self.board.feed(data)

    def _replug(self):
        time.sleep(0.2)  # the board's last words reach the host before its port goes
        self.stopping.set()
        self.reader.join(10)
        os.close(self.fd)
        virtual_port("remove")
        time.sleep(3)  # the board's boot loader, before its USB port appears again
        self.stopping.clear()
        with self.board.lock:
            self.board.state = "login"
        self._plug()
        self.replugged.set()

    def close(self):
        self.stopping.set()
        self.reader.join(10)
        os.close(self.fd)
        virtual_port("remove")


class TcpBoard:
    """A board behind a console server: it boots as the first client connects."""

    def __init__(self, banner_extra=b""):
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.listener.settimeout(RUN_LIMIT)
        self.port = self.listener.getsockname()[1]
        self.target = f"tcp://127.0.0.1:{self.port}"
        self.banner_extra = banner_extra
        self.board = None
        self.thread = threading.Thread(target=self._serve, daemon=True)
        self.thread.start()

    def _serve(self):
        try:
            client, _ = self.listener.accept()
        except OSError:
            return
        with client:
            self.board = Board(client.sendall)
            if self.banner_extra:
                client.sendall(self.banner_extra)
            self.board.power_on()
            client.settimeout(RUN_LIMIT)
            while True:
                try:
                    data = client.recv(4096)
                except OSError:
                    return
                if not data:
                    return
                self.board.feed(data)

    def received(self):
        return self.board.received if self.board else b""

    def close(self):
        self.listener.close()
        self.thread.join(10)


@pytest.fixture(scope="module", autouse=True)
def built():
    if not CLI.exists():
        pytest.fail(f"{CLI} is not built")


@pytest.fixture
def serial_board():
    board = SerialBoard()
    yield board
    board.close()


@pytest.fixture
def tcp_board():
    board = TcpBoard(banner_extra=b"<bus> & \x01 ok\r\n")
    yield board
    board.close()


def junit(path):
    suite = ElementTree.parse(path).getroot().find("testsuite")
    cases = [(case.get("name"), [child.tag for child in case]) for case in suite.findall("testcase")]
    counts = {key: int(suite.get(key)) for key in ("tests", "failures", "errors", "skipped")}
    return suite, counts, cases


def test_a_script_logs_in_to_a_board_on_a_serial_port_and_checks_its_answer(serial_board, tmp_path):
    report = tmp_path / "results.xml"
    run = CliRun(script_file(tmp_path, LOGIN_SCRIPT), PORT_NAME, "--junit", windows_path(report))
    run.wait_for(f"command line: open {PORT_NAME} ok")
    serial_board.board.power_on()
    assert run.finish() == 0, "\n".join(run.seen)
    assert run.stdout == (b"U-Boot 2024.01 (Jan 08 2024)\r\n"
                          b"Starting kernel ...\r\n"
                          b"[    1.234] OK Reached target Multi-User System\r\n"
                          b"\r\n"
                          b"board login: root\r\n"
                          b"Password: \r\n"
                          b"root@board:~# uname -a\r\n"
                          b"Linux board 6.1.0 #1 SMP armv7l GNU/Linux\r\n"
                          b"root@board:~# \r\n")
    assert serial_board.board.received == b"root\nsecret\nuname -a\n"
    steps = [line for line in run.seen if line.startswith("line ")]
    waits = [float(line.split()[-2]) for line in steps if ": expect " in line]
    assert max(waits) < 5, "each expect ends as its answer arrives, not at its time-out"
    assert [re.sub(r" after \d+\.\d\d s$", "", line) for line in steps] == [
        "line 2: expect /board login: $/ timeout=60 ok", "line 3: send root\\n ok",
        "line 4: expect /Password: $/ ok", "line 5: send secret\\n ok", "line 6: expect /^root@board:~# $/ ok",
        "line 7: send uname -a\\n ok", "line 8: expect /Linux board \\S+ .*armv7l/ ok",
        "line 9: expectnot /not found/ for=0.5 ok"]
    assert re.fullmatch(r"velto-cli run: all 9 steps passed in \d+\.\d\d s", run.seen[-1])

    suite, counts, cases = junit(report)
    assert suite.get("name") == "bench.txt"
    assert counts == {"tests": 5, "failures": 0, "errors": 0, "skipped": 0}
    assert cases == [("line 2: expect /board login: $/ timeout=60", []), ("line 4: expect /Password: $/", []),
                     ("line 6: expect /^root@board:~# $/", []), ("line 8: expect /Linux board \\S+ .*armv7l/", []),
                     ("line 9: expectnot /not found/ for=0.5", [])]


def test_a_time_out_exits_3_within_a_second_of_it_with_the_tail_on_standard_error(tcp_board, tmp_path):
    report = tmp_path / "results.xml"
    script = "expect /login: $/\nsend root\\n\nexpect /Password: /\nexpect /root@board/ timeout=2\n" \
             "send secret\\n\nexpect /# $/\n"
    run = CliRun(script_file(tmp_path, script), tcp_board.target, "--junit", windows_path(report))
    started = run.wait_for("line 3: expect /Password: / ok")
    status = run.finish()
    assert status == 3, run.seen
    assert run.ended_at - started < 2 + 1, f"ended {run.ended_at - started:.2f} s after the expect began"
    assert re.fullmatch(r"line 4: expect /root@board/ timeout=2 failed after 2\.\d\d s: no match within 2 s",
                        run.seen[-3]), run.seen
    assert run.seen[-2] == ('line 4: the last 139 characters received: "<bus> & \\x01 ok\\nU-Boot 2024.01 '
                            '(Jan 08 2024)\\nStarting kernel ...\\n[    1.234] OK Reached target Multi-User System'
                            '\\n\\nboard login: root\\nPassword: "')
    assert re.fullmatch(r"velto-cli run: line 4 failed after \d+\.\d\d s: 4 of 7 steps passed, 2 not run",
                        run.seen[-1])
    assert tcp_board.received() == b"root\n", "nothing is sent after the failure"

    _, counts, cases = junit(report)
    assert counts == {"tests": 4, "failures": 1, "errors": 0, "skipped": 1}
    assert [name for name, _ in cases] == ["line 1: expect /login: $/", "line 3: expect /Password: /",
                                           "line 4: expect /root@board/ timeout=2", "line 6: expect /# $/"]
    assert [children for _, children in cases] == [[], [], ["failure"], ["skipped"]]
    failure = ElementTree.parse(report).getroot().find(".//failure")
    assert failure.get("message") == "no match within 2 s"
    assert failure.text.endswith("<bus> & \ufffd ok\nU-Boot 2024.01 (Jan 08 2024)\nStarting kernel ...\n"
                                 "[    1.234] OK Reached target Multi-User System\n\nboard login: root\nPassword: ")


def test_matching_sees_every_line_while_the_transcript_is_filtered_and_stamped(tcp_board, tmp_path):
    log = tmp_path / "shell.log"
    script = f'expect /login: $/\nsend root\\n\nexpect /Password: $/\nsend secret\\n\nexpect /^root@board:~# $/\n' \
             f'log "{windows_path(log)}"\nsend dmesg\\n\nexpect /usb 1-1: new device\\n/\nexpect /# $/\n'
    status, out, errors = run_cli(script_file(tmp_path, script), tcp_board.target, "--visible", "--filter",
                                  "board,usb", "--time-format", "HH:mm:ss>")
    assert status == 0, errors
    lines = out.decode("cp1252").split("\r\n")
    assert [re.sub(r"^\d\d:\d\d:\d\d>", "", line) for line in lines[:3]] == [
        "board login: root", "root@board:~# dmesg", "[    2.345] usb 1-1: new device"]
    assert all(re.match(r"\d\d:\d\d:\d\d>", line) for line in lines[:3]), "every shown line is stamped"
    # While a filter is set, lines reach the store and the log whole: the log starts with the prompt's line.
    assert re.sub(rb"\d\d:\d\d:\d\d>", b"", log.read_bytes()) == (
        b"root@board:~# dmesg\r\n[    0.000] Booting Linux\r\n[    2.345] usb 1-1: new device\r\nroot@board:~# ")


def closed_tcp_port():
    with socket.create_server(("127.0.0.1", 0)) as listener:
        return listener.getsockname()[1]


@pytest.mark.parametrize("script, status, last_step", [
    ("expect /# $/\nexpectnot /panic/ for=1\n", 0, "line 2: expectnot /panic/ for=1 ok"),
    ("expect /# $/\nsend panic\\n\nexpectnot /not found/ for=5\n", 3,
     'line 3: expectnot /not found/ for=5 failed: matched "not found"'),
    ("expect /# $/\nbreak 100\n", 3, "line 2: break 100 failed: break needs a serial port, and {target} is a TCP "
                                    "connection"),
    # The open waits until the connection is up, so a peer that is not there fails it.
    ("open tcp://127.0.0.1:{closed}\n", 1, "line 1: open tcp://127.0.0.1:{closed} failed: "),
])
def test_expectnot_and_what_the_target_cannot_carry(tmp_path, script, status, last_step):
    board = TcpBoard()
    try:
        login = "expect /login: $/\nsend root\\n\nexpect /Password: $/\nsend secret\\n\n"
        opens = script.startswith("open")
        names = {"target": board.target, "closed": closed_tcp_port()}
        full = (script if opens else login + script).format(**names)
        offset = 0 if opens else 4
        result, _, errors = run_cli(script_file(tmp_path, full), *([] if opens else [board.target]))
    finally:
        board.close()
    assert result == status, errors
    step = re.sub(r"^line (\d+)", lambda m: f"line {int(m.group(1)) + offset}", last_step.format(**names))
    assert [line for line in errors if re.sub(r" after \d+\.\d\d s", "", line).startswith(step)], (step, errors)


def test_send_and_sendhex_send_their_bytes_exactly(tmp_path):
    board = TcpBoard()
    try:
        script = ("expect /login: $/\nsendhex 72 6f 6f 74 0a 00 01 7f 80 ff 0a\n"
                  "send \\0\\xfe\\n\nexpect /Login incorrect/\n")
        status, _, errors = run_cli(script_file(tmp_path, script), board.target)
        received = board.received()
    finally:
        board.close()
    assert status == 0, errors
    assert received == b"root\n\x00\x01\x7f\x80\xff\n\x00\xfe\n"


@pytest.fixture
def serial_device():
    """The device end of the virtual port, which nothing answers on."""
    device = os.open(virtual_port("create"), os.O_RDWR | os.O_NOCTTY)
    yield device
    os.close(device)
    virtual_port("remove")


def read_until(device, text):
    received, deadline = b"", time.monotonic() + RUN_LIMIT
    while text not in received and time.monotonic() < deadline:
        if select.select([device], [], [], 0.5)[0]:
            received += os.read(device, 4096)
    assert text in received, received


@pytest.mark.parametrize("arguments, open_step, expected", [
    (["--baud", "9600", "--flow", "rtscts"], "", ["9600", "crtscts", "-ixon", "-ixoff"]),
    (["--baud", "9600", "--flow", "rtscts"], f"open {PORT_NAME} baud=57600 flow=xonxoff\n",
     ["57600", "-crtscts", "ixon", "ixoff"]),
])
def test_the_line_options_and_an_open_steps_own_reach_the_port(serial_device, tmp_path, arguments, open_step,
                                                                expected):
    run = CliRun(script_file(tmp_path, open_step + "send ready\\n\nexpect /go/ timeout=60\n"), PORT_NAME,
                 *arguments)
    read_until(serial_device, b"ready\n")
    words = virtual_port("stty").split()
    os.write(serial_device, b"go\n")
    assert run.finish() == 0, run.seen
    assert [word for word in expected if word not in words] == [], words


# This Wine refuses DTR and RTS on a pseudo-terminal (EscapeCommFunction: error 50), takes a break without a
# word, and refuses 7 data bits.
@pytest.mark.parametrize("arguments, script, status, steps", [
    ([], "break 100\ndtr off\n", 3,
     ["line 1: break 100 ok", f"line 2: dtr off failed: {PORT_NAME} does not support DTR/RTS control"]),
    ([], "pulse both 100\n", 3, [f"line 1: pulse both 100 failed: {PORT_NAME} does not support DTR/RTS control"]),
    (["--flow", "rtscts"], "rts off\n", 3,
     [f"line 1: rts off failed: RTS follows the RTS/CTS flow control of {PORT_NAME}"]),
    ([], f"open {PORT_NAME} data=7\n", 1,
     [f"line 1: open {PORT_NAME} data=7 failed: {PORT_NAME} does not support 115200 baud 7N1"]),
])
def test_line_steps_on_a_serial_port_fail_with_what_the_driver_refused(serial_device, tmp_path, arguments, script,
                                                                       status, steps):
    result, _, errors = run_cli(script_file(tmp_path, script), PORT_NAME, *arguments)
    assert result == status, errors
    assert [re.sub(r" after \d+\.\d\d s", "", line) for line in errors if line.startswith("line ")] == steps


def readme_script():
    """The example script of the README, which reboots the board and reopens its port."""
    text = (ROOT / "README.md").read_text(encoding="utf-8")
    block = text.split("A complete script, `boot.txt`", 1)[1].split("\n\n", 2)[1]
    return "".join(line[4:] + "\n" for line in block.splitlines())


def test_the_readme_script_reopens_a_board_whose_port_vanishes_and_comes_back(serial_board, tmp_path):
    run = CliRun(script_file(tmp_path, readme_script()), PORT_NAME, cwd=tmp_path)
    run.wait_for(f"command line: open {PORT_NAME} ok")
    serial_board.board.power_on()
    assert run.finish() == 0, "\n".join(run.seen)
    assert serial_board.replugged.is_set()
    reopened = [float(line.split()[-2]) for line in run.seen if re.match(r"line \d+: reopen timeout=60 ok", line)]
    assert reopened and reopened[0] > 1, "the reopen waited for the port to come back"
    assert run.stdout.endswith(b"Rebooting...\r\n\r\nboard login: \r\n")
    assert (tmp_path / "shell.log").read_bytes().startswith(b"uname -a\r\nLinux board 6.1.0")


BAD_SCRIPTS = [
    ("sned root\\n\n", "line 3: unknown step 'sned'"),
    ("expect /a(b/\n", "line 3: bad regular expression /a(b/: "),
    ("expect /login: \n", "line 3: missing closing slash in /login: "),
    ("wait 1,5\n", "line 3: bad number '1,5' for wait"),
    ("expect /x/ timeout=soon\n", "line 3: bad number 'soon' for timeout="),
]


@pytest.mark.parametrize("line, message", BAD_SCRIPTS)
def test_a_bad_script_exits_2_naming_its_line_and_opens_nothing(tmp_path, line, message):
    listener = socket.create_server(("127.0.0.1", 0))
    listener.settimeout(0)
    try:
        target = f"tcp://127.0.0.1:{listener.getsockname()[1]}"
        script = f"# the board on the bench\nopen {target}\n{line}expect /login/\n"
        status, out, errors = run_cli(script_file(tmp_path, script))
        with pytest.raises(BlockingIOError):
            listener.accept()  # nobody connected
    finally:
        listener.close()
    assert status == 2
    assert out == b""
    assert len(errors) == 1 and errors[0].startswith("velto-cli run: " + message), errors


@pytest.mark.parametrize("arguments, message", [
    ([], "velto-cli run: no SCRIPT given"),
    (["Z:\\no\\such\\script.txt"], "velto-cli run: cannot open script 'Z:\\no\\such\\script.txt'"),
    (["SCRIPT", "tcp://127.0.0.1:9", "--junit", "Z:\\no\\such\\folder\\results.xml"],
     "velto-cli run: cannot create JUnit file 'Z:\\no\\such\\folder\\results.xml'"),
    (["SCRIPT"], "velto-cli run: line 1: expect comes before any open: give a TARGET or open one first"),
])
def test_bad_arguments_exit_2_before_anything_is_opened(tmp_path, arguments, message):
    script = script_file(tmp_path, "expect /login/\n")
    status, out, errors = run_cli(*[script if argument == "SCRIPT" else argument for argument in arguments])
    assert status == 2
    assert errors == [message]
