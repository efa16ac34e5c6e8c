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
FORMAT_DIRS := src sim tests bench

.NOTPARALLEL:
.DEFAULT_GOAL := build
.PHONY: deps configure build run demo cli test asan bench format clean

deps:
	bash scripts/install-deps.sh

configure: deps
	$(CMAKE) --preset default

build: configure
	$(CMAKE) --build --preset default

run: build
	$(BUILD_DIR)/cvkeys $(ARGS)

demo: build
	$(BUILD_DIR)/cvkeys --simulate dorrin

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

bench: build
	$(BUILD_DIR)/bench/cvk_bench $(ARGS)

format:
	@if command -v clang-format >/dev/null 2>&1; then \
		find $(FORMAT_DIRS) -type f \( -name '*.cpp' -o -name '*.h' \) -print0 2>/dev/null \
			| xargs -0 -r clang-format -i; \
	else \
		echo "clang-format not found: nothing formatted"; \
	fi

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR)
