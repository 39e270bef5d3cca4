"""The options dialog, the search bar and the tag dialog inside the running program: opened from the toolbar, the
view's keys and the port buttons, filled in by typing and clicking, and checked in what the program then does, in
the toolbar and in the registry it writes when it closes."""
import re

from conftest import PORT
from test_main_window import port_command, pressed
from velto_gui import (IDS, CMD_HEX, CMD_OPTIONS, CMD_SAVE, CMD_SEARCH, IDC_FILTER, IDC_MAIN_VIEW, SETTINGS_KEY,
                       TBSTATE_CHECKED, TBSTATE_INDETERMINATE, TBSTATE_PRESSED, wait_for)

# Options dialog
SEND_DELAY, BAUD_RATE, PARITY, STOP_BITS, FONT, FONT_SIZE, BOLD, TIME_FORMAT, AUTO_UPDATE = (
    IDS.IDC_OPTIONS_SEND_DELAY, IDS.IDC_OPTIONS_BAUD_RATE, IDS.IDC_OPTIONS_PARITY, IDS.IDC_OPTIONS_STOP_BITS,
    IDS.IDC_OPTIONS_FONT, IDS.IDC_OPTIONS_FONT_SIZE, IDS.IDC_OPTIONS_BOLD, IDS.IDC_OPTIONS_TIME_FORMAT,
    IDS.IDC_OPTIONS_AUTO_UPDATE)
OK, CANCEL = IDS.IDC_OK, IDS.IDC_CANCEL
# Search bar
SEARCH_TEXT, SEARCH_NEXT, SEARCH_PREVIOUS, SEARCH_CASE = (IDS.IDC_SEARCH_TEXT, IDS.IDC_SEARCH_NEXT,
                                                          IDS.IDC_SEARCH_PREVIOUS, IDS.IDC_SEARCH_CASE)
# Tag dialog
TAG_TEXT = IDS.IDC_TAG_TEXT
DROP_BUTTON = 8  # pixels from a combo box's right edge: its drop-down button

STAMP = re.compile(rb"^\d\d:\d\d:\d\d>")
# The view merges its selection colour #005AC8 into what it has drawn: the cells' background (#001020, the
# default background as the store keeps colours, in 15 bits) or the view's own beside them (#001023).
SELECTED_BACKGROUNDS = (bytes((0x00, 0x5A, 0xE8)), bytes((0x00, 0x5A, 0xEB)))
VIEW_MARGIN = 2  # pixels between the view's client edge and its first cell


def open_options(velto):
    velto.click_button(CMD_OPTIONS)
    velto.wait_dialog(SEND_DELAY)


def press(velto, button, dialog_control):
    velto.click_control(button)
    velto.wait_dialog(dialog_control, is_open=False)


def test_typed_delay_and_rate_are_taken_a_word_keeps_the_delay_and_an_unknown_parity_survives(program, wine):
    wine.reg_set("Parity", 3, kind="REG_DWORD")
    program.start()
    open_options(program)
    assert program.combo_selection(PARITY) is None
    program.type_into(SEND_DELAY, "250 ms")
    program.type_into(BAUD_RATE, "250000")
    press(program, OK, SEND_DELAY)

    open_options(program)
    assert program.control_text(SEND_DELAY) == "250 ms"
    assert program.control_text(BAUD_RATE) == "250000"
    program.type_into(SEND_DELAY, "slow")
    press(program, OK, SEND_DELAY)
    program.close()
    stored = wine.reg_values()
    assert (stored["CharSendDelay"], stored["BaudRate"], stored["Parity"]) == (250, 250000, 3)


def test_the_empty_time_format_chosen_from_the_list_turns_the_stamps_off(program, device, wine, tmp_path):
    wine.reg_set("TimeFormat", "HH:mm:ss>")
    program.start("-p", PORT)
    wait_for(lambda: pressed(program, port_command(program, PORT)), what="the port open")
    device.send(b"before\r\n")
    open_options(program)
    # The list's first entry is the empty picture; the typed picture is not on the list, so nothing is selected.
    program.click_control(TIME_FORMAT, x_from_right=DROP_BUTTON)
    wait_for(program.dropped_list, what="the list dropped")
    program.key("Down", "Return")
    wait_for(lambda: program.control_text(TIME_FORMAT) == "", what="the empty picture chosen")
    press(program, OK, SEND_DELAY)
    device.send(b"after\r\n")

    saved = tmp_path / "stamps.txt"
    program.click_button(CMD_SAVE)
    program.answer_save_dialog(saved)
    text = wait_for(lambda: saved.exists() and saved.read_bytes(), what="the saved text")
    assert text.startswith(b"\xef\xbb\xbf"), "a new installation writes UTF-8 behind a byte-order mark"
    lines = text[3:].split(b"\r\n")
    before = next(line for line in lines if line.endswith(b"before"))
    assert STAMP.match(before), lines
    assert b"after" in lines, lines
    program.close()
    assert wine.reg_values()["TimeFormat"] == ""


