"""Every byte and every character kept, as a user meets it: the Hex button and Ctrl+Shift+H, the hex view's search
and save, the raw log against the device's bytes and the text the view shows, text files in UTF-8 or the ANSI code
page as the settings say, and a log whose writes fail."""
import os
import subprocess

from conftest import BIN, PORT
from velto_gui import (CMD_HEX, CMD_LOG, CMD_SAVE, IDC_MAIN_HEX_VIEW, IDC_MAIN_VIEW, IDS, LIMIT, LOG_TITLE, ROOT,
                       TBSTATE_CHECKED, TBSTATE_PRESSED, wait_for, windows_path)

SEARCH_TEXT = IDS.IDC_SEARCH_TEXT
HEX_SAVE_TITLE = "Please select file to save the hex dump"
BOM = b"\xef\xbb\xbf"
# Cyrillic, Greek, CJK, an emoji beyond the first plane and braille.
SCRIPTS = "Привет Καλημέρα 中文 😀 ⠋⠙"
# Every byte value but the cursor's, each followed by a letter, so no two of them make UTF-8 together and the view's
# text does not depend on how the port's reads split them.
EVERY_VALUE = b"".join(bytes([value]) + b"x" for value in range(256) if value not in (0x08, 0x0A, 0x0D, 0x1B))


def shown(program, control):
    return program.driver("visible", control) == "1"


def selected_pixels(program, path):
    """How many pixels of the hex view show the selection's background."""
    pixels = program.screenshot_area(program.child_rect(IDC_MAIN_HEX_VIEW), path)
    return sum(1 for pixel in zip(pixels[0::3], pixels[1::3], pixels[2::3]) if pixel == (0x00, 0x5A, 0xC8))


def open_port(program):
    program.start("-p", PORT)
    return program.wait_open(PORT)


def start_log(program, path, raw=False):
    program.click_button(CMD_LOG)
    program.answer_save_dialog(path, title=LOG_TITLE, second_type=raw)


def stop_log(program):
    program.click_button(CMD_LOG)
    wait_for(lambda: program.text(CMD_LOG) == "Write to Log File", what="the log stopped")


def save_text(program, path, html=False):
    program.click_button(CMD_SAVE)
    program.answer_save_dialog(path, html=html)
    return wait_for(lambda: path.exists() and path.stat().st_size and path.read_bytes(), what=f"{path.name} saved")


def replay(*args):
    result = subprocess.run([str(ROOT / "scripts" / "wine-run"), str(BIN / "velto-cli.exe"), "replay", *args],
                            capture_output=True, timeout=LIMIT)
    assert result.returncode == 0, result.stderr
    return result.stdout


def test_the_hex_button_and_ctrl_shift_h_switch_views_and_the_hex_view_searches_and_saves(program, device,
                                                                                          tmp_path):
    open_port(program)
    device.send(b"AT+GMR\r\n\x00\xff\x1b[31mred\x1b[0m\r\n")
    program.click_button(CMD_HEX)
    wait_for(lambda: shown(program, IDC_MAIN_HEX_VIEW) and not shown(program, IDC_MAIN_VIEW), what="the hex view")
    assert (program.state(CMD_HEX) or 0) & TBSTATE_CHECKED

    # The search bar searches the bytes: hex pairs find them wherever the reads split them.
    program.click_control(IDC_MAIN_HEX_VIEW)
    program.key("ctrl+f")
    program.wait_dialog(SEARCH_TEXT)
    program.type_text("00 ff 1b")
    wait_for(lambda: selected_pixels(program, tmp_path / "hex.png") > 0, what="the found bytes selected")
    program.key("Escape")
    program.wait_dialog(SEARCH_TEXT, is_open=False)

    dump = tmp_path / "dump.txt"
    program.click_button(CMD_SAVE)
    program.answer_save_dialog(dump, title=HEX_SAVE_TITLE)
    text = wait_for(lambda: dump.exists() and dump.read_bytes(), what="the dump").decode("ascii")
    hexes = " ".join(" ".join(line[10:59].split()) for line in text.splitlines())
    assert "41 54 2B 47 4D 52 0D 0A 00 FF 1B 5B 33 31 6D 72 65 64" in hexes, text
    assert "|AT+GMR" in text

    program.click_control(IDC_MAIN_HEX_VIEW)
    program.key("ctrl+shift+h")
    wait_for(lambda: shown(program, IDC_MAIN_VIEW) and not shown(program, IDC_MAIN_HEX_VIEW), what="the terminal view")
    assert not (program.state(CMD_HEX) or 0) & TBSTATE_CHECKED
    program.key("ctrl+shift+h")
    wait_for(lambda: shown(program, IDC_MAIN_HEX_VIEW), what="the hex view again, from the terminal view's keys")
    assert b"\x08" not in device.received, "the switch sends nothing to the device"


