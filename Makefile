# The two commands of the README: `make run` and `make test`. Both install what is missing first.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
BIN := build/bin

# Fuzzing: `make fuzz` runs each target for FUZZ_SECONDS; CI's `make fuzz-smoke` briefly.
FUZZ_SECONDS ?= 300
FUZZ_SMOKE_SECONDS ?= 20

.PHONY: all setup build run test test-asan package package-setup bench setup-fuzz build-fuzz \
	fuzz fuzz-smoke setup-windows windows test-windows format format-check clean

all: build

setup:
	@sh scripts/install-deps.sh scripts/debian-packages.txt

build: setup
	cmake --preset dev
	cmake --build --preset dev -j $(JOBS)

run: build
	@if [ ! -x $(BIN)/tavrinel ]; then $(BIN)/tavrinel-cli --help; exit 0; fi; \
	if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	    echo "No display to show the window on. Start one, for example:" >&2; \
	    echo "    xvfb-run -a make run" >&2; \
	    exit 1; \
	fi; \
	$(BIN)/tavrinel

test: build
	ctest --preset dev -j $(JOBS)

# The same tests under AddressSanitizer and UndefinedBehaviorSanitizer, in build-asan/.
test-asan: setup
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

# The Debian package build/tavrinel_<version>-<release>_<arch>.deb of what `cmake --install`
# installs, from the same build as `make test`.
package-setup:
	@sh scripts/install-deps.sh scripts/debian-packages.txt scripts/package-packages.txt

package: package-setup build
	cmake --build --preset dev --target package

setup-fuzz:
	@sh scripts/install-deps.sh scripts/debian-packages.txt scripts/debian-packages-fuzz.txt

# libFuzzer targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer, in build-fuzz/.
build-fuzz: setup-fuzz
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)

fuzz: build-fuzz
	sh fuzz/run.sh $(FUZZ_SECONDS)

fuzz-smoke: build-fuzz
	sh fuzz/run.sh $(FUZZ_SMOKE_SECONDS)

bench: build
	$(BIN)/tavrinel-bench

# The Windows x64 edition, cross-built in build-windows/: Qt for Windows is built once into a
# cache (scripts/build-qt-windows.sh), then the programs, Tavrinel-<version>-win64.zip and
# Tavrinel-<version>-win64-setup.exe. A changed Qt prefix starts the configuration afresh.
setup-windows:
	@sh scripts/install-deps.sh scripts/debian-packages.txt scripts/windows-packages.txt
	@sh scripts/enable-deb-src.sh

windows: setup-windows
	qt=$$(JOBS=$(JOBS) sh scripts/build-qt-windows.sh | tail -n 1) && \
	if ! grep -qx "TAVRINEL_QT_WINDOWS:UNINITIALIZED=$$qt" build-windows/CMakeCache.txt 2>/dev/null; then \
	    rm -f build-windows/CMakeCache.txt; \
	fi && \
	TAVRINEL_QT_WINDOWS=$$qt cmake --preset windows && \
	cmake --build --preset windows -j $(JOBS) && \
	cmake --build --preset windows --target windows-packages

# The core and command-line tests and the window's smoke test under Wine, in Xvfb.
test-windows: windows
	sh scripts/test-windows.sh

SOURCES = find src tests bench fuzz -name '*.cpp' -o -name '*.h' -o -name '*.inc'

format:
	$(SOURCES) | xargs clang-format -i

# Fails, naming the places, where a source file is not as clang-format would write it (CI runs it).
format-check: setup
	$(SOURCES) | xargs clang-format --dry-run --Werror

clean:
	rm -rf build build-asan build-fuzz build-windows
