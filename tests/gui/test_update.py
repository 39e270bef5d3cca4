"""The weekly update check end to end: the released velto.exe, unpacked from its archive into a folder of its own,
asks a loopback update server, which offers the release archive of the same programs built as 1.40; the user
says Yes to the update and to the restart, and the new program runs from the same place. Also a swap that a file
held open stops half way, and closing the program while a check waits on a server that does not answer, or
while its question is open."""
import shutil
import subprocess
import sys
import time

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
IDOK = 1


# A close waits a few seconds for a check under way; this bounds it with room for a loaded machine. Before the
# bound, the process stayed until the server gave up (the test server after a minute, a real one never).
CLOSE_LIMIT = 30


def offer(archive_url, question=QUESTION):
    return (f'<?xml version="1.0" encoding="utf-8"?><update><application>{CAPTION}</application>'
            f"<info><de>Velto 1.40 ist da. Jetzt aktualisieren?</de><en>{question}</en></info>"
            f"<version>1.40</version><restart><en>{RESTART}</en></restart>"
            f'<files><url name="velto.exe" zip="velto.zip">{archive_url}</url></files></update>').encode("utf-8")


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


def folder_files(folder):
    return {path.name: path.read_bytes() for path in folder.iterdir()}


def test_yes_twice_installs_the_offered_release_and_starts_it(wine, settings, release, tmp_path):
    folder = release.unpack(tmp_path / "Velto")
    old = folder_files(folder)
    new = release.entries(update=True)
    server = LoopbackHttpServer()
    velto = velto_gui.Velto(wine, BIN)
    try:
        server.route(ARCHIVE_PATH, body=release.archive(update=True).read_bytes())
        server.route(UPDATE_PATH, body=offer(server.url(ARCHIVE_PATH)))
        settings.reg_set("LastCheck", 0, "REG_QWORD")
        settings.reg_set("UpdateServer", server.url(UPDATE_PATH) + "?p=velto")

        velto.process = wine.start(folder / "velto.exe")
        answer_yes(velto, QUESTION)
        velto_gui.wait_for(lambda: (folder / "velto.exe").read_bytes() == new["velto.exe"]
                           if (folder / "velto.exe").exists() else False, what="the new velto.exe")
        answer_yes(velto, RESTART)

        velto.process.wait(velto_gui.LIMIT)  # the old program closes itself
        velto.process = None
        velto_gui.wait_for(lambda: "[1.40]" in (velto.title() or ""), what="the new program's window")
        # Every file of the archive in place, the stripped programs as released; the old program kept.
        assert folder_files(folder) == dict(new, **{"velto_old.exe": old["velto.exe"]})
        close_new_program(velto)

        print("\n".join(r.line() for r in server.requests))
        # The new program found this week's check done: the server heard nothing from it.
        assert [(r.method, r.path) for r in server.requests] == [("GET", UPDATE_PATH), ("GET", ARCHIVE_PATH)]
        query = server.requests[0].query
        prefix = "p=velto&v={}.{}&id=".format(*release.numbers)
        assert query.startswith(prefix) and len(query) == len(prefix) + 19
        assert all(r.header("User-Agent") == "AutoUpdate" for r in server.requests)
    finally:
        velto.close()  # the old program, when a failure left it running
        close_new_program(velto)
        server.close()


