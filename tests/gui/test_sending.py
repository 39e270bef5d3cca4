"""Sending from the running program, as the device at the end of the virtual port receives it: Enter in the view
and in the send bar for each line end, escapes and hex bytes, a faulty line that is not sent, the local echo in the
view, the log and the saved file, the history across a restart, a file with its line delay and its cancel, and the
question before a paste of several lines."""
from conftest import PORT
from test_main_window import start_log
from velto_gui import (CMD_OPTIONS, CMD_SAVE, CMD_SEND, IDC_MAIN_VIEW, IDS, SETTINGS_KEY, TBSTATE_CHECKED, wait_for,
                       windows_path)

# Send bar
SEND_HEX, SEND_TEXT, SEND_BUTTON, SEND_FILE, SEND_PROGRESS, SEND_STATUS, SEND_STOP, SEND_BAR = (
    IDS.IDC_SEND_HEX, IDS.IDC_SEND_TEXT, IDS.IDC_SEND_BUTTON, IDS.IDC_SEND_FILE, IDS.IDC_SEND_PROGRESS,
    IDS.IDC_SEND_STATUS, IDS.IDC_SEND_STOP, IDS.IDC_MAIN_SEND_BAR)
# Options dialog
SEND_DELAY, OK = IDS.IDC_OPTIONS_SEND_DELAY, IDS.IDC_OK
ENTER_SENDS, LINE_DELAY, LOCAL_ECHO, ASK_PASTE = (IDS.IDC_OPTIONS_ENTER_SENDS, IDS.IDC_OPTIONS_LINE_DELAY,
                                                  IDS.IDC_OPTIONS_LOCAL_ECHO, IDS.IDC_OPTIONS_ASK_PASTE)
# Paste question
PASTE_TEXT, PASTE_DONT_ASK, PASTE_YES, PASTE_NO = (IDS.IDC_PASTE_TEXT, IDS.IDC_PASTE_DONT_ASK, IDS.IDC_PASTE_YES,
                                                   IDS.IDC_PASTE_NO)
FLAG_LOCAL_ECHO, FLAG_SEND_BAR, FLAG_PASTE_UNASKED = 0x4, 0x8, 0x20
SEND_FILE_TITLE = "Please select file to send"
ECHO_GREY = (0x88, 0x88, 0x88)  # #8A8A8A as the store keeps colours, in 15 bits


def bar_open(velto):
    return velto.driver("visible", SEND_BAR) == "1"


def type_line(velto, text):
    """Types over what the send bar's field holds and presses Enter."""
    velto.type_into(SEND_TEXT, text)
    velto.key("Return")


def received_after(device, before, expected):
    """Waits until the device holds expected after the first `before` bytes, and nothing else."""
    wait_for(lambda: len(device.received) >= before + len(expected), what=f"{expected!r} at the device")
    assert device.received[before:] == expected


def grey_pixels(velto, path):
    left, top, right, bottom = velto.child_rect(IDC_MAIN_VIEW)
    pixels = velto.screenshot_area((left, top, right, bottom), path)
    return sum(1 for pixel in zip(pixels[0::3], pixels[1::3], pixels[2::3])
               if all(abs(a - b) <= 6 for a, b in zip(pixel, ECHO_GREY)))


def choose_enter(velto, index):
    """Chooses the Options dialog's entry of "Enter sends": 0 CR, 1 LF, 2 CR LF."""
    velto.click_button(CMD_OPTIONS)
    velto.wait_dialog(SEND_DELAY)
    velto.click_control(ENTER_SENDS)
    velto.key("Home", *["Down"] * index, "Return")
    wait_for(lambda: velto.combo_selection(ENTER_SENDS) == ("CR", "LF", "CR LF")[index], what="the line end chosen")
    velto.click_control(OK)
    velto.wait_dialog(SEND_DELAY, is_open=False)


def answer_open_dialog(velto, path):
    wait_for(lambda: velto.driver("dialog", SEND_FILE_TITLE), what="the open dialog")
    velto.key("alt+n", "ctrl+a")
    velto.type_text(windows_path(path))
    velto.key("Return")
    wait_for(lambda: not velto.driver("dialog", SEND_FILE_TITLE), what="the open dialog to close")


