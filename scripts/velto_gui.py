"""Drives velto.exe under Wine as a user would, for the GUI tests (tests/gui), the demo and the screenshot script.

It starts the program in the project's Wine prefix on the current X display, finds its main window, clicks
toolbar buttons and types with xdotool, reads the toolbar's states and texts through velto_window_driver.exe
(built with the tests), answers the save dialog by typing a path, reads the prefix's registry and photographs
the window. A simulated device sits on the other end of a virtual COM port (scripts/virtual-port).

Every wait has a limit; nothing waits a fixed time for something to happen."""
import importlib.util
import os
import re
import select
import subprocess
import tempfile
import threading
import time
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
SETTINGS_KEY = r"HKCU\Software\Brannick\Velto"
TITLE_PREFIX = "Velto - Serial Terminal"
LIMIT = 90  # seconds; bounds every wait of a run that has already gone wrong



def _built_ids():
    """The command and control ids as the build wrote them (velto_ids.py beside bin/), never copies: the build named
    by VELTO_BIN, else the default one. Every build of one source tree writes the same ids."""
    builds = [Path(os.environ["VELTO_BIN"]).parent] if os.environ.get("VELTO_BIN") else []
    builds.append(ROOT / "build")
    for build in builds:
        path = build / "velto_ids.py"
        if path.exists():
            spec = importlib.util.spec_from_file_location("velto_ids", path)
            module = importlib.util.module_from_spec(spec)
            spec.loader.exec_module(module)
            return module
    raise ImportError(f"no velto_ids.py in {', '.join(map(str, builds))}: configure the build first")


# Every id by its name in the program's headers: IDS.IDC_OK, IDS.CMD_SEND, ...
IDS = _built_ids()
CMD_OPTIONS, CMD_SAVE, CMD_LOG, CMD_CLEAR, CMD_SEARCH = (IDS.CMD_OPTIONS, IDS.CMD_SAVE, IDS.CMD_LOG, IDS.CMD_CLEAR,
                                                          IDS.CMD_SEARCH)
CMD_PLOT, CMD_HEX, CMD_SEND, CMD_PORT_FIRST = IDS.CMD_PLOT, IDS.CMD_HEX, IDS.CMD_SEND, IDS.CMD_PORT_FIRST
IDC_MAIN_HEX_VIEW, IDC_FILTER, IDC_MAIN_VIEW = IDS.IDC_MAIN_HEX_VIEW, IDS.IDC_FILTER, IDS.IDC_MAIN_VIEW
# The titles of the save dialogs: Save's, Log's, and the start both share.
SAVE_TITLE = "Please select file to save"
LOG_TITLE = "Please select file to log"
SAVE_DIALOGS = "Please select file"
TBSTATE_CHECKED, TBSTATE_PRESSED, TBSTATE_ENABLED, TBSTATE_INDETERMINATE = 0x1, 0x2, 0x4, 0x10


def wait_for(condition, limit=LIMIT, interval=0.05, what="condition"):
    """Looks at condition until it holds; its last answer, or an AssertionError after the limit."""
    deadline = time.monotonic() + limit
    while True:
        answer = condition()
        if answer:
            return answer
        if time.monotonic() > deadline:
            raise AssertionError(f"gave up waiting for {what} after {limit} s")
        time.sleep(interval)


def windows_path(path):
    """Wine sees the Unix root as drive Z:."""
    return "Z:" + str(path).replace("/", "\\")


