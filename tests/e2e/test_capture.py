"""velto-cli capture and ports, end to end under Wine, against a virtual serial device, a TCP peer and a UDP
sender. Peers listen on 127.0.0.1 only, and every wait has a limit."""
import os
import select
import socket
import subprocess
import sys
import threading
import time
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
BIN = Path(os.environ.get("VELTO_BIN", ROOT / "build" / "bin"))
CLI = BIN / "velto-cli.exe"
sys.path.insert(0, str(ROOT / "tests" / "support"))
from loopback_tcp import TcpPeer  # noqa: E402

PREFIX = os.environ.get("VELTO_WINEPREFIX", str(ROOT / "build" / "wineprefix"))
PORT_NAME = "COM5"  # the end-to-end tests run after the test programs, so this prefix's COM5 is theirs
RUN_LIMIT = 180


def windows_path(path):
    """Wine sees the Unix root as drive Z:."""
    return "Z:" + str(path).replace("/", "\\")


def cli(*args):
    return subprocess.run([str(ROOT / "scripts" / "wine-run"), str(CLI), *args],
                          capture_output=True, timeout=RUN_LIMIT)


def statuses(stderr):
    return stderr.decode("cp1252").splitlines()


def virtual_port(command):
    return subprocess.run(["bash", str(ROOT / "scripts" / "virtual-port"), command, PORT_NAME, "--register",
                           "--prefix", PREFIX], capture_output=True, timeout=RUN_LIMIT)


class EchoDevice:
    """The device end of the virtual port: records what arrives and sends it straight back."""

    def __init__(self, path):
        self.fd = os.open(path, os.O_RDWR | os.O_NOCTTY)
        self.received = b""
        self.arrivals = []  # (monotonic time, offset of the first byte of a read)
        self.stopping = False
        self.thread = threading.Thread(target=self.run, daemon=True)
        self.thread.start()

    def run(self):
        while not self.stopping:
            ready, _, _ = select.select([self.fd], [], [], 0.1)
            if not ready:
                continue
            try:
                data = os.read(self.fd, 4096)
            except OSError:
                return
            self.arrivals.append((time.monotonic(), len(self.received)))
            self.received += data
            os.write(self.fd, data)

    def arrival_of(self, offset):
        """When the byte at offset came."""
        return max(when for when, first in self.arrivals if first <= offset)

    def close(self):
        self.stopping = True
        self.thread.join(10)
        os.close(self.fd)


@pytest.fixture(scope="module", autouse=True)
def built():
    if not CLI.exists():
        pytest.fail(f"{CLI} is not built")


@pytest.fixture
def echo_device():
    created = virtual_port("create")
    assert created.returncode == 0, created.stderr
    device = EchoDevice(created.stdout.decode().strip().splitlines()[-1])
    yield device
    device.close()
    virtual_port("remove")


def test_serial_capture_sends_logs_the_echo_and_closes_as_the_program_does(echo_device, tmp_path):
    log, out = tmp_path / "out.log", tmp_path / "out.txt"
    result = cli("capture", PORT_NAME, "--send", "hello\\r", "--seconds", "2", "--log", windows_path(log),
                 "-o", windows_path(out))
    assert result.returncode == 0, result.stderr
    lines = statuses(result.stderr)
    assert lines[:5] == ["Closing serial port", "Closed serial port", f"Searching for serial port: {PORT_NAME}",
                         f"Opening serial port: {PORT_NAME}", f"Successfully opened serial port: {PORT_NAME}"]
    assert lines[-2:] == [f"Closing serial port: \\\\.\\{PORT_NAME}", f"Closed serial port: \\\\.\\{PORT_NAME}"]
    assert echo_device.received == b"hello\r"
    assert log.read_bytes() == b"hello\r\n"             # the line end written as CR LF
    assert out.read_bytes() == b"hello\r\n\r\n"         # the line and the empty line after it


def test_texts_hex_bytes_and_a_file_go_out_in_order_exactly_with_the_files_line_delay(echo_device, tmp_path):
    lines = tmp_path / "lines.bin"
    lines.write_bytes(b"a\x00\r\nb\xff\r\nc")
    result = cli("capture", PORT_NAME, "--send", "go\\0", "--send-hex", "00 FF 0d", "--send-file", windows_path(lines),
                 "--send", "end", "--line-delay", "300", "--seconds", "0")
    assert result.returncode == 0, result.stderr
    assert echo_device.received == b"go\x00" + b"\x00\xff\r" + b"a\x00\r\nb\xff\r\nc" + b"end"
    # Measured at the device: each line of the file comes at least the delay after the end of the one before it
    # (a lower bound only: a loaded machine may stretch a pause, never shorten it).
    start = len(b"go\x00\x00\xff\r")
    for line_start in (start + 4, start + 8):
        assert echo_device.arrival_of(line_start) - echo_device.arrival_of(line_start - 1) >= 0.25


