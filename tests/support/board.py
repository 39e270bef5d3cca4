"""A simulated board for the end-to-end tests: a boot banner, a login with a password, a shell prompt and a
few commands, over whatever byte stream the test connects it to (the device end of a virtual serial port, a
loopback TCP connection). It boots when the test powers it on, answers line by line, and records every byte
it received."""

import threading

BANNER = (b"U-Boot 2024.01 (Jan 08 2024)\r\n"
          b"Starting kernel ...\r\n"
          b"[    1.234] \x1b[32mOK\x1b[0m Reached target Multi-User System\r\n"
          b"\r\n")
LOGIN = b"board login: "
PROMPT = b"root@board:~# "
PASSWORD = b"secret"


class Board:
    def __init__(self, write):
        self.write = write
        self.lock = threading.Lock()
        self.received = b""
        self.pending = b""
        self.state = "off"
        self.rebooted = threading.Event()
        self.on_reboot = None  # called (on the reading thread) after "Rebooting..." went out

    def power_on(self):
        with self.lock:
            self.state = "login"
            self.write(BANNER + LOGIN)

    def feed(self, data):
        """Whatever arrived from the host, in any pieces; a line ends at CR or LF."""
        with self.lock:
            self.received += data
            self.pending += data
            while True:
                ends = [i for i in (self.pending.find(b"\r"), self.pending.find(b"\n")) if i >= 0]
                if not ends:
                    break
                line, self.pending = self.pending[:min(ends)], self.pending[min(ends) + 1:]
                if line == b"" and self.state != "login":
                    continue  # the LF of a CR LF
                self.answer(line)

    def answer(self, line):
        if self.state == "login":
            self.write(line + b"\r\n" + (b"Password: " if line else LOGIN))
            if line:
                self.state = "password"
        elif self.state == "password":
            self.state = "shell" if line == PASSWORD else "login"
            self.write(b"\r\n" + (PROMPT if self.state == "shell" else b"Login incorrect\r\n" + LOGIN))
        elif self.state == "shell":
            self.command(line)

    def command(self, line):
        self.write(line + b"\r\n")
        if line == b"uname -a":
            self.write(b"Linux board 6.1.0 #1 SMP armv7l GNU/Linux\r\n" + PROMPT)
        elif line == b"dmesg":
            self.write(b"[    0.000] Booting Linux\r\n[    2.345] usb 1-1: new device\r\n" + PROMPT)
        elif line == b"reboot":
            self.write(b"Rebooting...\r\n")
            self.state = "off"
            if self.on_reboot:
                threading.Thread(target=self.on_reboot, daemon=True).start()
        elif line:
            self.write(b"sh: " + line.split()[0] + b": not found\r\n" + PROMPT)
        else:
            self.write(PROMPT)
