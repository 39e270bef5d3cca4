# Every target sets up what it needs first, so these work on a fresh Debian machine.
BUILD ?= build
JOBS ?= $(shell nproc)
# Where `make release` puts the archive, the installer and the symbol files.
DIST ?= dist
# Each build folder has its own Wine prefix, so builds in different folders never share a wineserver.
export VELTO_WINEPREFIX ?= $(abspath $(BUILD))/wineprefix

.PHONY: all setup configure build test demo bench release clean

all: build

setup:
	@scripts/setup

configure: setup
	@if [ ! -f $(BUILD)/build.ninja ]; then \
	    cmake -S . -B $(BUILD) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null; fi

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@scripts/run-tests $(BUILD)

demo: build
	@scripts/demo $(BUILD)

bench: build
	@scripts/bench $(BUILD)

# The release is the build's own programs, the ones the tests run, with their debug information moved into files
# of their own: RelWithDebInfo is the release configuration (optimised, frame pointers kept for the problem
# report's stack walk), so the release costs no second build and ships exactly what was tested.
release: configure
	@grep -qxE 'CMAKE_BUILD_TYPE:STRING=(RelWithDebInfo)?' $(BUILD)/CMakeCache.txt || \
	    { echo "release: $(BUILD) is not configured as RelWithDebInfo, the release configuration" >&2; exit 1; }
	@cmake --build $(BUILD) -j $(JOBS) --target velto velto-cli
	@scripts/release $(DIST) $(BUILD)/bin/velto.exe $(BUILD)/bin/velto-cli.exe

clean:
	rm -rf $(BUILD)