def test_cancel_after_changes_keeps_every_option_and_still_rebuilds_the_buttons(program, device, wine):
    program.start("-p", PORT)
    command = port_command(program, PORT)
    wait_for(lambda: pressed(program, command), what="the port open")
    open_options(program)
    program.type_into(SEND_DELAY, "500")
    program.type_into(BAUD_RATE, "9600")
    program.type_into(TIME_FORMAT, "HH:mm>")
    program.click_control(PARITY)
    program.key("Down", "Return")
    wait_for(lambda: program.combo_selection(PARITY) != "None", what="another parity")
    program.click_control(BOLD)
    program.click_control(AUTO_UPDATE)
    wait_for(lambda: program.checked(BOLD) == 1 and program.checked(AUTO_UPDATE) == 0, what="the boxes changed")
    # Drawn wrongly on purpose: only the rebuild that follows the dialog shows the open port pressed again.
    program.driver("set-state", command, 0x4)
    assert not pressed(program, command)
    press(program, CANCEL, SEND_DELAY)
    wait_for(lambda: pressed(program, command), what="the buttons rebuilt")
    program.close()
    stored = wine.reg_values()
    # Nothing changed, so nothing new is written: what is there (if anything) are a new installation's values, with
    # its flags the update check and text files in UTF-8.
    defaults = {"CharSendDelay": 0, "BaudRate": 115200, "Parity": 0, "Flags": 0x41, "TimeFormat": ""}
    assert {name: stored.get(name, value) for name, value in defaults.items()} == defaults


def test_a_port_tag_is_left_alone_on_cancel_and_stored_and_shown_on_ok(program, device, wine):
    tags_key = SETTINGS_KEY + r"\Tags"
    program.start("-p", PORT)
    command = port_command(program, PORT)
    wait_for(lambda: pressed(program, command), what="the port open")

    program.click_button(command, modifiers=("shift",))
    program.wait_dialog(TAG_TEXT)
    program.type_text("Bench")
    program.key("Escape")
    program.wait_dialog(TAG_TEXT, is_open=False)
    # The click took the button's pressed look; the port is still open, and the button says so again at once
    # (not only at the next port scan, which would also rebuild it).
    wait_for(lambda: pressed(program, command), limit=10, what="the open port's button pressed again")
    assert program.text(command) == PORT
    assert wine.reg_values(tags_key) == {}

    program.click_button(command, modifiers=("ctrl",))
    program.wait_dialog(TAG_TEXT)
    program.type_text("Lab")
    press(program, OK, TAG_TEXT)
    wait_for(lambda: program.text(command) == "Lab - " + PORT, what="the tag on the button")
    # Neither click opened or closed anything.
    assert pressed(program, command)
    assert wine.reg_values(tags_key) == {"\\\\.\\" + PORT: "Lab"}


