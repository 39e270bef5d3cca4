"""The program itself under Wine on the test display, driven like a user (scripts/velto_gui.py): a simulated
device on the virtual port COM7, a loopback TCP peer, the prefix's registry and the files the program writes."""
import os
import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "scripts"))
sys.path.insert(0, str(ROOT / "tests" / "support"))

import velto_gui  # noqa: E402

BIN = Path(os.environ.get("VELTO_BIN", ROOT / "build" / "bin"))
PREFIX = os.environ.get("VELTO_WINEPREFIX", str(ROOT / "build" / "wineprefix"))
PORT = "COM7"  # the test programs use COM41-48 and the end-to-end tests COM5 of the same prefix


@pytest.fixture(scope="session")
def wine():
    for program in ("velto.exe", "velto_window_driver.exe"):
        if not (BIN / program).exists():
            pytest.fail(f"{BIN / program} is not built")
    wine = velto_gui.Wine(PREFIX)
    wine.without_window_manager()
    return wine


# Wide enough for the toolbar with a log file's path on its button.
PLACEMENT = "1,10,10,1270,720"


@pytest.fixture
def settings(wine):
    """The program starts from a settings key holding only its window placement and a weekly update check just
    done (so it asks no server), and leaves none behind."""
    wine.reg_delete()
    wine.reg_set("Main", PLACEMENT)
    wine.update_check_done()
    yield wine
    wine.reg_delete()


@pytest.fixture
def device(wine):
    device = velto_gui.VirtualDevice(wine, PORT).plug()
    yield device
    device.unplug()


@pytest.fixture
def program(wine, settings):
    """Start it with velto.start(args); it is closed afterwards, as its close box does."""
    velto = velto_gui.Velto(wine, BIN)
    yield velto
    velto.close()


@pytest.fixture(scope="session")
def release(tmp_path_factory):
    """What `make release` makes of this build (its programs as the tests ran them), and the same packing of the
    programs built as version 1.40, which the update tests offer."""
    return velto_gui.Release.make(BIN.parent, tmp_path_factory.mktemp("release"))
