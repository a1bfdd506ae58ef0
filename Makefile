# Vela's front door.
#   make demo   the main job: build Vela and show the most complete thing it can do
#   make test   install what is missing, build native and Windows, run every test
#   make build  build native (debug with sanitizers, release) and Windows
#   make bench  compression benchmarks beside bzip2, gzip and lz4
SHELL := /bin/bash
JOBS ?= $(shell nproc)
WINDOWS_TEST_PRESET := win64

.PHONY: all deps build build-native build-windows test test-native test-windows test-fuzz-replay demo bench fuzz clean

all: build

deps:
	@./scripts/install-deps.sh

build-native: deps
	cmake --preset native >/dev/null
	cmake --build --preset native -j $(JOBS)
	cmake --preset native-release >/dev/null
	cmake --build --preset native-release -j $(JOBS)

# win32 is the build that ships; win64 runs the Windows tests where Wine cannot
# start 32-bit programs (scripts/wine-env.sh explains).
build-windows: deps
	cmake --preset win32 >/dev/null
	cmake --build --preset win32 -j $(JOBS)
	cmake --preset $(WINDOWS_TEST_PRESET) >/dev/null
	cmake --build --preset $(WINDOWS_TEST_PRESET) -j $(JOBS)

build: build-native build-windows

test-native: build-native
	@echo "== native tests (AddressSanitizer + UndefinedBehaviorSanitizer) =="
	ctest --preset native -j $(JOBS)

test-windows: build-windows
	@./scripts/wine-prefix.sh
	@source scripts/wine-env.sh; if [ "$$VELA_WINE_CAN_RUN_32" = 1 ]; then \
	  echo "== Windows tests under Wine: 32-bit build =="; \
	  ctest --preset win32 -j $(JOBS) || exit 1; \
	fi
	@echo "== Windows tests under Wine: 64-bit build of the same sources =="
	ctest --preset $(WINDOWS_TEST_PRESET) -j $(JOBS)

test: test-native test-windows
	@echo "== fuzz corpus replays (part of the runs above) =="
	@ctest --preset native -L fuzz-replay -N | tail -n +2
	@echo "make test: all tests passed"

demo: build-native
	@./scripts/demo.sh build/native-release/bin/vela

bench: deps
	cmake --preset native-release >/dev/null
	cmake --build --preset native-release -j $(JOBS)
	@./bench/run.sh build/native-release/bin/vela

fuzz: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)

clean:
	rm -rf build