class Wine:
    """Runs programs in one Wine prefix."""

    def __init__(self, prefix):
        self.prefix = str(prefix)
        self.env = dict(os.environ, VELTO_WINEPREFIX=self.prefix)
        self.log = subprocess.DEVNULL

    def run(self, *args, limit=LIMIT):
        """Output goes through files, not pipes: Wine's helper processes (the desktop, the device services) may
        inherit the output of whichever program started them and keep a pipe open for the whole session."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            process = subprocess.run([str(ROOT / "scripts" / "wine-run"), *map(str, args)], env=self.env,
                                     stdout=out, stderr=err, timeout=limit)
            out.seek(0)
            err.seek(0)
            return subprocess.CompletedProcess(process.args, process.returncode, out.read(), err.read())

    def start(self, *args):
        return subprocess.Popen([str(ROOT / "scripts" / "wine-run"), *map(str, args)], env=self.env,
                                stdout=self.log, stderr=self.log)

    def reg_values(self, key=SETTINGS_KEY, export=None):
        """The values of a registry key (not its subkeys) as {name: value}: numbers as int, strings as str.
        Read from an export, because "reg query" shows no 64-bit numbers."""
        export = Path(export or f"/tmp/velto-reg-{os.getpid()}.reg")
        export.unlink(missing_ok=True)
        self.run("regedit", "/E", windows_path(export), key.replace("HKCU", "HKEY_CURRENT_USER"))
        if not export.exists():
            return {}
        text = export.read_bytes().decode("utf-16")
        export.unlink()
        values, section = {}, None
        for line in text.replace("\\\r\n  ", "").splitlines():
            if line.startswith("["):
                section = line.strip("[]")
                continue
            if not section or section.lower() != key.replace("HKCU", "HKEY_CURRENT_USER").lower():
                continue
            match = re.match(r'^"((?:[^"\\]|\\.)*)"=(.*)$', line)
            if match:
                values[match.group(1).replace('\\\\', '\\')] = _reg_data(match.group(2))
        return values

    def reg_number(self, name, key=SETTINGS_KEY):
        value = self.reg_values(key).get(name)
        return value if isinstance(value, int) else None

    def without_window_manager(self, program="velto.exe"):
        """There is no window manager on the private display: Wine manages the program's windows itself (it draws
        their frames, and sizes them by their borders and grips) and does not wait for one to show up."""
        self.reg_set("Managed", "N", key=rf"HKCU\Software\Wine\AppDefaults\{program}\X11 Driver")

    def update_check_done(self):
        """Marks this week's update check as done, so the program asks no update server: this machine's network
        answers connections to any address, the update server's placeholder address among them."""
        self.reg_set("LastCheck", int(time.time()), "REG_QWORD")

    def reg_delete(self, key=SETTINGS_KEY):
        self.run("reg", "delete", key, "/f")

    def reg_set(self, name, data, kind="REG_SZ", key=SETTINGS_KEY):
        self.run("reg", "add", key, "/v", name, "/t", kind, "/d", str(data), "/f")


def _reg_data(text):
    """A value of a .reg export: strings, dwords and 64-bit numbers (hex(b)); other types stay as text."""
    if text.startswith('"'):
        return text[1:-1].replace('\\"', '"').replace('\\\\', '\\')
    if text.startswith("dword:"):
        return int(text[6:], 16)
    if text.startswith("hex(b):"):
        return int.from_bytes(bytes(int(b, 16) for b in text[7:].split(",") if b), "little")
    return text


