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
WIN32 := $(BUILD)/win32
BENCH := $(BUILD)/bench
FUZZ := $(BUILD)/fuzz

.PHONY: all deps test test-native test-win32 build-native build-win32 bench fuzz run clean

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

build-native: $(NATIVE)/CMakeCache.txt
	cmake --build $(NATIVE) -j $(JOBS)

build-win32: $(WIN32)/CMakeCache.txt
	cmake --build $(WIN32) -j $(JOBS)

test-native: build-native
	cd $(NATIVE) && ctest --output-on-failure -j $(JOBS)

test-win32: build-win32
	tools/wine-prefix
	cd $(WIN32) && xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure

test: deps
	$(MAKE) test-native
	$(MAKE) test-win32

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
	  -malloc_limit_mb=64 $(FUZZ)/corpus fuzz/corpus

clean:
	rm -rf $(BUILD)
