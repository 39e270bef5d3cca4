# Every target sets up what it needs first, so these work on a fresh Debian machine.
BUILD ?= build
JOBS ?= $(shell nproc)
# Each build folder has its own Wine prefix, so builds in different folders never share a wineserver.
export VELTO_WINEPREFIX ?= $(abspath $(BUILD))/wineprefix

.PHONY: all setup configure build test demo bench clean

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

clean:
	rm -rf $(BUILD)