def selected_cell(velto, text, tmp_path):
    """Row and column of the text the view shows selected (its first cell), or None. Read from a picture of the
    view: the selection is where the background has the selection colour merged into it."""
    left, top, right, bottom = velto.child_rect(IDC_MAIN_VIEW)
    width = right - left
    pixels = velto.screenshot_area((left, top, right, bottom), tmp_path / "view.png")
    xs, ys = [], []
    for colour in SELECTED_BACKGROUNDS:
        at = pixels.find(colour)
        while at >= 0:
            if at % 3 == 0:
                xs.append(at // 3 % width)
                ys.append(at // 3 // width)
            at = pixels.find(colour, at + 1)
    if not xs:
        return None
    # The filled rectangle is one pixel wider and higher than the cells it covers.
    cell_width = (max(xs) - min(xs)) / len(text)
    row_height = max(ys) - min(ys)
    return round((min(ys) - VIEW_MARGIN) / row_height), round((min(xs) - VIEW_MARGIN) / cell_width)


def wait_selected(velto, text, cell, tmp_path):
    wait_for(lambda: selected_cell(velto, text, tmp_path) == cell, what=f"{text!r} selected at {cell}")


def start_with_lines(program, device, lines):
    program.start("-p", PORT)
    wait_for(lambda: pressed(program, port_command(program, PORT)), what="the port open")
    device.send(b"".join(line + b"\r\n" for line in lines))


def open_search_bar_from_the_view(program):
    program.click_control(IDC_MAIN_VIEW)
    program.key("ctrl+f")
    program.wait_dialog(SEARCH_TEXT)


def search_button(program):
    return program.state(CMD_SEARCH) or 0


def test_ctrl_f_and_f3_open_and_close_the_search_bar_also_while_the_view_has_the_focus(program, device):
    start_with_lines(program, device, [b"line"])
    for key in ("ctrl+f", "F3"):
        program.click_control(IDC_MAIN_VIEW)
        program.key(key)
        program.wait_dialog(SEARCH_TEXT)
        assert search_button(program) & TBSTATE_CHECKED
        program.click_control(IDC_MAIN_VIEW)  # the bar stays open; the view has the focus again
        program.key(key)
        program.wait_dialog(SEARCH_TEXT, is_open=False)
        assert not search_button(program) & TBSTATE_CHECKED
    # Neither key reached the device: the view keeps F3 to itself, and the hook takes both while the bar is open.
    assert device.received == b""


def test_with_a_filter_the_search_button_does_not_open_the_search_bar(program, wine):
    wine.reg_set("Filter", "keep")
    program.start()
    wait_for(lambda: search_button(program) & TBSTATE_INDETERMINATE, what="the filter applied")
    program.click_button(CMD_SEARCH)
    # The hex view shows every byte whatever the filter: over it the bar opens, and back at the filtered text it
    # closes. These come after the click; once they show, the click has been handled.
    program.click_button(CMD_HEX)
    wait_for(lambda: not search_button(program) & TBSTATE_INDETERMINATE, what="the search offered over the hex view")
    assert program.dialog_rect(SEARCH_TEXT) is None
    program.click_button(CMD_SEARCH)
    program.wait_dialog(SEARCH_TEXT)
    program.click_button(CMD_HEX)
    program.wait_dialog(SEARCH_TEXT, is_open=False)
    wait_for(lambda: search_button(program) & TBSTATE_INDETERMINATE, what="the search greyed over the text again")
    left, top, right, bottom = program.child_rect(IDC_FILTER)
    program.click_control(IDC_FILTER, x_from_right=(bottom - top) // 2)
    wait_for(lambda: not search_button(program) & TBSTATE_INDETERMINATE, what="the filter cleared")
    assert program.dialog_rect(SEARCH_TEXT) is None
    assert not search_button(program) & TBSTATE_CHECKED
    program.click_button(CMD_SEARCH)
    program.wait_dialog(SEARCH_TEXT)
    assert search_button(program) & TBSTATE_CHECKED
    # The bar still open when the program closes keeps its place, as its own closing would; the icon's click
    # left no filter to store.
    program.close()
    stored = wine.reg_values()
    assert re.fullmatch(r"\d+(,-?\d+){4}", stored.get("Search", "")) and stored["Filter"] == ""


def test_typing_searches_after_a_pause_and_keeps_the_current_match_while_it_still_matches(program, device,
                                                                                        tmp_path):
    start_with_lines(program, device, [b"boot loader", b"  bootstrap ok"])
    open_search_bar_from_the_view(program)
    program.type_text("boo")
    wait_selected(program, "boo", (0, 0), tmp_path)
    program.type_text("t")
    wait_selected(program, "boot", (0, 0), tmp_path)
    program.type_text("s")
    wait_selected(program, "boots", (1, 2), tmp_path)


def test_enter_wraps_around_once_shift_enter_and_the_up_button_search_backward(program, device, tmp_path):
    start_with_lines(program, device, [b"needle A", b"hay", b"   needle B"])
    open_search_bar_from_the_view(program)
    program.type_text("needle")
    wait_selected(program, "needle", (0, 0), tmp_path)
    for keys, cell in ((["Return"], (2, 3)), (["Return"], (0, 0)), (["shift+Return"], (2, 3)),
                       (["shift+Return"], (0, 0))):
        program.key(*keys)
        wait_selected(program, "needle", cell, tmp_path)
    program.click_control(SEARCH_PREVIOUS)
    wait_selected(program, "needle", (2, 3), tmp_path)
    # A text that is nowhere: one wrap-around, then nothing is selected.
    program.type_into(SEARCH_TEXT, "absent")
    wait_for(lambda: selected_cell(program, "absent", tmp_path) is None, what="no selection")
    program.key("Return")
    program.key("Escape")
    program.wait_dialog(SEARCH_TEXT, is_open=False)
