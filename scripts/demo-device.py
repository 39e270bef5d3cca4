#!/usr/bin/env python3
"""The simulated device of the demo: on the device end of a virtual serial port it plays a captured boot log
line by line, then echoes whatever the terminal sends, like a board's console. Stops by itself."""
import os
import select
import sys
import time

LIFETIME = 30  # seconds; the demo needs far less


def main(device_path, capture_path):
    fd = os.open(device_path, os.O_RDWR | os.O_NOCTTY)
    lines = open(capture_path, "rb").read().splitlines(keepends=True)
    deadline = time.monotonic() + LIFETIME
    time.sleep(1.5)  # the terminal opens the port after its first port scan
    for line in lines:
        os.write(fd, line)
        time.sleep(0.05)
    while time.monotonic() < deadline:
        ready, _, _ = select.select([fd], [], [], 0.2)
        if ready:
            try:
                data = os.read(fd, 4096)
            except OSError:
                break
            os.write(fd, data.replace(b"\r", b"\r\n"))
    os.close(fd)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
