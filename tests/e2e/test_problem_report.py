"""The problem report end to end under Wine: a helper program crashes on command with the diagnostics object in
place; the tests look at the crash files it leaves, drive its report dialog with window messages, and watch
what reaches a loopback report server. Every wait has a limit."""
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time
import uuid
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "support"))
from loopback_http import LoopbackHttpServer  # noqa: E402

BIN = Path(os.environ.get("VELTO_BIN", ROOT / "build" / "bin"))
HELPER = BIN / "velto_crash_helper.exe"
WINE_RUN = str(ROOT / "scripts" / "wine-run")
SCREENSHOTS = BIN.parent / "screenshots"
RUN_LIMIT = 180
ACCESS_VIOLATION = 0xC0000005
STACK_OVERFLOW = 0xC00000FD
REPORT_PATH = "/services/quarle/report.php"
DELIMITER = b"-------------------------------1234567890123"
CONTENT_TYPE = "multipart/form-data; boundary=-----------------------------1234567890123"


def run(*args, timeout=RUN_LIMIT):
    """Runs a program in the prefix. Its output goes through files, not pipes: Wine's desktop and services, when
    this program is the one that starts them, inherit its output and outlive it, and a pipe would stay open."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        done = subprocess.run([WINE_RUN, *map(str, args)], stdout=out, stderr=err, timeout=timeout)
        out.seek(0)
        err.seek(0)
        return subprocess.CompletedProcess(done.args, done.returncode, out.read(), err.read())


def exit_code(code):
    """What the Unix side sees of a Windows exit code: its low byte."""
    return code & 0xFF


def lines(data):
    return dict(line.split("=", 1) for line in data.decode("cp1252").splitlines() if "=" in line)


class SilentListener:
    """A loopback port that counts the connections made to it and answers none."""

    def __init__(self):
        self.socket = socket.create_server(("127.0.0.1", 0))
        self.socket.settimeout(0.2)
        self.port = self.socket.getsockname()[1]
        self.connections = 0
        self.stopping = threading.Event()
        self.thread = threading.Thread(target=self.serve, daemon=True)
        self.thread.start()

    def serve(self):
        while not self.stopping.is_set():
            try:
                peer, _ = self.socket.accept()
            except OSError:
                continue
            self.connections += 1
            peer.close()

    def close(self):
        self.stopping.set()
        self.thread.join(10)
        self.socket.close()


@pytest.fixture(scope="module", autouse=True)
def prefix():
    if not HELPER.exists():
        pytest.fail(f"{HELPER} is not built")
    # Wine ignores SEM_NOGPFAULTERRORBOX and starts its debugger for a crash left to the system; without its crash
    # dialog the debugger prints its report and ends the process, as Windows' own handling would.
    done = run("reg", "add", r"HKCU\Software\Wine\WineDbg", "/v", "ShowCrashDialog", "/t", "REG_DWORD", "/d", "0",
               "/f")
    assert done.returncode == 0, done.stderr


@pytest.fixture(scope="module")
def temp_folder(prefix):
    """The user's temporary folder of the prefix, as a Unix path."""
    echoed = run("cmd", "/c", "echo", "%TEMP%").stdout.decode().strip()
    unix = run("winepath", "-u", echoed).stdout.decode().strip()
    assert unix, echoed
    return Path(unix)


@pytest.fixture
def program(tmp_path):
    """The helper copied into a folder of its own, under a name of its own."""
    path = tmp_path / f"app{uuid.uuid4().hex[:8]}.exe"
    shutil.copy(HELPER, path)
    return path


def crash_files(base):
    return Path(f"{base}_Debug.txt"), Path(f"{base}_Debug.dmp")


def report_text(path):
    return path.read_bytes().decode("cp1252")