def test_a_swap_stopped_half_way_puts_the_old_version_back(wine, settings, release, tmp_path):
    """Another program holds the licence open without sharing its removal, as an editor may: the swap has
    already set the old velto.exe aside when it cannot move that file, so every move is undone. The folder is as
    it was, and the user is told."""
    folder = release.unpack(tmp_path / "Velto")
    before = folder_files(folder)
    server = LoopbackHttpServer()
    velto = velto_gui.Velto(wine, BIN)
    held_log = tmp_path / "held.txt"
    with held_log.open("wb") as out:
        holder = subprocess.Popen([str(ROOT / "scripts" / "wine-run"), str(BIN / "velto_window_driver.exe"), "hold",
                                   str(folder / "LICENSE.txt"), str(velto_gui.LIMIT)], env=wine.env, stdout=out,
                                  stderr=subprocess.DEVNULL)
    try:
        velto_gui.wait_for(lambda: held_log.read_bytes().strip() == b"held", what="the licence held open")
        server.route(ARCHIVE_PATH, body=release.archive(update=True).read_bytes())
        server.route(UPDATE_PATH, body=offer(server.url(ARCHIVE_PATH)))
        settings.reg_set("LastCheck", 0, "REG_QWORD")
        settings.reg_set("UpdateServer", server.url(UPDATE_PATH) + "?p=velto")

        velto.process = wine.start(folder / "velto.exe")
        answer_yes(velto, QUESTION)
        notice = "The update to Velto 1.40 could not be installed."
        velto_gui.wait_for(lambda: (velto.driver("dialog-text", CAPTION, MESSAGE_TEXT) or "").startswith(notice),
                           what="the notice of the failed update")
        assert folder_files(folder) == before
        left, top, right, bottom = map(int, velto.driver("dialog-child", CAPTION, IDOK).split())
        velto.click_at((left + right) // 2, (top + bottom) // 2)
        velto_gui.wait_for(lambda: velto.driver("dialog", CAPTION) is None, what="the notice closed")
        assert velto.title().endswith(f"[{release.version}]")
    finally:
        velto.close()
        holder.kill()
        holder.wait()
        server.close()


def program_folder(tmp_path):
    folder = tmp_path / "Velto"
    folder.mkdir()
    shutil.copy(BIN / "velto.exe", folder / "velto.exe")
    return folder


def wait_ended_after_close(velto):
    """Closes the program as its close box does; the seconds until its process ended."""
    velto.driver("close")
    closed = time.monotonic()
    try:
        velto.process.wait(CLOSE_LIMIT)
    except subprocess.TimeoutExpired:
        raise AssertionError(f"the process still ran {CLOSE_LIMIT} s after the close")
    velto.process = None
    print(f"ended {time.monotonic() - closed:.1f} s after the close")
    return time.monotonic() - closed


def test_a_close_while_the_server_keeps_silent_ends_the_process(wine, settings, tmp_path):
    """The server takes the query and never answers; then, in a second run, it stalls in the middle of the
    accepted download. Each time the process ends soon after the close, and no part of the download stays."""
    folder = program_folder(tmp_path)
    server = LoopbackHttpServer()
    velto = velto_gui.Velto(wine, BIN)
    try:
        settings.reg_set("UpdateServer", server.url(UPDATE_PATH) + "?p=velto")
        for stage in ("query", "download"):
            server.reset()
            if stage == "query":
                server.route(UPDATE_PATH, silent=True)
            else:
                server.route(UPDATE_PATH, body=offer(server.url(ARCHIVE_PATH)))
                server.route(ARCHIVE_PATH, body=b"z" * 100000, length=8400000, stall=True)
            settings.reg_set("LastCheck", 0, "REG_QWORD")
            velto.process = wine.start(folder / "velto.exe")
            velto_gui.wait_for(lambda: velto.driver("window") is not None, what="the main window")
            if stage == "query":
                velto_gui.wait_for(lambda: server.seen(), what="the update query")
            else:
                answer_yes(velto, QUESTION)
                velto_gui.wait_for(lambda: (folder / "velto_new.zip").exists(), what="the download under way")
            wait_ended_after_close(velto)
            server.release()
            assert sorted(p.name for p in folder.iterdir()) == ["velto.exe"], stage
    finally:
        velto.close()
        server.close()


def test_closing_the_window_answers_an_open_question_not_now(wine, settings, tmp_path):
    """A question far longer than any screen keeps its buttons on the screen; closing the main window while it
    is open answers it "not now": the box goes with the window, the process ends, and nothing is declined."""
    folder = program_folder(tmp_path)
    question = "Velto 1.40 is available with many changes. " * 12000  # some 500 KB
    server = LoopbackHttpServer()
    velto = velto_gui.Velto(wine, BIN)
    try:
        server.route(UPDATE_PATH, body=offer(server.url(ARCHIVE_PATH), question))
        settings.reg_set("LastCheck", 0, "REG_QWORD")
        settings.reg_set("UpdateServer", server.url(UPDATE_PATH) + "?p=velto")
        velto.process = wine.start(folder / "velto.exe")
        yes = velto_gui.wait_for(lambda: velto.driver("dialog-child", CAPTION, IDYES), what="the question")
        screen_width, screen_height = map(int, subprocess.run(["xdotool", "getdisplaygeometry"], capture_output=True,
                                                              text=True, check=True).stdout.split())
        left, top, right, bottom = map(int, yes.split())
        assert 0 <= left and right <= screen_width and 0 <= top and bottom <= screen_height, yes

        wait_ended_after_close(velto)
        assert velto.driver("dialog", CAPTION) is None
        assert "LastCheckVersion" not in settings.reg_values()
        assert [r.path for r in server.seen()] == [UPDATE_PATH]
    finally:
        velto.close()
        server.close()
