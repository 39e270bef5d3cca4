"""velto.exe as a user meets it: started on a simulated device, its port buttons clicked, the adapter unplugged
and plugged back, saving, logging, filtering and a TCP endpoint. Checked at the device end, in the title and the
toolbar, in the registry of the prefix and in the files the program writes."""
import re
import threading
import time

import pytest
from conftest import PLACEMENT, PORT
from loopback_tcp import TcpPeer
from velto_gui import (IDS, CMD_LOG, CMD_SAVE, CMD_SEARCH, IDC_FILTER, IDC_MAIN_VIEW, LIMIT, LOG_TITLE,
                       TBSTATE_INDETERMINATE, TBSTATE_PRESSED, TITLE_PREFIX, wait_for)

WEB_LINK = IDS.IDC_WEB_LINK
STAMP = re.compile(rb"^\d\d:\d\d:\d\d>")


def port_command(velto, name):
    """The command of the port button showing name, once the port list has it."""
    return wait_for(lambda: velto.port_command(name), what=f"a button for {name}")


def pressed(velto, command):
    return bool((velto.state(command) or 0) & TBSTATE_PRESSED)


def view_pixels(velto, path):
    """The terminal view as the screen shows it: its width and its pixels as RGB bytes."""
    left, top, right, bottom = velto.child_rect(IDC_MAIN_VIEW)
    return right - left, velto.screenshot_area((left, top, right, bottom), path)


def coloured(pixels, test):
    """How many pixels test(red, green, blue) accepts."""
    return sum(1 for pixel in zip(pixels[0::3], pixels[1::3], pixels[2::3]) if test(*pixel))


# The device's colours as the view paints them, with room for the store's 15-bit colours and for smoothed glyphs.
def red(r, g, b):
    return r > 180 and g < 80 and b < 90


def green_background(r, g, b):
    return g > 130 and r < 60 and b < 60


def yellow_background(r, g, b):
    return r > 150 and g > 120 and b < 60


def title_suffix(velto):
    title = velto.title() or ""
    suffix = title.split("]", 1)[1] if "]" in title else ""
    return suffix[3:] if suffix.startswith(" - ") else suffix


def test_a_port_and_rate_given_at_start_are_opened_shown_and_stored(program, device, wine, tmp_path):
    program.start("-p", PORT, "-b", "9600")
    command = program.wait_open(PORT)
    assert program.title().startswith(TITLE_PREFIX)
    assert title_suffix(program) == PORT
    assert "speed 9600 baud" in device.stty()
    _, before = view_pixels(program, tmp_path / "view-before.png")
    assert coloured(before, red) == 0
    device.send(b"\x1b[1;31mRED ALERT FROM THE DEVICE\x1b[0m\r\n")
    wait_for(lambda: coloured(view_pixels(program, tmp_path / "view.png")[1], red) > 50,
             what="the device's red text on screen")
    program.click_control(IDC_MAIN_VIEW)
    program.type_text("ping")
    program.key("Return")
    device.wait_received(b"ping\r")
    program.close()
    stored = wine.reg_values()
    assert stored["SerialPort"] == PORT
    assert stored["BaudRate"] == 9600
    assert stored.get("Flags", 0) & 0x10000 == 0  # written only when it changed


def test_clicking_the_open_ports_button_closes_it_and_clicking_again_reopens_it(program, device):
    program.start("-p", PORT)
    command = program.wait_open(PORT)
    program.click_button(command)
    wait_for(lambda: not pressed(program, command) and title_suffix(program) == "", what="the port closed")
    program.click_button(command)
    wait_for(lambda: pressed(program, command) and title_suffix(program) == PORT, what="the port open again")


def test_an_unplugged_adapter_reopens_by_itself_and_loses_nothing_sent_half_a_second_after_it_returns(
        program, device, wine, tmp_path):
    wine.reg_set("TimeFormat", "HH:mm:ss>")
    program.start("-p", PORT)
    command = program.wait_open(PORT)
    log = tmp_path / "replug.log"
    start_log(program, log)

    device.unplug()
    program.driver("removal", PORT)
    # The reader ends with the lost port; the removal's scan then tries the port, fails and shows the bare title.
    wait_for(lambda: title_suffix(program) == "", what="the failed reopen while unplugged")

    device.plug()
    arrival = program.announce_arrival(PORT)
    try:
        assert arrival.stdout.readline().strip() == "sent"
        # From half a second after the port is back, the device talks whether or not anyone listens yet.
        threading.Event().wait(0.5)
        lines = [f"replugged line {i}".encode() for i in range(20)]
        for i, line in enumerate(lines):
            device.send(b"\x1b[43m" + b" " * (i + 1) + b"\x1b[0m" + line + b"\r\n")
        opened_after = arrival.stdout.readline().strip()
        assert opened_after != "timeout", "the port did not reopen after its arrival"
    finally:
        arrival.wait(LIMIT)
    wait_for(lambda: log.exists() and all(line in log.read_bytes() for line in lines), what="every line in the log")
    # On screen each line starts with a yellow block as many characters wide as its number plus one, so twenty
    # different block widths mean twenty lines shown.
    wait_for(lambda: len(block_widths(view_pixels(program, tmp_path / "replugged.png"), yellow_background)) == 20,
             what="every line on screen")
    wait_for(lambda: pressed(program, port_command(program, PORT)), what="the button pressed again")


