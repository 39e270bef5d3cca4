"""Line control in the running program: the Options dialog's data bits and flow control, a port's own line
settings from its button's menu, the menu from the keyboard, a modem line the virtual port refuses, and the open
port's input lines in its tooltip. What reaches the line is read with stty on the port's end (a pseudo-terminal
shows the speed, crtscts, ixon and ixoff; it keeps 8 data bits and has no modem lines)."""
from conftest import PORT
from test_main_window import port_command, pressed
from velto_gui import CMD_OPTIONS, IDC_FILTER, IDS, SETTINGS_KEY, wait_for

# Options dialog
SEND_DELAY, DATA_BITS, FLOW_CONTROL, OK = (IDS.IDC_OPTIONS_SEND_DELAY, IDS.IDC_OPTIONS_DATA_BITS,
                                           IDS.IDC_OPTIONS_FLOW_CONTROL, IDS.IDC_OK)
# A port's line settings dialog
USE_DEFAULTS, PORT_BAUD_RATE, PORT_FLOW_CONTROL = (IDS.IDC_PORT_LINE_DEFAULTS, IDS.IDC_PORT_LINE_BAUD_RATE,
                                                   IDS.IDC_PORT_LINE_FLOW_CONTROL)
PORT_KEY = SETTINGS_KEY + r"\Ports" + "\\" + PORT
# The port menu's items, counted from 1 without the separators.
LINE_SETTINGS, DTR = 1, 3


def stty(device):
    return device.stty().split()


def reopen(velto, command):
    """Clicks the open port's button twice, as a user applies new line settings."""
    velto.click_button(command)
    wait_for(lambda: not pressed(velto, command), what="the port closed")
    velto.click_button(command)
    wait_for(lambda: pressed(velto, command), what="the port open again")


def pick(velto, control, *keys):
    """Drops a list down, moves from the selected entry with the keys and takes the entry reached."""
    velto.click_control(control)
    wait_for(velto.dropped_list, what="the list dropped")
    velto.key(*keys, "Return")


def options_text(velto):
    return velto.text(CMD_OPTIONS)


def test_data_bits_and_flow_control_from_options_apply_at_the_next_opening(program, device, wine):
    program.start("-p", PORT)
    command = program.wait_open(PORT)
    program.click_button(CMD_OPTIONS)
    program.wait_dialog(SEND_DELAY)
    pick(program, FLOW_CONTROL, "Down")  # None, then RTS/CTS
    wait_for(lambda: program.combo_selection(FLOW_CONTROL) == "RTS/CTS", what="RTS/CTS chosen")
    program.click_control(OK)
    program.wait_dialog(SEND_DELAY, is_open=False)
    assert "-crtscts" in stty(device), "the open line keeps its settings"
    assert options_text(program) == "Options - 115200 baud 8N1"

    reopen(program, command)
    wait_for(lambda: options_text(program) == "Options - 115200 baud 8N1 RTS/CTS", what="the flow on the button")
    assert "crtscts" in stty(device)

    program.click_button(CMD_OPTIONS)
    program.wait_dialog(SEND_DELAY)
    pick(program, DATA_BITS, "Up")  # 8, then 7
    wait_for(lambda: program.combo_selection(DATA_BITS) == "7", what="7 data bits chosen")
    program.click_control(OK)
    program.wait_dialog(SEND_DELAY, is_open=False)
    program.click_button(command)
    wait_for(lambda: not pressed(program, command), what="the port closed")
    program.click_button(command)
    # Shown whether or not this port takes 7 data bits (a pseudo-terminal may refuse them).
    wait_for(lambda: options_text(program) == "Options - 115200 baud 7N1 RTS/CTS", what="7 data bits on the button")
    program.close()
    stored = wine.reg_values()
    assert (stored["DataBits"], stored["FlowControl"]) == (7, 1)