def test_a_file_send_the_peer_cuts_short_is_reported_and_exits_3(tmp_path):
    data = tmp_path / "many.txt"
    data.write_bytes(b"".join(b"row %02d\n" % i for i in range(40)))
    listener = socket.create_server(("127.0.0.1", 0))
    listener.settimeout(RUN_LIMIT)

    def cut_short():
        client, _ = listener.accept()
        with client:
            client.recv(16)  # the first rows arrive, then the peer goes

    peer = threading.Thread(target=cut_short, daemon=True)
    peer.start()
    try:
        result = cli("capture", f"tcp://127.0.0.1:{listener.getsockname()[1]}", "--send-file", windows_path(data),
                     "--line-delay", "100", "--seconds", "0")
    finally:
        peer.join(RUN_LIMIT)
        listener.close()
    assert result.returncode == 3, result.stderr
    stopped = [line for line in statuses(result.stderr) if line.startswith("velto-cli capture: sending ")]
    assert len(stopped) == 1 and " stopped after " in stopped[0] and stopped[0].endswith(
        ("the port was closed", "the port did not take the bytes")), statuses(result.stderr)


def test_ports_lists_the_virtual_port_from_the_serial_map(echo_device):
    result = cli("ports")
    assert result.returncode == 0, result.stderr
    assert result.stderr == b""
    rows = [line.split("\t") for line in result.stdout.decode("cp1252").splitlines()]
    assert [PORT_NAME, f"\\\\.\\{PORT_NAME}", "12", "1", "",
            f"\\\\.\\{PORT_NAME} - \\Device\\VeltoVirtual5", "", ""] in rows  # no identity: not a USB board


def test_tcp_capture_filters_the_view_but_logs_everything(tmp_path):
    # Telnet negotiation in front of the greeting, which the terminal drops.
    peer = TcpPeer(b"\xff\xfb\x01\xff\xfb\x03welcome\r\n", answer=lambda line: b"echo:" + line + b"\r\n")
    log = tmp_path / "tcp.log"
    try:
        target = f"tcp://127.0.0.1:{peer.port}"
        result = cli("capture", target, "--send", "ping\\n", "--send", "\\x41\\tB\\n", "--char-delay", "20",
                     "--seconds", "2", "--visible", "--filter", "echo:", "--log", windows_path(log))
    finally:
        peer.close()
    assert result.returncode == 0, result.stderr
    assert f"Successfully opened serial port: {target}" in statuses(result.stderr)
    assert peer.received == b"ping\nA\tB\n"
    rows = result.stdout.split(b"\r\n")
    assert rows[:2] == [b"echo:ping", b"echo:A\tB"]    # the greeting is hidden by the filter
    assert log.read_bytes() == b"welcome\r\necho:ping\r\necho:A\tB\r\n"  # negotiation dropped, nothing hidden


