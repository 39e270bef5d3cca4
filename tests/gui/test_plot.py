"""The plot window on a simulated device that sends "temp=... fan=..." lines: two series in their colours, the
legend's latest values, pause, Ctrl+Shift+P, and the PNG and CSV files."""
import subprocess

import velto_gui
from velto_gui import CMD_PLOT, IDS, TBSTATE_CHECKED, wait_for

from conftest import PORT

IDC_PLOT_AREA, IDC_PLOT_LEGEND, IDC_PLOT_PAUSE, IDC_PLOT_SAVE_PNG, IDC_PLOT_SAVE_CSV = (
    IDS.IDC_PLOT_AREA, IDS.IDC_PLOT_LEGEND, IDS.IDC_PLOT_PAUSE, IDS.IDC_PLOT_SAVE_PNG, IDS.IDC_PLOT_SAVE_CSV)
# The first two colours of the plot's palette, as the screen shows them.
TEMP_COLOUR, FAN_COLOUR = bytes((0x4F, 0xC3, 0xF7)), bytes((0xFF, 0xB7, 0x4D))
PNG_TITLE, CSV_TITLE = "Please select file to save the plot", "Please select file to save the plotted"


def reading(n):
    """The n-th line's values: a temperature and a fan's duty that swing across separate bands of the shared
    scale. Both bursts may land in one column of pixels, and there the stroke drawn last would hide an earlier
    one that it overlaps."""
    return 20 + n * 37 % 30, 60 + n * 53 % 40


def burst(first, count):
    return b"".join(b"temp=%d fan=%d\r\n" % reading(n) for n in range(first, first + count))


def latest(last):
    temp, fan = reading(last)
    return ("temp", str(temp)), ("fan", str(fan))


def open_plot(program):
    program.start("-p", PORT)
    program.wait_open(PORT)
    program.click_button(CMD_PLOT)
    program.wait_dialog(IDC_PLOT_AREA)
    wait_for(lambda: (program.state(CMD_PLOT) or 0) & TBSTATE_CHECKED, what="the Plot button pressed")


def wait_legend(program, *entries):
    wait_for(lambda: program.list_items(IDC_PLOT_LEGEND) == list(entries), what=f"the legend showing {entries}")


def colour_count(pixels, colour):
    return sum(1 for i in range(0, len(pixels), 3) if pixels[i:i + 3] == colour)


def plot_picture(program, path):
    return program.screenshot_area(program.child_rect(IDC_PLOT_AREA), path)


def test_two_series_in_their_colours_with_their_latest_values_and_pause_holds_the_picture(program, device, tmp_path):
    open_plot(program)
    device.send(burst(0, 20))
    wait_legend(program, *latest(19))
    # A second burst a moment later: the lines between the two run across the plot.
    device.send(burst(20, 20))
    wait_legend(program, *latest(39))
    wait_for(lambda: all(colour_count(plot_picture(program, tmp_path / "live.png"), colour) > 20
                         for colour in (TEMP_COLOUR, FAN_COLOUR)), what="both series drawn in their colours")

    program.click_control(IDC_PLOT_PAUSE)
    wait_for(lambda: program.checked(IDC_PLOT_PAUSE) == 1, what="Pause pressed")
    # Paused, the picture settles, and lines arriving meanwhile reach the legend but do not move it.
    paused = wait_for(lambda: (lambda a, b: a if a == b else None)(plot_picture(program, tmp_path / "a.png"),
                                                                   plot_picture(program, tmp_path / "b.png")),
                      what="the paused picture to settle")
    device.send(burst(40, 5))
    wait_legend(program, *latest(44))
    assert plot_picture(program, tmp_path / "after.png") == paused

    program.key("ctrl+shift+p")
    program.wait_dialog(IDC_PLOT_AREA, is_open=False)
    wait_for(lambda: not (program.state(CMD_PLOT) or 0) & TBSTATE_CHECKED, what="the Plot button released")


def test_save_as_png_and_as_csv_write_the_picture_and_every_value(program, device, tmp_path):
    open_plot(program)
    device.send(b"temp=41.5 fan=1200\r\ntemp=42.25 fan=1190\r\nfan=1180\r\n")
    wait_legend(program, ("temp", "42.25"), ("fan", "1180"))

    csv_path = tmp_path / "plot.csv"
    program.click_control(IDC_PLOT_SAVE_CSV)
    program.answer_save_dialog(csv_path, title=CSV_TITLE)
    rows = wait_for(lambda: csv_path.exists() and csv_path.read_bytes().count(b"\r\n") == 4 and
                    csv_path.read_bytes().split(b"\r\n"), what="the CSV file")
    assert rows[0] == b"time,temp,fan"
    assert [row.split(b",")[1:] for row in rows[1:4]] == [[b"41.5", b"1200"], [b"42.25", b"1190"], [b"", b"1180"]]
    times = [float(row.split(b",")[0]) for row in rows[1:4]]
    assert times == sorted(times) and times[0] == 0

    png_path = tmp_path / "plot.png"
    program.click_control(IDC_PLOT_SAVE_PNG)
    program.answer_save_dialog(png_path, title=PNG_TITLE)
    wait_for(lambda: png_path.exists() and png_path.stat().st_size > 0, what="the PNG file")
    left, top, right, bottom = program.child_rect(IDC_PLOT_AREA)
    size = subprocess.run(["identify", "-format", "%w %h", str(png_path)], capture_output=True, text=True,
                          check=True, timeout=velto_gui.LIMIT).stdout
    assert size == f"{right - left} {bottom - top}"
    pixels = subprocess.run(["convert", str(png_path), "rgb:-"], capture_output=True, check=True,
                            timeout=velto_gui.LIMIT).stdout
    assert colour_count(pixels, TEMP_COLOUR) > 0 and colour_count(pixels, FAN_COLOUR) > 0
