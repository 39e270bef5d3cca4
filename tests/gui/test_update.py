"""The weekly update check end to end: velto.exe 1.00, alone in a folder of its own, asks a loopback update
server, which offers the same program built as 1.40 in a zip archive; the user says Yes to the update and to the
restart, and the new program runs from the same place."""
import io
import shutil
import sys
import zipfile

import velto_gui
from conftest import BIN, ROOT

sys.path.insert(0, str(ROOT / "tests" / "support"))
from loopback_http import LoopbackHttpServer  # noqa: E402

UPDATE_PATH = "/common/update.php"
ARCHIVE_PATH = "/files/velto.zip"
CAPTION = "Velto Update"  # not the main window's title, which the driver looks for
IDYES = 6
MESSAGE_TEXT = 65535  # the question's static control in a message box
QUESTION = "Velto 1.40 is available. Update now?"
RESTART = "Velto 1.40 is installed. Restart now?"


def offer(archive_url):
    return (f'<?xml version="1.0" encoding="utf-8"?><update><application>{CAPTION}</application>'
            f"<info><de>Velto 1.40 ist da. Jetzt aktualisieren?</de><en>{QUESTION}</en></info>"
            f"<version>1.40</version><restart><en>{RESTART}</en></restart>"
            f'<files><url name="velto.exe" zip="velto.zip">{archive_url}</url></files></update>').encode("utf-8")


def archive_of(program):
    data = io.BytesIO()
    with zipfile.ZipFile(data, "w", zipfile.ZIP_DEFLATED) as archive:
        archive.write(program, "velto.exe")
    return data.getvalue()


def answer_yes(velto, question):
    """Waits for the question, then clicks its Yes button."""
    velto_gui.wait_for(lambda: velto.driver("dialog-text", CAPTION, MESSAGE_TEXT) == question,
                       what=f"the question {question!r}")
    left, top, right, bottom = map(int, velto.driver("dialog-child", CAPTION, IDYES).split())
    velto.click_at((left + right) // 2, (top + bottom) // 2)


def close_new_program(velto):
    """The new program was started by the old one, not by the test: it is closed through its window, if it came
    up at all."""
    if velto.driver("window") is not None:
        velto.driver("close")
        velto_gui.wait_for(lambda: velto.driver("window") is None, what="the new program to end")


def test_yes_twice_installs_the_offered_version_and_starts_it(wine, settings, tmp_path):
    folder = tmp_path / "Velto"
    folder.mkdir()
    shutil.copy(BIN / "velto.exe", folder / "velto.exe")
    new_program = (BIN / "velto-1.40.exe").read_bytes()
    server = LoopbackHttpServer()
    velto = velto_gui.Velto(wine, BIN)
    try:
        server.route(ARCHIVE_PATH, body=archive_of(BIN / "velto-1.40.exe"))
        server.route(UPDATE_PATH, body=offer(server.url(ARCHIVE_PATH)))
        settings.reg_set("LastCheck", 0, "REG_QWORD")
        settings.reg_set("UpdateServer", server.url(UPDATE_PATH) + "?p=velto")

        velto.process = wine.start(folder / "velto.exe")
        answer_yes(velto, QUESTION)
        velto_gui.wait_for(lambda: (folder / "velto.exe").read_bytes() == new_program
                           if (folder / "velto.exe").exists() else False, what="the new velto.exe")
        assert (folder / "velto_old.exe").read_bytes() == (BIN / "velto.exe").read_bytes()
        answer_yes(velto, RESTART)

        velto.process.wait(velto_gui.LIMIT)  # the old program closes itself
        velto.process = None
        velto_gui.wait_for(lambda: "[1.40]" in (velto.title() or ""), what="the new program's window")
        assert sorted(p.name for p in folder.iterdir()) == ["velto.exe", "velto_old.exe"]
        close_new_program(velto)

        print("\n".join(r.line() for r in server.requests))
        # The new program found this week's check done: the server heard nothing from it.
        assert [(r.method, r.path) for r in server.requests] == [("GET", UPDATE_PATH), ("GET", ARCHIVE_PATH)]
        query = server.requests[0].query
        assert query.startswith("p=velto&v=1.0&id=") and len(query) == len("p=velto&v=1.0&id=") + 19
        assert all(r.header("User-Agent") == "AutoUpdate" for r in server.requests)
    finally:
        velto.close()  # the old program, when a failure left it running
        close_new_program(velto)
        server.close()
