# Convenience wrapper around the CMake presets. Ninja runs the compile jobs in
# parallel by itself (CMAKE_BUILD_PARALLEL_LEVEL caps it), so make runs the
# steps one after another even under -j.

SHELL := /bin/bash
CMAKE ?= cmake
CTEST ?= ctest
# Test processes in parallel: CTEST_PARALLEL_LEVEL if set, else one per core.
CTEST_JOBS ?= $(or $(CTEST_PARALLEL_LEVEL),$(shell nproc 2>/dev/null || echo 2))
BUILD_DIR := build/default
ASAN_DIR := build/asan
PACKAGE_DIR := build/package

.NOTPARALLEL:
.DEFAULT_GOAL := build
.PHONY: deps configure build run demo cli test asan tsan windows bench package check-package install format check-format clean

deps:
	bash scripts/install-deps.sh

configure: deps
	$(CMAKE) --preset default

build: configure
	$(CMAKE) --build --preset default

run: build
	$(BUILD_DIR)/cvkeys $(ARGS)

demo: build
	$(BUILD_DIR)/cvkeys --simulate dorrin --simulate-bootloader:latency=2

# make cli ARGS="..." runs the command-line tool after building it.
cli: build
	@if [ -n "$(ARGS)" ]; then \
		echo "$(BUILD_DIR)/cvkeys-cli $(ARGS)"; $(BUILD_DIR)/cvkeys-cli $(ARGS); \
	else \
		echo "built $(BUILD_DIR)/cvkeys-cli (make cli ARGS=\"...\" runs it)"; \
	fi

test: build
	$(CTEST) --preset default -j $(CTEST_JOBS)

asan: deps
	$(CMAKE) --preset asan
	$(CMAKE) --build --preset asan
	$(CTEST) --preset asan -j $(CTEST_JOBS)

# One run of every benchmark as one table (scripts/bench-table.py); ARGS go
# to it (--markdown for README's table).
# The tests that run threads and processes (hotplug, single instance, the
# firmware update's worker), under ThreadSanitizer. Qt is not built for it,
# so its internals are suppressed (tests/sanitizers/tsan.supp).
TSAN_TESTS := Hotplug|Udev|SingleInstance|FirmwareDialog|FirmwareUpdateWindow|TsanSuppressions
tsan: deps
	$(CMAKE) --preset tsan
	$(CMAKE) --build --preset tsan
	cd build/tsan && QT_QPA_PLATFORM=offscreen \
		TSAN_OPTIONS="suppressions=$(CURDIR)/tests/sanitizers/tsan.supp halt_on_error=1 second_deadlock_stack=1" \
		$(CTEST) -j $(CTEST_JOBS) -R '$(TSAN_TESTS)' --output-on-failure --no-tests=error

# The core, the simulator, cvkeys-cli.exe and the test suite cross-built for
# Windows with mingw-w64 and run under Wine, in a Wine prefix of the build
# tree's own (build/windows/wineprefix).
windows:
	bash scripts/install-deps.sh --windows
	$(CMAKE) --preset windows
	$(CMAKE) --build --preset windows
	$(CTEST) --test-dir build/windows --output-on-failure --no-tests=error

bench: build
	python3 scripts/bench-table.py $(BUILD_DIR) $(ARGS)

# The Debian package (build/package/package/cvkeys_VERSION_ARCH.deb), built
# for /usr without the tests; check-package lints it, installs it into a
# scratch root and removes it again (scripts/check-package.sh).
package: deps
	$(CMAKE) --preset package
	$(CMAKE) --build --preset package
	cd $(PACKAGE_DIR) && cpack -G DEB

check-package: package
	bash scripts/check-package.sh $(PACKAGE_DIR)

# Installs the build under /usr/local (the udev rule into /etc/udev/rules.d).
install: build
	$(CMAKE) --install $(BUILD_DIR)

# Formats every .h/.cpp under src, sim, tests and bench in place with
# clang-format 14; check-format only lists the files that differ (as CI does).
format:
	bash scripts/check-format.sh --fix

check-format:
	bash scripts/check-format.sh

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(PACKAGE_DIR) build/tsan build/windows
