# Quick start: `make run` and `make test`. Both install what is missing first.
BUILD       ?= build
ASAN_BUILD  ?= build-asan
FUZZ_BUILD  ?= build-fuzz
WINDOWS_BUILD ?= build-windows
VALGRIND_BUILD ?= build-valgrind
GENERATOR   := -G Ninja
JOBS        ?= $(shell nproc)
FUZZ_SECONDS ?= 60

.PHONY: all deps build build-asan run test test-windows test-valgrind bench fuzz screenshot package package-windows clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

$(ASAN_BUILD)/build.ninja:
	cmake -S . -B $(ASAN_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DKRELT_SANITIZE=ON

build-asan: deps $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)

run: build
	scripts/run-samples.sh $(BUILD)
	scripts/open-dialog.sh $(BUILD)

# Every test: the Linux build, the sanitizer build and, unless WINDOWS=0,
# the Windows build under wine.
WINDOWS ?= 1

test: build build-asan
	QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	QT_QPA_PLATFORM=offscreen ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)
ifneq ($(WINDOWS),0)
	$(MAKE) test-windows
endif

# Windows build of the core, krelt-cli and the dialog krelt.exe, tested
# under wine; also compares the samples converted by both builds and drives
# the dialog by keyboard (xdotool) on an Xvfb display. icotool makes
# krelt.exe's icons.
WINDOWS_PACKAGES := g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest icoutils

test-windows: build
	scripts/install-deps.sh $(WINDOWS_PACKAGES) wine64 wine xdotool imagemagick
	scripts/test-windows.sh $(WINDOWS_BUILD) $(BUILD)/krelt-cli

# The Windows zip: $(WINDOWS_BUILD)/krelt-<version>-windows-x64.zip.
package-windows:
	scripts/install-deps.sh $(WINDOWS_PACKAGES)
	scripts/configure-windows.sh $(WINDOWS_BUILD)
	cmake --build $(WINDOWS_BUILD) --target package

# The Linux tests of the core and krelt-cli under valgrind memcheck (reads
# of uninitialised memory, which ASan does not see); not part of `test`.
$(VALGRIND_BUILD)/build.ninja:
	cmake -S . -B $(VALGRIND_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DKRELT_BUILD_APP=OFF -DKRELT_BUILD_BENCH=OFF -DKRELT_INSTALL=OFF

test-valgrind: deps $(VALGRIND_BUILD)/build.ninja
	scripts/install-deps.sh valgrind
	cmake --build $(VALGRIND_BUILD) -j $(JOBS)
	scripts/test-valgrind.sh $(VALGRIND_BUILD)

bench: build
	scripts/install-deps.sh jlha-utils time
	$(BUILD)/bench/krelt_bench
	$(BUILD)/bench/krelt_preview_bench
	$(BUILD)/bench/krelt_palette_bench
	scripts/bench-vs-peers.sh $(BUILD)
	scripts/bench-pipelines.sh $(BUILD)

fuzz: deps
	scripts/install-deps.sh clang libclang-rt-14-dev
	cmake -S . -B $(FUZZ_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_COMPILER=clang++ -DKRELT_FUZZ=ON -DKRELT_FUZZ_SKIP_CRC=ON \
	  -DKRELT_BUILD_APP=OFF -DKRELT_BUILD_BENCH=OFF -DKRELT_BUILD_TESTS=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	FUZZ_SECONDS=$(FUZZ_SECONDS) scripts/fuzz.sh $(FUZZ_BUILD)

# Debian packages: $(BUILD)/krelt-cli_<version>_<arch>.deb and
# $(BUILD)/krelt_<version>_<arch>.deb (the dialog).
package: build
	cmake --build $(BUILD) --target package

screenshot: build
	scripts/screenshot.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(WINDOWS_BUILD) $(VALGRIND_BUILD)