@pytest.mark.parametrize("kind, first_line, function", [
    ("write", "Access Violation [0xC0000005] at 0x", "CrashByWriting"),
    ("divide", "Integer Divide by Zero [0xC0000094] at 0x", "CrashByDividing"),
    ("overflow", "Stack Overflow [0xC00000FD] at 0x", "CrashByRecursing"),
    ("cxx", "Microsoft C++ Exception [0xE06D7363] at 0x", "CrashByThrowing"),
])
def test_crash_without_report_host_leaves_files_beside_the_program_and_the_crash_to_the_system(program, kind,
                                                                                             first_line, function):
    listener = SilentListener()
    try:
        done = run(program, "crash", kind)
    finally:
        listener.close()
    text, dump = crash_files(program.with_suffix(""))
    assert text.exists() and dump.exists(), done.stderr
    report = report_text(text)
    assert report.startswith(first_line), report[:200]
    assert "\r\n" in report and "\n" not in report.replace("\r\n", "")
    assert "\r\nStack:\r\n" in report
    assert function in report.split("\r\nStack:\r\n")[1].split("\r\n\r\n")[0], report
    assert ", Wine\r\n" in report
    for section in ("\r\nEAX=0x", "\r\nProcess Uptime: ", "\r\nModuleList:\r\n", "\r\nThreadList:\r\n"):
        assert section in report
    assert dump.read_bytes()[:4] == b"MDMP"
    # The system's own handling took the crash: Wine's debugger printed its report, and no dialog waited.
    assert b"Unhandled exception" in done.stdout + done.stderr
    assert listener.connections == 0


def test_access_violation_report_begins_with_the_exception_and_the_location(program):
    run(program, "crash", "write", "--log", "opened COM7", "--thread-name", "reader")
    text = report_text(crash_files(program.with_suffix(""))[0])
    report = text.split("\r\n")
    first = re.fullmatch(r"Access Violation \[0xC0000005\] at (0x[0-9A-F]{8}) in Thread \d+\.", report[0])
    assert first, report[0]
    assert report[1] == "Write to location 0x00000010."
    assert f", EIP={first.group(1)}, " in text, "the address is where the crashing instruction is"
    assert "Log:" in report and "opened COM7" in report
    # The crashing thread's name, from the user slot of its information block. Wine gives the dump thread's own
    # block for the crashing thread's FS selector, so here the name comes by asking for the thread's block.
    threads = text.split("\r\nThreadList:\r\n")[1].split("\r\n")
    thread_id = re.search(r"in Thread (\d+)\.", report[0]).group(1)
    crashing = [line for line in threads if line.startswith(thread_id + " ")]
    assert len(crashing) == 1 and crashing[0].endswith(" reader"), threads


def test_unwritable_program_folder_sends_the_files_to_the_temporary_folder(program, temp_folder):
    folder = program.parent
    os.chmod(folder, 0o555)
    immutable = False
    if os.access(folder, os.W_OK):  # root writes anywhere a mode forbids
        immutable = subprocess.run(["chattr", "+i", str(folder)], capture_output=True).returncode == 0
    try:
        probe = folder / "probe"
        try:
            probe.touch()
            probe.unlink()
            pytest.skip("no way to make a folder unwritable here")
        except OSError:
            pass
        run(program, "crash", "write")
        assert list(folder.iterdir()) == [program]
    finally:
        if immutable:
            subprocess.run(["chattr", "-i", str(folder)])
        os.chmod(folder, 0o755)
    text, dump = crash_files(temp_folder / program.stem)
    try:
        assert text.exists() and dump.exists()
        assert report_text(text).split("\r\n")[1] == "Write to location 0x00000010."
    finally:
        text.unlink(missing_ok=True)
        dump.unlink(missing_ok=True)


