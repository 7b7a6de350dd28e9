# The two commands of the README: `make run` and `make test`. Both install what is missing first.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
BIN := build/bin

.PHONY: all setup build run test test-asan package package-setup bench format clean

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

bench: build
	$(BIN)/tavrinel-bench

format:
	find src tests bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf build build-asan