def test_a_raw_log_holds_the_devices_bytes_and_replays_into_the_saved_text(program, device, tmp_path):
    open_port(program)
    raw = tmp_path / "session.bin"
    start_log(program, raw, raw=True)
    sent = b"".join(b"frame %d \x1b[3%dm" % (n, n % 8) + EVERY_VALUE + b"\x1b[0m\r\n" for n in range(40))
    for at in range(0, len(sent), 700):
        device.send(sent[at:at + 700])
    wait_for(lambda: raw.exists() and raw.stat().st_size == len(sent), what="every byte in the raw log")
    stop_log(program)
    assert raw.read_bytes() == sent
    saved = save_text(program, tmp_path / "view.txt")
    assert saved == BOM + replay("--utf8", windows_path(raw))


def test_utf8_text_files_keep_every_character_and_html_writes_references(program, device, tmp_path):
    open_port(program)
    log = tmp_path / "session.log"
    start_log(program, log)
    device.send((SCRIPTS + "\r\n").encode())
    wait_for(lambda: log.exists() and b"\xe2\xa0\x99" in log.read_bytes(), what="the line in the log")
    stop_log(program)
    assert log.read_bytes() == BOM + (SCRIPTS + "\r\n").encode()
    assert save_text(program, tmp_path / "view.txt").startswith(BOM + SCRIPTS.encode() + b"\r\n")
    page = save_text(program, tmp_path / "view.html", html=True)
    assert b"&#x41F;&#x440;&#x438;&#x432;&#x435;&#x442; &#x39A;" in page and b"&#x1F600;" in page
    assert max(page) < 0x80, "the page is ASCII"


def test_settings_from_before_the_choice_keep_the_ansi_code_page(program, device, wine, tmp_path):
    wine.reg_set("Flags", 1, "REG_DWORD")
    open_port(program)
    log = tmp_path / "session.log"
    start_log(program, log)
    device.send("café Привет\r\n".encode())
    wait_for(lambda: log.exists() and log.stat().st_size, what="the line in the log")
    stop_log(program)
    assert log.read_bytes() == b"caf\xe9 ??????\r\n"  # the prefix's code page, 1252
    assert save_text(program, tmp_path / "view.txt") == b"caf\xe9 ??????\r\n\r\n"
    program.close()
    assert not wine.reg_values()["Flags"] & 0x40, "the choice stays as it was"


def test_a_log_whose_writes_fail_stops_releases_its_button_and_says_so(program, device, tmp_path):
    # A file whose every write fails as on a full disk.
    full = tmp_path / "full.bin"
    os.symlink("/dev/full", full)
    open_port(program)
    start_log(program, full, raw=True)
    wait_for(lambda: (program.state(CMD_LOG) or 0) & TBSTATE_PRESSED, what="the log running")
    device.send(b"the first block fails\r\n")
    wait_for(lambda: program.text(CMD_LOG) == "Write to Log File", what="the log stopped")
    assert not (program.state(CMD_LOG) or 0) & TBSTATE_PRESSED
    assert program.driver("balloon") == windows_path(full)
    # The program goes on: the port stays open and what comes next is shown and logged nowhere.
    device.send(b"later\r\n")
    saved = save_text(program, tmp_path / "after.txt")
    assert b"the first block fails\r\nlater\r\n" in saved
    assert program.text(CMD_LOG) == "Write to Log File"