def open_line_settings(velto, command):
    velto.right_click_button(command)
    velto.choose_from_menu(LINE_SETTINGS)
    velto.wait_dialog(USE_DEFAULTS)


def test_a_ports_own_line_settings_apply_at_its_next_opening_until_it_uses_the_defaults_again(program, device, wine):
    program.start("-p", PORT)
    command = program.wait_open(PORT)
    open_line_settings(program, command)
    assert program.checked(USE_DEFAULTS) == 1, "a port without settings of its own"
    program.click_control(USE_DEFAULTS)
    wait_for(lambda: program.checked(USE_DEFAULTS) == 0, what="its own settings")
    program.type_into(PORT_BAUD_RATE, "9600")
    pick(program, PORT_FLOW_CONTROL, "Down", "Down", "Down")  # None, RTS/CTS, DSR/DTR, XON/XOFF
    wait_for(lambda: program.combo_selection(PORT_FLOW_CONTROL) == "XON/XOFF", what="XON/XOFF chosen")
    program.click_control(OK)
    program.wait_dialog(USE_DEFAULTS, is_open=False)
    own = wine.reg_values(PORT_KEY)
    assert (own["BaudRate"], own["FlowControl"], own["Dtr"], own["Rts"]) == (9600, 3, 1, 1)
    assert "115200" in stty(device), "the open line keeps its settings"

    reopen(program, command)
    wait_for(lambda: options_text(program) == "Options - 9600 baud 8N1 XON/XOFF", what="the port's own settings")
    words = stty(device)
    assert "9600" in words and "ixon" in words and "ixoff" in words, words

    open_line_settings(program, command)
    assert program.control_text(PORT_BAUD_RATE) == "9600"
    program.click_control(USE_DEFAULTS)
    wait_for(lambda: program.control_text(PORT_BAUD_RATE) == "115200", what="the Options values shown")
    program.click_control(OK)
    program.wait_dialog(USE_DEFAULTS, is_open=False)
    assert "BaudRate" not in wine.reg_values(PORT_KEY)
    reopen(program, command)
    wait_for(lambda: options_text(program) == "Options - 115200 baud 8N1", what="the Options values again")
    words = stty(device)
    assert "115200" in words and "-ixon" in words, words


def test_the_menu_opens_from_the_keyboard_a_refused_dtr_is_told_and_the_tooltip_has_the_input_lines(
        program, device, wine):
    program.start("-p", PORT)
    command = program.wait_open(PORT)

    def hover_and_read():
        # A rebuild of the buttons (after a scan or a probe) needs the mouse to come over the button again.
        left, top, right, bottom = program.rect(command)
        program.hover((left + right) // 2, (top + bottom) // 2)
        try:
            return wait_for(lambda: program.driver("tooltip"), limit=5)
        except AssertionError:
            return None
    tip = wait_for(hover_and_read, what="the open port's tooltip")
    # A pseudo-terminal reports no modem lines to this Wine.
    assert [line for line in tip.splitlines() if line][1:] == ["Input lines: not reported by the driver"]
    program.click_control(IDC_FILTER)
    for _ in range(5):
        if program.driver("focus") == "toolbar":
            break
        program.key("Tab")
    assert program.driver("focus") == "toolbar"
    index = program.button_index(program.port_command(PORT))
    for _ in range(program.button_count()):
        if program.driver("hot") == str(index):
            break
        program.key("Right")
    assert program.driver("hot") == str(index)
    program.key("shift+F10")
    wait_for(lambda: program.driver("popup"), what="the menu from the keyboard")
    program.choose_from_menu(DTR)
    # This Wine has no modem lines on a pseudo-terminal and refuses DTR.
    wait_for(lambda: program.driver("balloon") == f"{PORT} does not support DTR/RTS control", what="the refusal")
    assert pressed(program, command)
    program.close()
    assert "Dtr" not in wine.reg_values(PORT_KEY), "a refused change is not remembered"