class Dialog:
    """A crashed helper showing its report dialog, and the driver that works it. The driver finds this helper's
    dialog by the program name its files text holds; a helper left running is stopped at the end."""

    def __init__(self, program, port, kind="write", *options):
        self.program = program
        self.process = subprocess.Popen([WINE_RUN, str(program), "crash", kind, "--report", f"127.0.0.1:{port}",
                                         *options], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def __enter__(self):
        return self

    def __exit__(self, *failure):
        if self.process.poll() is None:
            self.process.kill()
            self.process.communicate()

    def drive(self, *args):
        done = run(HELPER, "drive", "--program", self.program.stem + "_Debug", *args)
        assert done.returncode == 0, f"no report dialog: {done.stderr!r}"
        return lines(done.stdout)

    def wait(self):
        self.process.communicate(timeout=RUN_LIMIT)
        return self.process.returncode


def screenshot(rect, name):
    if not shutil.which("import") or not os.environ.get("DISPLAY"):
        return
    x, y, width, height = rect.split(",")
    SCREENSHOTS.mkdir(parents=True, exist_ok=True)
    subprocess.run(["import", "-window", "root", "-crop", f"{width}x{height}+{x}+{y}", "+repage",
                    str(SCREENSHOTS / name)], capture_output=True, timeout=60)


def test_dialog_limits_the_description_and_dont_send_uploads_nothing(program):
    listener = SilentListener()
    try:
        with Dialog(program, listener.port) as dialog:
            shown = dialog.drive("--type", "3000", "--email", "someone@example.org")
            screenshot(shown["rect"], "report-dialog.png")
            assert shown["caption"] == "Velto"
            assert shown["title"] == "Velto has stopped working."
            assert shown["description_length"] == "2047"
            assert shown["email_length"] == str(len("someone@example.org"))
            assert shown["links"] == "2", "the request and the files as link controls"
            text, dump = crash_files(program.with_suffix(""))
            assert shown["files"] == (f"The files Z:{text} and Z:{dump} will be send. They do not contain any "
                                      "personal information.").replace("/", "\\")
            dialog.drive("--press", "cancel")
            assert dialog.wait() == exit_code(ACCESS_VIOLATION), "the process ends quietly after the dialog"
    finally:
        listener.close()
    assert listener.connections == 0
    assert text.exists() and dump.exists()


def test_close_box_is_dont_send_also_for_a_report_built_beside_an_overflowed_stack(program):
    listener = SilentListener()
    try:
        with Dialog(program, listener.port, "overflow") as dialog:
            dialog.drive("--press", "close")
            assert dialog.wait() == exit_code(STACK_OVERFLOW)
    finally:
        listener.close()
    assert listener.connections == 0


def test_a_second_crash_inside_the_report_goes_to_the_system(program):
    listener = SilentListener()
    try:
        done = run(program, "crash", "twice", "--report", f"127.0.0.1:{listener.port}")
    finally:
        listener.close()
    # Nobody answered the dialog: the second crash ended the process through the system's handling (Wine's
    # debugger reports it), and the report on disk is the first crash's.
    assert b"Unhandled exception: page fault on write access to 0x00000020" in done.stdout + done.stderr
    assert report_text(crash_files(program.with_suffix(""))[0]).split("\r\n")[1] == "Write to location 0x00000010."
    assert listener.connections == 0


def form_field(name, value):
    return DELIMITER + b'\r\nContent-Disposition: form-data; name="' + name + b'"\r\n\r\n' + value + b"\r\n"


def form_file(name, path):
    return (DELIMITER + b'\r\nContent-Disposition: form-data; name="' + name + b'"; filename="' +
            path.name.encode() + b'"\r\nContent-Type: application/octet-stream\r\n\r\n' + path.read_bytes() +
            b"\r\n")


def test_send_problem_report_posts_the_form_once(program):
    server = LoopbackHttpServer()
    server.route(REPORT_PATH, body=b"received")
    try:
        with Dialog(program, server.port) as dialog:
            dialog.drive("--type", "5", "--email", "someone@example.org", "--press", "send")
            assert dialog.wait() == exit_code(ACCESS_VIOLATION)
        seen = server.seen()
    finally:
        server.close()
    assert len(seen) == 1
    request = seen[0]
    assert (request.method, request.path) == ("POST", REPORT_PATH)
    assert request.header("Content-Type") == CONTENT_TYPE
    assert int(request.header("Content-Length")) == len(request.body)
    assert request.header("Authorization") is None
    identifier = re.search(rb'name="g"\r\n\r\n([^\r]*)\r\n', request.body).group(1)
    assert re.fullmatch(rb"[0-9A-F]{4}(-[0-9A-F]{4}){3}", identifier), identifier
    # Four little-endian words: byte 6 names the purpose (2, the problem report), byte 7 checks the others.
    id_bytes = b"".join(int(word, 16).to_bytes(2, "little") for word in identifier.split(b"-"))
    assert id_bytes[0] == 16 and id_bytes[6] == 2, identifier
    check = 0
    for byte in id_bytes[:7]:
        check ^= ~byte & 0xFF
    assert id_bytes[7] == check, identifier
    text, dump = crash_files(program.with_suffix(""))
    assert request.body == (form_field(b"a", b"r") + form_field(b"p", b"Velto") + form_field(b"s", b"") +
                            form_field(b"v", b"1.0.0.0") + form_field(b"g", identifier) +
                            form_field(b"e", b"someone@example.org") + form_field(b"x", b"xxxxx") +
                            form_file(b"d", dump) + form_file(b"t", text) + DELIMITER + b"--\r\n")
    record = BIN.parent / "test-reports" / "report-upload.txt"
    record.parent.mkdir(parents=True, exist_ok=True)
    head = request.body.split(b'name="d"')[0]
    record.write_bytes(f"{request.method} {request.path}\n".encode() +
                       b"".join(f"{k}: {v}\n".encode() for k, v in request.headers) + b"\n" + head +
                       f"[... the dump ({dump.stat().st_size} bytes) and the text report ({text.stat().st_size} bytes) "
                       f"as parts d and t, then the closing line; {len(request.body)} bytes in all]\n".encode())


@pytest.mark.parametrize("misbehaviour, limit", [
    # Takes the report and never answers: the upload is given up on after the helper's 5 s.
    ({"silent": True}, "5000"),
    # Answers without end: the answer is read to 64 KiB and no further, well within the usual minute.
    ({"endless": True}, str(60000)),
])
def test_after_send_the_process_ends_whatever_the_server_does(program, misbehaviour, limit):
    server = LoopbackHttpServer()
    server.route(REPORT_PATH, body=b"received ", **misbehaviour)
    try:
        with Dialog(program, server.port, "write", "--upload-limit", limit) as dialog:
            dialog.drive("--type", "5", "--press", "send")
            sent = time.monotonic()
            # Before the bounds the process waited for the silent server's own minute, or read the endless
            # answer into memory for minutes.
            dialog.process.communicate(timeout=40)
            assert dialog.process.returncode == exit_code(ACCESS_VIOLATION)
            print(f"ended {time.monotonic() - sent:.1f} s after Send")
        assert [r.path for r in server.seen()] == [REPORT_PATH]
    finally:
        server.close()


PROGRAM_KEY = r"HKCU\Software\Brannick\Velto"


@pytest.fixture
def report_server():
    """A loopback report server that velto.exe is pointed at through its key's "ReportServer" value; the value
    (and the key, when the test made it) goes again afterwards."""
    server = LoopbackHttpServer()
    server.route(REPORT_PATH, body=b"received")
    key_existed = run("reg", "query", PROGRAM_KEY).returncode == 0
    added = run("reg", "add", PROGRAM_KEY, "/v", "ReportServer", "/t", "REG_SZ", "/d", f"127.0.0.1:{server.port}",
                "/f")
    assert added.returncode == 0, added.stderr
    # This week's update check done, so the program asks no update server (this machine answers any address).
    run("reg", "add", PROGRAM_KEY, "/v", "LastCheck", "/t", "REG_QWORD", "/d", str(int(time.time())), "/f")
    try:
        yield server
    finally:
        if key_existed:
            run("reg", "delete", PROGRAM_KEY, "/v", "ReportServer", "/f")
            run("reg", "delete", PROGRAM_KEY, "/v", "LastCheck", "/f")
        else:
            run("reg", "delete", PROGRAM_KEY, "/f")
        server.close()


def test_the_program_reports_its_own_crash(tmp_path, report_server):
    """velto.exe itself: a thread started in it at an address without code crashes it; the files appear beside
    it, its report dialog comes up, and "Send Problem Report" posts the report to the configured path once."""
    program = tmp_path / f"velto{uuid.uuid4().hex[:8]}.exe"
    shutil.copy(BIN / "velto.exe", program)
    process = subprocess.Popen([WINE_RUN, str(program)], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        done = None
        for _ in range(RUN_LIMIT):  # the window shows within a second or two; each look waits for its answer
            done = run(HELPER, "inject", program.name)
            if done.returncode == 0:
                break
            assert process.poll() is None, "the program ended by itself"
        assert done.returncode == 0, "the main window did not appear"
        driven = run(HELPER, "drive", "--program", program.stem + "_Debug", "--type", "3", "--press", "send")
        assert driven.returncode == 0, "no report dialog"
        assert lines(driven.stdout)["title"] == "Velto has stopped working."
        process.communicate(timeout=RUN_LIMIT)
        assert process.returncode == exit_code(ACCESS_VIOLATION)
    finally:
        if process.poll() is None:
            process.kill()
            process.communicate()
    text, dump = crash_files(program.with_suffix(""))
    report = report_text(text)
    assert report.startswith("Access Violation [0xC0000005] at 0x00000010 in Thread "), report[:200]
    seen = report_server.seen()
    assert len(seen) == 1
    request = seen[0]
    assert (request.method, request.path) == ("POST", REPORT_PATH)
    assert request.body.startswith(form_field(b"a", b"r") + form_field(b"p", b"Velto") + form_field(b"s", b""))
    assert form_field(b"x", b"xxx") + form_file(b"d", dump) + form_file(b"t", text) in request.body
