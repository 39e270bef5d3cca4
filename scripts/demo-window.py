#!/usr/bin/env python3
"""The demo's second half: velto.exe itself on the simulated board. It starts the program on the virtual port
(already made by demo-steps), lets the board boot, types a command into the terminal, saves a screenshot of
the window and the session as HTML through the program's own Save dialog, and closes the program.

    demo-window.py BUILD PORT OUT_DIR CAPTURE_FILE"""
import subprocess
import sys
import threading
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import velto_gui  # noqa: E402

BOOT_MARKER = b"login:"  # the boot log's last line; the board is up when it is on the device's wire
PLACEMENT = "1,40,30,1240,760"


def main(build, port, out_dir, capture):
    build, out_dir = Path(build), Path(out_dir)
    wine = velto_gui.Wine(build / "wineprefix")
    wine.without_window_manager()
    wine.reg_set("Main", PLACEMENT)
    wine.update_check_done()
    wine.reg_set("TimeFormat", "HH:mm:ss:iii>")
    device_end = wine.prefix + f"/velto-ports/{port.lower()}/device"
    velto = velto_gui.Velto(wine, build / "bin")
    board = None
    picture, html, log = out_dir / "velto.png", out_dir / "velto.html", out_dir / "velto-session.log"
    try:
        velto.start("-p", port)
        velto.wait_open(port)
        # The Log button first, so the log holds the whole boot.
        for stale in (html, log):
            stale.unlink(missing_ok=True)
        velto.click_button(velto_gui.CMD_LOG)
        velto.answer_save_dialog(log, title=velto_gui.LOG_TITLE)
        board = subprocess.Popen([sys.executable, str(Path(__file__).resolve().parent / "demo-device.py"),
                                  device_end, str(capture)])
        velto_gui.wait_for(lambda: BOOT_MARKER in read(log), what="the board's boot log")
        velto.click_control(velto_gui.IDC_MAIN_VIEW)
        velto.type_text("status")
        velto.key("Return")
        velto_gui.wait_for(lambda: b"status" in read(log), what="the command's echo")
        velto.screenshot(picture)
        velto.click_button(velto_gui.CMD_SAVE)
        velto.answer_save_dialog(html, html=True)
        velto_gui.wait_for(html.exists, what="the saved page")
        print(f"demo: screenshot of the program: {picture}")
        print(f"demo: the session saved by the program as HTML: {html}")
        print(f"demo: and written to its log file: {log}")
    finally:
        velto.close()
        if board:
            board.kill()
            board.wait()


def read(path):
    return path.read_bytes() if path.exists() else b""


if __name__ == "__main__":
    main(*sys.argv[1:5])
