"""The raw log end to end: velto-cli capture --raw keeps a device's bytes exactly, every value included, for a long
fast stream, and velto-cli replay of that file gives the text the view held; replay --hex dumps it. Under Wine,
against a virtual serial device; every wait has a limit."""
import os
import select
import subprocess
import threading
import time
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
BIN = Path(os.environ.get("VELTO_BIN", ROOT / "build" / "bin"))
CLI = BIN / "velto-cli.exe"
PREFIX = os.environ.get("VELTO_WINEPREFIX", str(ROOT / "build" / "wineprefix"))
PORT_NAME = "COM6"  # beside test_capture.py's COM5
STREAM_BYTES = int(os.environ.get("VELTO_RAW_STREAM_BYTES", 50 * 1000 * 1000))
RUN_LIMIT = 900
COMPARED_LINES = 20000

# Every byte value but those that move the cursor or start a sequence, each followed by an ASCII letter: a byte of
# 0x80 or more then never forms UTF-8 with its neighbours, so the view's text does not depend on where reads split
# the stream (a flush that is not UTF-8 keeps its bytes as characters, and so does every flush holding one).
CURSOR_BYTES = {0x08, 0x0A, 0x0D, 0x1B}
EVERY_VALUE = b"".join(bytes([value]) + b"x" for value in range(256) if value not in CURSOR_BYTES)


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


def stream(size):
    """Lines of every byte value, numbered, with colour changes, up to size bytes."""
    lines, total, n = [], 0, 0
    while total < size:
        line = b"line %08d \x1b[3%dm" % (n, n % 8) + EVERY_VALUE + b"\x1b[0m\r\n"
        lines.append(line)
        total += len(line)
        n += 1
    return b"".join(lines)[:size]


def virtual_port(command):
    return subprocess.run(["bash", str(ROOT / "scripts" / "virtual-port"), command, PORT_NAME, "--register",
                           "--prefix", PREFIX], capture_output=True, timeout=RUN_LIMIT)


@pytest.fixture(scope="module", autouse=True)
def built():
    if not CLI.exists():
        pytest.fail(f"{CLI} is not built")


@pytest.fixture
def device():
    created = virtual_port("create")
    assert created.returncode == 0, created.stderr
    fd = os.open(created.stdout.decode().strip().splitlines()[-1], os.O_RDWR | os.O_NOCTTY)
    yield fd
    os.close(fd)
    virtual_port("remove")


def cli(*args, limit=RUN_LIMIT):
    return subprocess.run([str(ROOT / "scripts" / "wine-run"), str(CLI), *args], capture_output=True, timeout=limit)


def tail(text, lines):
    return text.split(b"\r\n")[-lines:]


def feed(fd, data, stop):
    """Writes data to the device end as fast as the line takes it, until done or told to stop."""
    os.set_blocking(fd, False)
    view, at = memoryview(data), 0
    while at < len(data) and not stop.is_set():
        if select.select([], [fd], [], 0.5)[1]:
            try:
                at += os.write(fd, view[at:at + 65536])
            except BlockingIOError:
                pass


def test_a_raw_log_equals_the_devices_bytes_and_replays_into_the_views_text(device, tmp_path):
    data = stream(STREAM_BYTES)
    raw, shown, errors = tmp_path / "raw.bin", tmp_path / "shown.txt", tmp_path / "errors.txt"
    # The capture leaves once the device has been quiet for ten seconds. Its output goes through files: Wine's
    # helper processes may inherit pipes and hold them open.
    with open(errors, "wb") as error_file:
        process = subprocess.Popen([str(ROOT / "scripts" / "wine-run"), str(CLI), "capture", PORT_NAME, "--baud",
                                    "921600", "--seconds", str(RUN_LIMIT), "--idle", "10000", "--raw",
                                    windows_path(raw), "--utf8", "-o", windows_path(shown)],
                                   stdout=subprocess.DEVNULL, stderr=error_file)
    stop = threading.Event()
    writer = threading.Thread(target=feed, args=(device, data, stop), daemon=True)
    try:
        deadline = time.monotonic() + RUN_LIMIT
        while b"Successfully opened serial port" not in errors.read_bytes() and process.poll() is None:
            assert time.monotonic() < deadline, errors.read_bytes()
            time.sleep(0.1)
        started = time.monotonic()
        writer.start()
        process.wait(RUN_LIMIT)
        seconds = time.monotonic() - started
    finally:
        stop.set()
        if process.poll() is None:
            process.kill()
            process.wait(RUN_LIMIT)
        if writer.is_alive():
            writer.join(RUN_LIMIT)
    assert process.returncode == 0, errors.read_bytes()
    print(f"\n{len(data) / 1e6:.0f} MB through the virtual port and captured in {seconds:.1f} s, "
          "ten of them waiting for quiet")
    assert raw.read_bytes() == data

    replayed = cli("replay", "--utf8", windows_path(raw))
    assert replayed.returncode == 0, replayed.stderr
    view = shown.read_bytes()
    # Both keep the newest lines the store holds; where each starts depends on when it dropped lines.
    assert tail(replayed.stdout, COMPARED_LINES) == tail(view, COMPARED_LINES)
    line_length = data.index(b"line 00000001")
    assert b"line %08d " % (len(data) // line_length - 1) in view, "the view holds the stream's end"


def test_replay_hex_dumps_every_byte_and_refuses_what_it_cannot_honour(tmp_path):
    sample = tmp_path / "sample.bin"
    sample.write_bytes(b"AT+GMR\r\n\x00\xff" + bytes(range(0x10)))
    result = cli("replay", "--hex", "--block", "9", windows_path(sample))
    assert result.returncode == 0, result.stderr
    assert result.stdout.split(b"\r\n") == [
        b"00000000  41 54 2B 47 4D 52 0D 0A  00                       |AT+GMR...|",
        b"00000009  FF 00 01 02 03 04 05 06  07                       |.........|",
        b"00000012  08 09 0A 0B 0C 0D 0E 0F                           |........|",
        b""]
    for option in (["--html"], ["--visible"], ["--filter", "AT"], ["--time-format", "HH:mm>"], ["--stats"]):
        result = cli("replay", "--hex", *option, windows_path(sample))
        assert result.returncode == 2, option
        assert result.stdout == b""
        assert result.stderr.strip() == b"velto-cli replay: --hex cannot be combined with " + option[0].encode()
    missing = cli("replay", "--hex", windows_path(tmp_path / "missing.bin"))
    assert missing.returncode == 2
    assert missing.stderr.startswith(b"velto-cli replay: ") and missing.stderr.count(b"\n") == 1


def test_capture_refuses_a_raw_file_it_cannot_create_before_connecting():
    result = cli("capture", "\\\\.\\pipe\\velto-e2e-none", "--raw", "Z:\\no\\such\\folder\\raw.bin")
    assert result.returncode == 2
    assert result.stderr.decode("cp1252").splitlines() == [
        "velto-cli capture: cannot create raw file 'Z:\\no\\such\\folder\\raw.bin'"]
