# Tabulon: the two commands of the README are `make run` and `make test`.
# Each installs what is missing, configures, builds and runs.

SHELL := /bin/bash
BUILD ?= build
JOBS ?= 2
WINEPREFIX ?= $(abspath $(BUILD))/wineprefix
export WINEPREFIX
export WINEDEBUG ?= -all
# No Mono or Gecko prompts in a fresh prefix.
export WINEDLLOVERRIDES ?= mscoree,mshtml=

NATIVE := $(BUILD)/native
# The product is 32-bit (win32). Its Windows tests also run from a 64-bit
# build (win64) under 64-bit Wine: kernels without 32-bit support (as some
# virtual machines have) cannot start 32-bit Wine at all.
WIN32 := $(BUILD)/win32
WIN64 := $(BUILD)/win64
BENCH := $(BUILD)/bench
FUZZ := $(BUILD)/fuzz
CLI := $(BUILD)/cli

.PHONY: all deps test test-native test-windows build-native build-win32 build-win64 bench fuzz run cli clean

all: build-native build-win32

deps:
	@tools/install-deps

$(NATIVE)/CMakeCache.txt:
	cmake -S . -B $(NATIVE) -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	  -DTABULON_SANITIZE=ON -DTABULON_WERROR=ON >/dev/null

$(WIN32)/CMakeCache.txt:
	cmake -S . -B $(WIN32) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
	  -DCMAKE_CROSSCOMPILING_EMULATOR=$(abspath tools/wine-run) \
	  -DTABULON_WERROR=ON >/dev/null

$(WIN64)/CMakeCache.txt:
	cmake -S . -B $(WIN64) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake \
	  -DCMAKE_CROSSCOMPILING_EMULATOR=$(abspath tools/wine-run) \
	  -DTABULON_WERROR=ON >/dev/null

build-win64: $(WIN64)/CMakeCache.txt
	cmake --build $(WIN64) -j $(JOBS)

build-native: $(NATIVE)/CMakeCache.txt
	cmake --build $(NATIVE) -j $(JOBS)

build-win32: $(WIN32)/CMakeCache.txt
	cmake --build $(WIN32) -j $(JOBS)

test-native: build-native
	cd $(NATIVE) && ctest --output-on-failure -j $(JOBS)

# The 32-bit build is compiled in full (product and tests); the tests run
# from the 64-bit build, or from the 32-bit one where 32-bit Wine works.
test-windows: build-win32 build-win64
	tools/wine-prefix
	if tools/wine-run --can-run-32; then dir=$(WIN32); else dir=$(WIN64); fi; \
	cd $$dir && xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure

# Starts the program under Wine: on the X display in DISPLAY, or on a
# virtual one when there is none. The 32-bit product where 32-bit Wine
# works, the same program built for 64 bits where it cannot.
run: deps build-win32
	tools/wine-prefix
	if tools/wine-run --can-run-32; then exe=$(WIN32)/app/tabulon.exe; \
	else $(MAKE) build-win64 && exe=$(WIN64)/app/tabulon.exe; fi; \
	if [ -n "$$DISPLAY" ]; then tools/wine-run $$exe; \
	else xvfb-run -a -s "-screen 0 1280x1024x24" tools/wine-run $$exe; fi

test: deps
	$(MAKE) test-native
	$(MAKE) test-windows

# The command line, natively and in release: build/cli/tabulon-cli.
cli:
	cmake -S . -B $(CLI) -G Ninja -DCMAKE_BUILD_TYPE=Release -DTABULON_TESTS=OFF -DTABULON_WERROR=ON >/dev/null
	cmake --build $(CLI) -j $(JOBS) --target tabulon-cli

bench: deps
	cmake -S . -B $(BENCH) -G Ninja -DCMAKE_BUILD_TYPE=Release -DTABULON_TESTS=OFF \
	  -DTABULON_BENCH=ON >/dev/null
	cmake --build $(BENCH) -j $(JOBS)
	for b in $(BENCH)/bench/*_bench; do $$b; done

# A longer libFuzzer run under ASan and UBSan; FUZZ_SECONDS sets its length.
FUZZ_SECONDS ?= 300
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	  -DTABULON_SANITIZE=ON -DTABULON_LIBFUZZER=ON >/dev/null
	cmake --build $(FUZZ) -j $(JOBS) --target table_fuzz
	mkdir -p $(FUZZ)/corpus
	$(FUZZ)/fuzz/table_fuzz -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=512 \
	  -malloc_limit_mb=64 -artifact_prefix=$(abspath $(FUZZ))/ $(FUZZ)/corpus fuzz/corpus

clean:
	rm -rf $(BUILD)