class Velto:
    """One run of velto.exe and its main window."""

    def __init__(self, wine, bin_dir):
        self.wine = wine
        self.bin = Path(bin_dir)
        self.process = None

    def start(self, *args):
        self.process = self.wine.start(self.bin / "velto.exe", *args)
        wait_for(lambda: self.driver("window") is not None, what="the main window")
        return self

    def driver(self, *args):
        """velto_window_driver.exe's answer, or None when the window or item is not there."""
        result = self.wine.run(self.bin / "velto_window_driver.exe", *args)
        return result.stdout.decode("utf-8", "replace").strip() if result.returncode == 0 else None

    # What the window shows.
    def title(self):
        return self.driver("title")

    def state(self, command):
        answer = self.driver("state", command)
        return int(answer) if answer is not None else None

    def text(self, command):
        return self.driver("text", command)

    def button_count(self):
        return int(self.driver("count"))

    def port_buttons(self):
        """The port buttons in toolbar order, as (command, text)."""
        answer = self.driver("ports") or ""
        return [(int(command), text) for command, text in (line.split("\t", 1) for line in answer.splitlines())]

    def port_command(self, text):
        """The command of the port button showing text; None while there is none."""
        return next((command for command, shown in self.port_buttons() if shown == text), None)

    def button_index(self, command):
        """A button's place in the toolbar, counted from 0; None when there is none."""
        answer = self.driver("index", command)
        return int(answer) if answer is not None else None

    def pressed_button(self, text):
        """True while the port button showing text is pressed."""
        command = self.port_command(text)
        return command is not None and bool((self.state(command) or 0) & TBSTATE_PRESSED)

    def wait_open(self, name):
        """The serial port's button command once the port is open: its button pressed and the Options button
        naming the line's settings. Opening renames the Options button, which moves every button after it, so
        no click on the toolbar may come before."""
        command = wait_for(lambda: self.port_command(name), what=f"a button for {name}")
        wait_for(lambda: (self.state(command) or 0) & TBSTATE_PRESSED and " - " in (self.text(CMD_OPTIONS) or ""),
                 what=f"{name} open")
        return command

    def rect(self, command):
        answer = self.driver("rect", command)
        return tuple(map(int, answer.split())) if answer else None

    def child_rect(self, control):
        answer = self.driver("child", control)
        return tuple(map(int, answer.split())) if answer else None

    def control_text(self, control):
        return self.driver("control-text", control)

    def window_geometry(self):
        """x, y, width and height of the window, frame included."""
        left, top, right, bottom = map(int, self.driver("frame").split())
        return left, top, right - left, bottom - top

    # The main window's dialogs (options, search bar, tag), each found by a control of its own.
    def dialog_rect(self, control):
        """The frame of the open dialog that has the control, or None."""
        answer = self.driver("owned", control)
        return tuple(map(int, answer.split())) if answer else None

    def wait_dialog(self, control, is_open=True):
        if is_open:
            return wait_for(lambda: self.dialog_rect(control), what=f"the dialog with control {control}")
        return wait_for(lambda: self.dialog_rect(control) is None, what=f"the dialog with control {control} closed")

    def checked(self, control):
        answer = self.driver("checked", control)
        return int(answer) if answer is not None else None

    def combo_selection(self, control):
        """The selected entry's text, or None when nothing is selected."""
        return self.driver("combo", control)

    def list_items(self, control):
        """The items of a list view (the plot's legend) as tuples of their columns' texts; None while it is not
        there."""
        answer = self.driver("list", control)
        return [tuple(line.split("\t")) for line in answer.splitlines()] if answer is not None else None

    def dropped_list(self):
        """The screen rectangle of the combo box list that is dropped down, or None."""
        answer = self.driver("dropped")
        return tuple(map(int, answer.split())) if answer else None

    def type_into(self, control, text):
        """Clicks into a field (an editable combo box's too), selects what it holds and types over it."""
        self.click_control(control)
        self.key("ctrl+a")
        if text:
            self.type_text(text)
        else:
            self.key("BackSpace")
        wait_for(lambda: self.control_text(control) == text, what=f"{text!r} in control {control}")

    # What a user does.
    @staticmethod
    def _move_to(x, y):
        """xdotool's arguments that bring the pointer to a point. A synchronous move to where the pointer already
        is waits some 15 s for motion that never comes (xdotool 3.2016 over a window of the program), so the
        pointer is only moved when it is elsewhere."""
        answer = subprocess.run(["xdotool", "getmouselocation", "--shell"], capture_output=True, text=True,
                                check=True, timeout=LIMIT).stdout
        where = dict(line.split("=", 1) for line in answer.split() if "=" in line)
        if (where.get("X"), where.get("Y")) == (str(x), str(y)):
            return []
        return ["mousemove", "--sync", str(x), str(y)]

    def click_at(self, x, y, modifiers=()):
        command = ["xdotool", *self._move_to(x, y)]
        for key in modifiers:
            command += ["keydown", key]
        command += ["click", "1"]
        for key in modifiers:
            command += ["keyup", key]
        subprocess.run(command, check=True, timeout=LIMIT)

    def hover(self, x, y):
        """Rests the mouse at a point, arriving as a hand would: a tooltip waits for movement over its tool."""
        subprocess.run(["xdotool", *self._move_to(x - 2, y - 2), "mousemove", "--sync", str(x), str(y)], check=True,
                       timeout=LIMIT)

    def drag(self, start, end):
        subprocess.run(["xdotool", *self._move_to(*start), "mousedown", "1", "mousemove", "--sync", *map(str, end),
                        "mouseup", "1"], check=True, timeout=LIMIT)

    def click_button(self, command, modifiers=()):
        left, top, right, bottom = wait_for(lambda: self.rect(command), what=f"toolbar button {command}")
        self.click_at((left + right) // 2, (top + bottom) // 2, modifiers)

    def right_click_button(self, command):
        """Opens a button's context menu and waits until it is up."""
        left, top, right, bottom = wait_for(lambda: self.rect(command), what=f"toolbar button {command}")
        x, y = (left + right) // 2, (top + bottom) // 2
        subprocess.run(["xdotool", *self._move_to(x, y), "click", "3"], check=True, timeout=LIMIT)
        return wait_for(lambda: self.driver("popup"), what="the context menu")

    def choose_from_menu(self, position):
        """Picks the item at position (from 1, separators not counted) of the open pop-up menu by keyboard."""
        self.key(*(["Down"] * position), "Return")
        wait_for(lambda: self.driver("popup") is None, what="the menu closed")

    def click_control(self, control, x_from_right=None):
        left, top, right, bottom = wait_for(lambda: self.child_rect(control), what=f"control {control}")
        x = right - x_from_right if x_from_right is not None else (left + right) // 2
        self.click_at(x, (top + bottom) // 2)

    def type_text(self, text):
        subprocess.run(["xdotool", "type", "--delay", "30", text], check=True, timeout=LIMIT)

    def key(self, *keys):
        subprocess.run(["xdotool", "key", "--delay", "30", *keys], check=True, timeout=LIMIT)

    def answer_save_dialog(self, path, html=False, title=SAVE_TITLE, second_type=False):
        """Types a path into the save dialog that the last click opened, choosing the second entry of its types if
        asked (HTML for Save, raw bytes for Log). The title tells Save's dialog from Log's, so a click that hit the
        wrong button fails here, not later."""
        wait_for(lambda: self.driver("dialog", title), what=f"the dialog \"{title}\"")
        if html or second_type:
            # "Files of type": the second entry. Enter would already save, so back to the name field.
            self.key("alt+t", "Down")
        # The name field has the focus when the dialog opens; Alt+N goes back to it after the type list.
        self.key("alt+n", "ctrl+a")
        self.type_text(windows_path(path))
        self.key("Return")
        wait_for(lambda: not self._find_save_dialog(), what="the save dialog to close")

    def _find_save_dialog(self):
        return self.driver("dialog", SAVE_DIALOGS)

    def screenshot(self, path):
        x, y, width, height = self.window_geometry()
        subprocess.run(["import", "-window", "root", "-crop", f"{width}x{height}+{x}+{y}", "+repage", str(path)],
                       check=True, timeout=LIMIT)
        return path

    def screenshot_area(self, box, path):
        """Photographs a screen rectangle (left, top, right, bottom); the picture's pixels as bytes."""
        left, top, right, bottom = box
        subprocess.run(["import", "-window", "root", "-crop", f"{right - left}x{bottom - top}+{left}+{top}",
                        "+repage", str(path)], check=True, timeout=LIMIT)
        return subprocess.run(["convert", str(path), "rgb:-"], capture_output=True, check=True,
                              timeout=LIMIT).stdout

    def announce_arrival(self, port):
        """Broadcasts the port's arrival as Windows would. Returns the driver's process: its first line, "sent",
        comes once every window has handled the notification; its second, the milliseconds until the program's
        title showed the port ("timeout" when it did not within a minute)."""
        return subprocess.Popen([str(ROOT / "scripts" / "wine-run"), str(self.bin / "velto_window_driver.exe"),
                                 "arrival", port, " - " + port], env=self.wine.env, stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL, text=True)

    def close(self):
        """As the close box does; waits until the program has ended."""
        if not self.process:
            return
        if self.process.poll() is None:
            self.driver("close")
            try:
                self.process.wait(LIMIT)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(LIMIT)
        self.process = None


class VirtualDevice:
    """The device end of a virtual serial port: collects what the program sends and sends what it is told."""

    def __init__(self, wine, port):
        self.wine, self.port = wine, port
        self.received = b""
        self.fd = None
        self.lock = threading.Lock()

    def plug(self):
        created = self._virtual_port("create")
        if created.returncode != 0:
            raise AssertionError(created.stderr.decode())
        self.fd = os.open(created.stdout.decode().strip().splitlines()[-1], os.O_RDWR | os.O_NOCTTY)
        self.stopping = False
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()
        return self

    def unplug(self):
        if self.fd is None:
            return
        self.stopping = True
        self.thread.join(10)
        os.close(self.fd)
        self.fd = None
        self._virtual_port("remove")

    def send(self, data):
        os.write(self.fd, data)

    def wait_received(self, data, limit=LIMIT):
        wait_for(lambda: data in self.received, limit, what=f"{data!r} at the device")

    def stty(self):
        result = self._virtual_port("stty")
        return result.stdout.decode()

    def _virtual_port(self, command):
        return subprocess.run(["bash", str(ROOT / "scripts" / "virtual-port"), command, self.port, "--register",
                               "--prefix", self.wine.prefix], capture_output=True, timeout=LIMIT)

    def _read(self):
        while not self.stopping:
            ready, _, _ = select.select([self.fd], [], [], 0.1)
            if not ready:
                continue
            try:
                data = os.read(self.fd, 4096)
            except OSError:
                return
            with self.lock:
                self.received += data


class Release:
    """The release's files: dist holds what `make release` wrote, update what the same packing makes of the
    programs built as version 1.40."""

    def __init__(self, dist, update, numbers):
        self.dist = dist
        self.update = update
        self.numbers = numbers  # (major, minor)
        self.version = f"{numbers[0]}.{numbers[1]:02d}"  # as the title and the file names write it

    @classmethod
    def make(cls, build, folder):
        dist, update = folder / "dist", folder / "update"
        done = subprocess.run(["make", "-C", str(ROOT), "release", f"BUILD={build}", f"DIST={dist}"],
                              capture_output=True, text=True, timeout=600)
        assert done.returncode == 0, done.stdout + done.stderr
        done = subprocess.run([str(ROOT / "scripts" / "release"), str(update),
                               f"velto.exe={build / 'bin' / 'velto-1.40.exe'}",
                               f"velto-cli.exe={build / 'bin' / 'velto-cli-1.40.exe'}"],
                              capture_output=True, text=True, timeout=600)
        assert done.returncode == 0, done.stdout + done.stderr
        return cls(dist, update, project_version())

    def archive(self, update=False):
        folder, version = (self.update, "1.40") if update else (self.dist, self.version)
        return folder / f"velto-{version}-win32.zip"

    def installer(self):
        return self.dist / f"velto-{self.version}-win32.msi"

    def entries(self, update=False):
        """{name: bytes} of the archive."""
        with zipfile.ZipFile(self.archive(update)) as archive:
            return {name: archive.read(name) for name in archive.namelist()}

    def unpack(self, folder, update=False):
        """The archive as a user unpacks it into a folder of its own."""
        folder.mkdir(parents=True, exist_ok=True)
        for name, data in self.entries(update).items():
            (folder / name).write_bytes(data)
        return folder


def project_version():
    """(major, minor): the build's one version, as the top-level CMakeLists.txt states it."""
    text = (ROOT / "CMakeLists.txt").read_text()
    return tuple(int(n) for n in re.search(r"project\(Velto VERSION (\d+)\.(\d+)", text).groups())