def free_udp_port():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def test_udp_capture_turns_log4j_events_into_lines(tmp_path):
    port = free_udp_port()
    target = f"udp://127.0.0.1:{port}"
    log = tmp_path / "udp.log"
    process = subprocess.Popen([str(ROOT / "scripts" / "wine-run"), str(CLI), "capture", target, "--seconds", "2",
                                "--log", windows_path(log)], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    try:
        seen = []
        deadline = time.monotonic() + RUN_LIMIT
        while time.monotonic() < deadline:
            line = process.stderr.readline()
            if not line:
                break
            seen.append(line.decode("cp1252").rstrip())
            if seen[-1] == f"Successfully opened serial port: {target}":
                break
        assert seen and seen[-1] == f"Successfully opened serial port: {target}", seen
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as sender:
            sender.sendto(b'<log4j:event logger="app.main" level="INFO"><log4j:message>Started</log4j:message>'
                          b"</log4j:event>", ("127.0.0.1", port))
            sender.sendto(b"plain text\n", ("127.0.0.1", port))
        out, _ = process.communicate(timeout=RUN_LIMIT)
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
    assert process.returncode == 0
    assert out == b"INFO|app.main|Started\r\nplain text\r\n\r\n"
    assert log.read_bytes() == b"INFO|app.main|Started\r\nplain text\r\n"


def test_a_failed_open_exits_1_and_bad_arguments_exit_2():
    missing = "\\\\.\\pipe\\velto-e2e-missing"
    result = cli("capture", missing, "--seconds", "0")
    assert result.returncode == 1
    assert statuses(result.stderr)[2:5] == [f"Searching for serial port: {missing}",
                                            f"Opening serial port: {missing}", f"Can't open serial port: {missing}"]
    assert result.stdout == b""
    for arguments in (["--parity", "odd"], ["COM5", "--parity", "sometimes"], ["COM5", "--send", "bad\\q"],
                      ["COM5", "--send", "\\x0"], ["COM5", "--send-hex", "01 0g"], ["COM5", "--send-hex", "123"],
                      ["COM5", "--send-file", "Z:\\no\\such\\file.bin"], ["COM5", "--line-delay", "-1"],
                      ["COM5", "--stop-bits", "3"], ["COM5", "COM6"], ["COM5", "--html", "--visible"]):
        result = cli("capture", *arguments)
        assert result.returncode == 2, arguments
        assert result.stderr.startswith(b"velto-cli capture: "), arguments
        assert len(statuses(result.stderr)) == 1, arguments
    result = cli("capture", "COM5", "--send-hex", "01 0g")
    assert statuses(result.stderr) == ["velto-cli capture: --send-hex: not a hexadecimal digit at character 5 of "
                                       "'01 0g'"]


def free_tcp_port():
    with socket.create_server(("127.0.0.1", 0)) as probe:
        return probe.getsockname()[1]


class ClosingPeer:
    """Greets the first client, gives it a moment to read, then ends the connection."""

    def __init__(self, greeting):
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.listener.settimeout(RUN_LIMIT)
        self.port = self.listener.getsockname()[1]
        self.thread = threading.Thread(target=self.run, args=(greeting,), daemon=True)
        self.thread.start()

    def run(self, greeting):
        try:
            client, _ = self.listener.accept()
        except OSError:
            return
        with client:
            client.sendall(greeting)
            time.sleep(1)

    def close(self):
        self.listener.close()
        self.thread.join(10)


def test_a_tcp_connection_is_a_successful_open_only_once_it_is_up_and_the_capture_ends_with_it():
    # Nothing listens, or the port cannot be one: the open "succeeds" (the connection starts), then fails.
    for target in (f"tcp://127.0.0.1:{free_tcp_port()}", "tcp://127.0.0.1:4294967297"):
        result = cli("capture", target, "--seconds", "0")
        assert result.returncode == 1, (target, result.stderr)
        assert f"velto-cli capture: the connection to '{target}' did not come up" in statuses(result.stderr)
        assert result.stdout == b""
    peer = ClosingPeer(b"bye\r\n")
    try:
        started = time.monotonic()
        result = cli("capture", f"tcp://127.0.0.1:{peer.port}", "--seconds", "604800")
    finally:
        peer.close()
    assert result.returncode == 0, result.stderr
    assert result.stdout == b"bye\r\n\r\n"
    assert time.monotonic() - started < RUN_LIMIT / 2, "it did not stay for the week once the peer had gone"


@pytest.mark.parametrize("option", ["-o", "--log"])
def test_an_unwritable_output_or_log_fails_before_connecting(option):
    listener = socket.create_server(("127.0.0.1", 0))
    listener.settimeout(0)
    try:
        port = listener.getsockname()[1]
        started = time.monotonic()
        result = cli("capture", f"tcp://127.0.0.1:{port}", "--send", "reboot\\n", "--seconds", "60",
                     option, "Z:\\no\\such\\folder\\capture.txt")
        assert result.returncode == 2
        assert time.monotonic() - started < 50, "it did not stay connected"
        assert statuses(result.stderr) == [
            "velto-cli capture: cannot create " + ("output" if option == "-o" else "log") +
            " file 'Z:\\no\\such\\folder\\capture.txt'"]
        with pytest.raises(BlockingIOError):
            listener.accept()                           # nobody connected, nothing was sent
    finally:
        listener.close()


def test_a_capture_larger_than_the_store_keeps_its_newest_lines_and_says_so(tmp_path):
    listener = socket.create_server(("127.0.0.1", 0))
    listener.settimeout(60)
    lines = b"".join(b"line %d of the stream\r\n" % n for n in range(3000))

    def flood():
        try:
            client, _ = listener.accept()
        except OSError:
            return
        with client:
            client.sendall(lines)
            client.settimeout(30)
            try:
                client.recv(1)                          # until the capture closes
            except OSError:
                pass

    thread = threading.Thread(target=flood, daemon=True)
    thread.start()
    out = tmp_path / "capture.txt"
    try:
        result = cli("capture", f"tcp://127.0.0.1:{listener.getsockname()[1]}", "--seconds", "3",
                     "--capacity", "20000", "-o", windows_path(out))
    finally:
        listener.close()
        thread.join(40)
    assert result.returncode == 0, result.stderr
    kept = out.read_bytes().split(b"\r\n")[:-2]
    first = int(kept[0].split()[1])
    assert kept == [b"line %d of the stream" % n for n in range(first, 3000)]
    assert (f"velto-cli capture: the store holds at most 20000 cells: the first {first} lines were dropped, "
            f"the output starts at line {first + 1} of the input") in statuses(result.stderr)