def block_widths(view, test):
    """The distinct numbers of pixels that test accepts in the view's pixel rows (rows without any left out)."""
    width, pixels = view
    row_bytes = width * 3
    widths = {coloured(pixels[at:at + row_bytes], test) for at in range(0, len(pixels), row_bytes)}
    return widths - {0}


def start_log(velto, path):
    velto.click_button(CMD_LOG)
    velto.answer_save_dialog(path, title=LOG_TITLE)
    wait_for(lambda: (velto.text(CMD_LOG) or "").endswith(str(path).replace("/", "\\")),
             what="the log button showing the path")


def test_save_as_text_and_html_and_a_log_with_crlf_and_stamps(program, device, wine, tmp_path):
    wine.reg_set("TimeFormat", "HH:mm:ss>")
    program.start("-p", PORT)
    command = program.wait_open(PORT)

    log = tmp_path / "session.log"
    start_log(program, log)
    assert pressed(program, CMD_LOG)
    assert program.text(CMD_LOG).startswith("Write to Log File - Z:\\")
    device.send(b"\x1b[32mgreen <ok>\x1b[0m\nplain\n")
    wait_for(lambda: log.exists() and b"plain" in log.read_bytes(), what="the lines in the log")
    program.click_button(CMD_LOG)
    wait_for(lambda: program.text(CMD_LOG) == "Write to Log File" and not pressed(program, CMD_LOG),
             what="the log stopped")
    written = log.read_bytes()
    assert written.startswith(b"\xef\xbb\xbf"), "a new installation logs UTF-8 behind a byte-order mark"
    logged = written[3:].split(b"\r\n")
    assert STAMP.match(logged[0]) and logged[0].endswith(b"green <ok>"), logged
    assert STAMP.match(logged[1]) and logged[1].endswith(b"plain"), logged

    text, html = tmp_path / "saved.txt", tmp_path / "saved.html"
    program.click_button(CMD_SAVE)
    program.answer_save_dialog(text)
    program.click_button(CMD_SAVE)
    program.answer_save_dialog(html, html=True)
    saved = wait_for(lambda: text.exists() and text.read_bytes(), what="the text file")
    assert b"green <ok>\r\n" in saved and b"plain\r\n" in saved and b"\x1b" not in saved
    page = wait_for(lambda: html.exists() and html.read_bytes(), what="the HTML file")
    assert page.startswith(b"<!DOCTYPE html>\r\n") and page.endswith(b"  </body></html>")
    colour = re.search(rb'<span style="color: #(\w\w)(\w\w)(\w\w); background-color: #001020">green ', page)
    assert colour, page
    red, green, blue = (int(channel, 16) for channel in colour.groups())
    assert green > 2 * max(red, blue), "the device's green text is not green in the page"