def test_escapes_and_hex_go_out_as_the_bytes_given_and_a_faulty_line_is_not_sent(program, device):
    program.start("-p", PORT)
    program.wait_open(PORT)
    program.click_control(IDC_MAIN_VIEW)
    program.key("ctrl+shift+s")
    wait_for(lambda: bar_open(program), what="the send bar open")
    assert program.state(CMD_SEND) & TBSTATE_CHECKED

    type_line(program, "ping\\t\\x00\\xFF\\0")
    received_after(device, 0, b"ping\t\x00\xff\x00\r")
    # The line stays, selected: Enter sends it again, and typing would replace it.
    program.key("Return")
    received_after(device, 0, b"ping\t\x00\xff\x00\r" * 2)

    program.click_control(SEND_HEX)
    wait_for(lambda: program.control_text(SEND_TEXT) == "70 69 6E 67 09 00 FF 00", what="the line as hex")
    before = len(device.received)
    type_line(program, "01 02ff00")
    received_after(device, before, b"\x01\x02\xff\x00")  # hex goes without a line end

    # A fault: nothing is sent, and the bar says why; the next good line goes at once.
    type_line(program, "01 zz")
    wait_for(lambda: (program.control_text(SEND_STATUS) or "").startswith("Not sent:"), what="the reason")
    assert "character 4" in program.control_text(SEND_STATUS)
    type_line(program, "0d")
    received_after(device, before, b"\x01\x02\xff\x00\r")

    program.click_control(IDC_MAIN_VIEW)
    program.key("ctrl+shift+s")
    wait_for(lambda: not bar_open(program), what="the send bar closed")


def test_each_line_end_goes_from_the_view_and_the_bar_and_the_echo_reaches_view_log_and_file(
        program, device, wine, tmp_path):
    wine.reg_set("Flags", FLAG_LOCAL_ECHO | FLAG_SEND_BAR, kind="REG_DWORD")
    program.start("-p", PORT)
    program.wait_open(PORT)
    assert bar_open(program), "the stored flag opens the bar"
    log = tmp_path / "echo.log"
    start_log(program, log)
    assert grey_pixels(program, tmp_path / "before.png") == 0

    expected = b""
    for index, end in enumerate((b"\r", b"\n", b"\r\n")):
        choose_enter(program, index)
        program.click_control(IDC_MAIN_VIEW)
        program.type_text(f"view{index}")
        program.key("Return")
        type_line(program, f"bar{index}")
        expected += f"view{index}".encode() + end + f"bar{index}".encode() + end
        received_after(device, 0, expected)

    echoed = [b"view0", b"bar0", b"view1", b"bar1", b"view2", b"bar2"]
    wait_for(lambda: log.exists() and all(line + b"\r\n" in log.read_bytes() for line in echoed),
             what="the echoed lines in the log")
    wait_for(lambda: grey_pixels(program, tmp_path / "echo.png") > 100, what="the echo in grey on screen")
    saved = tmp_path / "saved.txt"
    program.click_button(CMD_SAVE)
    program.answer_save_dialog(saved)
    text = wait_for(lambda: saved.exists() and saved.read_bytes(), what="the saved text")
    assert b"\r\n".join(echoed) + b"\r\n" in text