def test_a_typed_filter_is_applied_after_a_pause_the_icon_shows_hidden_lines_and_a_click_clears_it(
        program, device, tmp_path):
    program.start("-p", PORT)
    command = program.wait_open(PORT)
    device.send(b"\x1b[42mkeep this\x1b[0m\r\n\x1b[1;31mdrop this\x1b[0m\r\n")
    wait_for(lambda: coloured(view_pixels(program, tmp_path / "both.png")[1], red) > 50, what="both lines shown")
    program.click_control(IDC_FILTER)
    program.type_text("keep")
    wait_for(lambda: (program.state(CMD_SEARCH) or 0) & TBSTATE_INDETERMINATE, what="the filter applied")
    def narrowed():
        _, kept = view_pixels(program, tmp_path / "kept.png")
        return coloured(kept, red) == 0 and coloured(kept, green_background) > 50
    wait_for(narrowed, what="only the matching line shown")

    left, top, right, bottom = program.child_rect(IDC_FILTER)
    side = bottom - top
    icon_box = (right - side, top, right, bottom)
    resting = program.screenshot_area(icon_box, tmp_path / "icon-rest.png")
    stop = threading.Event()
    # Red like the line the filter dropped: however many arrive while the icon is watched, the view's last rows
    # are red once the filter is cleared.
    talker = threading.Thread(target=talk, args=(device, b"\x1b[1;31mhidden line\x1b[0m\n", stop), daemon=True)
    talker.start()
    # Watched until two phases other than the resting icon were seen: a fixed number of pictures spans less
    # than one phase's time on a fast machine.
    frames = set()
    def animated():
        frames.add(program.screenshot_area(icon_box, tmp_path / "icon.png"))
        return len(frames - {resting}) >= 2
    try:
        wait_for(animated, what="the icon animating while hidden lines arrive")
    finally:
        stop.set()
        talker.join(10)

    program.click_control(IDC_FILTER, x_from_right=side // 2)
    wait_for(lambda: not (program.state(CMD_SEARCH) or 0) & TBSTATE_INDETERMINATE, what="the filter cleared")
    assert program.control_text(IDC_FILTER) == ""
    wait_for(lambda: coloured(view_pixels(program, tmp_path / "all.png")[1], red) > 50, what="every line again")


def talk(device, line, stop):
    while not stop.is_set():
        device.send(line)
        stop.wait(0.05)


def test_a_tcp_target_typed_on_the_command_line_connects_to_a_loopback_peer(program, wine, tmp_path):
    peer = TcpPeer(b"\xff\xfb\x01hello from the peer\r\n", timeout=LIMIT)
    try:
        target = f"tcp://127.0.0.1:{peer.port}"
        program.start("-p", target)
        assert peer.connected.wait(LIMIT), "the program did not connect"
        command = port_command(program, target)
        wait_for(lambda: pressed(program, command), what="the endpoint's button pressed")
        assert title_suffix(program) == target
        saved = tmp_path / "tcp.txt"
        program.click_button(CMD_SAVE)
        program.answer_save_dialog(saved)
        assert b"hello from the peer\r\n" in wait_for(lambda: saved.exists() and saved.read_bytes(),
                                                       what="the saved text")
    finally:
        program.close()
        peer.close()


def test_closed_while_minimised_it_stores_its_normal_place_and_starts_normal(program, wine):
    program.start()
    before = program.window_geometry()
    program.driver("minimize")
    wait_for(lambda: program.driver("iconic") == "1", what="the window minimised")
    program.close()
    show, *rectangle = wine.reg_values()["Main"].split(",")
    assert show == str(2) and rectangle == PLACEMENT.split(",")[1:]
    program.start()
    assert program.driver("iconic") == "0"
    assert program.window_geometry() == before


def test_the_grip_sizes_the_window_and_the_view_and_filter_field_follow(program):
    program.start()
    x, y, width, height = program.window_geometry()
    filter_before, view_before = program.child_rect(IDC_FILTER), program.child_rect(IDC_MAIN_VIEW)
    grip = (x + width - 4, y + height - 4)
    program.drag(grip, (grip[0] - 300, grip[1] - 150))
    wait_for(lambda: program.window_geometry()[2] < width, what="the window narrower")
    _, _, new_width, new_height = program.window_geometry()
    dx, dy = new_width - width, new_height - height
    assert (dx, dy) == (-300, -150)
    filter_after, view_after = program.child_rect(IDC_FILTER), program.child_rect(IDC_MAIN_VIEW)
    # The filter field keeps its distance to the bottom and right edges; the view stretches both ways.
    assert filter_after == (filter_before[0], filter_before[1] + dy, filter_before[2] + dx, filter_before[3] + dy)
    assert view_after == (view_before[0], view_before[1], view_before[2] + dx, view_before[3] + dy)


def test_a_port_buttons_tooltip_describes_the_port(program, device):
    program.start()
    def hover_and_read():
        # The buttons are drawn again after every scan and probe, and a new button needs the mouse to move
        # over it again before its tooltip comes.
        left, top, right, bottom = program.rect(port_command(program, PORT))
        program.hover((left + right) // 2, (top + bottom) // 2)
        try:
            return wait_for(lambda: program.driver("tooltip"), limit=5)
        except AssertionError:
            return None
    tip = wait_for(hover_and_read, what="the tooltip")
    assert tip == f"\\\\.\\{PORT} - \\Device\\VeltoVirtual{PORT[3:]}"


def test_buttons_that_do_not_fit_are_offered_at_the_chevron_and_act_from_there(program, device, wine):
    wine.reg_set("Main", "1,10,10,700,500")  # too narrow for the port buttons
    program.start("-p", PORT)
    command = program.wait_open(PORT)
    link_left, link_top, _, link_bottom = program.child_rect(WEB_LINK)
    # The chevron sits at the end of the toolbar's band, just before the web link's band.
    program.click_at(link_left - 12, (link_top + link_bottom) // 2)
    program.key("Up", "Return")  # the last entry: the open port, which it closes as its button would
    wait_for(lambda: title_suffix(program) == "" and not pressed(program, command), what="the port closed")


def test_esc_in_the_filter_field_ends_the_program_and_a_running_log_does_not_come_back(program, device, wine,
                                                                                      tmp_path):
    program.start("-p", PORT)
    program.wait_open(PORT)
    start_log(program, tmp_path / "left-running.log")
    program.click_control(IDC_FILTER)
    program.key("Escape")
    program.process.wait(LIMIT)
    assert wine.reg_values().get("Flags", 0) & 0x10000 == 0
    program.start()
    assert program.text(CMD_LOG) == "Write to Log File" and not pressed(program, CMD_LOG)


def test_a_stored_filter_is_in_the_field_applied_at_start_and_stored_again(program, wine):
    wine.reg_set("Filter", "keep,-drop")
    program.start()
    assert program.control_text(IDC_FILTER) == "keep,-drop"
    wait_for(lambda: (program.state(CMD_SEARCH) or 0) & TBSTATE_INDETERMINATE, what="the filter applied")
    program.close()
    assert wine.reg_values()["Filter"] == "keep,-drop"