def test_the_history_walks_the_sent_lines_and_survives_a_restart(program, device, wine):
    program.start("-p", PORT)
    program.wait_open(PORT)
    program.click_button(CMD_SEND)
    wait_for(lambda: bar_open(program), what="the send bar open")
    for line in ("one", "two", "two", "three"):
        type_line(program, line)
    received_after(device, 0, b"one\rtwo\rtwo\rthree\r")
    program.close()
    stored = wine.reg_values(SETTINGS_KEY + r"\SendHistory")
    assert (stored["Count"], stored["1"], stored["3"]) == (3, "text:one", "text:three"), stored
    assert wine.reg_number("Flags") & FLAG_SEND_BAR

    program.start("-p", PORT)
    program.wait_open(PORT)
    assert bar_open(program)
    program.type_into(SEND_TEXT, "draft")
    # The oldest line stays at a further Up; Down past the newest brings back what was typed.
    walk = [("Up", "three"), ("Up", "two"), ("Up", "one"), ("Up", "one"), ("Down", "two"), ("Down", "three"),
            ("Down", "draft")]
    for key, text in walk:
        program.key(key)
        wait_for(lambda: program.control_text(SEND_TEXT) == text, what=f"{text!r} after {key}")
    program.key("ctrl+shift+s")
    wait_for(lambda: not bar_open(program), what="the send bar closed")
    program.close()
    assert not wine.reg_number("Flags") & FLAG_SEND_BAR


def test_a_file_goes_with_its_line_delay_and_esc_in_the_bar_stops_it(program, device, wine, tmp_path):
    wine.reg_set("LineDelay", 100, kind="REG_DWORD")
    small, large = tmp_path / "small.txt", tmp_path / "large.txt"
    small.write_bytes(b"one\r\ntwo\r\nthree")
    large.write_bytes(b"".join(b"line %03d\r\n" % i for i in range(200)))
    program.start("-p", PORT)
    program.wait_open(PORT)

    program.click_control(IDC_MAIN_VIEW)
    program.key("ctrl+shift+o")
    answer_open_dialog(program, small)
    wait_for(lambda: program.control_text(SEND_STATUS) == "Sent small.txt: 15 bytes", what="the file sent")
    assert device.received == b"one\r\ntwo\r\nthree"

    before = len(device.received)
    program.click_control(SEND_FILE)
    answer_open_dialog(program, large)
    wait_for(lambda: len(device.received) - before >= 30, what="the first lines of the large file")
    assert (program.control_text(SEND_STATUS) or "").startswith("Sending large.txt: ")
    program.click_control(SEND_TEXT)
    program.key("Escape")
    status = wait_for(lambda: (program.control_text(SEND_STATUS) or "").startswith("Cancelled") and
                      program.control_text(SEND_STATUS), what="the send cancelled")
    assert status.endswith(" of 2,000 bytes")
    # A line sent now queues behind whatever the file send still did: it comes right after the file's last byte.
    type_line(program, "after")
    wait_for(lambda: device.received.endswith(b"after\r"), what="the line after the cancel")
    sent = device.received[before:-len(b"after\r")]
    assert sent == large.read_bytes()[:len(sent)] and len(sent) < 2000, "the file went on after the cancel"
    assert program.process.poll() is None, "Esc in the bar must not end the program"


def test_a_paste_of_several_lines_asks_first_no_sends_nothing_and_dont_ask_again_holds(program, device, wine):
    program.start("-p", PORT)
    program.wait_open(PORT)
    program.driver("clipboard", "first line\\r\\nsecond line\\r\\n")
    pasted = b"first line\r\nsecond line\r\n"

    program.click_control(IDC_MAIN_VIEW)
    program.key("ctrl+v")
    program.wait_dialog(PASTE_TEXT)
    assert program.control_text(PASTE_TEXT) == f"Paste 2 lines (25 bytes) to {PORT}?"
    program.click_control(PASTE_NO)
    program.wait_dialog(PASTE_TEXT, is_open=False)
    program.type_text("x")
    received_after(device, 0, b"x")  # a marker behind the paste: nothing came before it

    program.key("shift+Insert")
    program.wait_dialog(PASTE_TEXT)
    program.click_control(PASTE_YES)
    received_after(device, 0, b"x" + pasted)

    program.key("ctrl+v")
    program.wait_dialog(PASTE_TEXT)
    program.click_control(PASTE_DONT_ASK)
    program.click_control(PASTE_YES)
    received_after(device, 0, b"x" + pasted * 2)
    program.key("ctrl+v")
    received_after(device, 0, b"x" + pasted * 3)
    assert program.dialog_rect(PASTE_TEXT) is None
    program.close()
    assert wine.reg_number("Flags") & FLAG_PASTE_UNASKED
