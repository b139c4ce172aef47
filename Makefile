# Convenience front end over CMake.
#   make run    build the programs and analyse the bundled example
#   make test   build and run the whole test suite
BUILD_DIR ?= build
ASAN_DIR ?= build-asan
BUILD_TYPE ?= Release
WERROR ?= OFF
MPI ?= OFF
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
EXAMPLE ?= example
SEED ?= 2026

.PHONY: all configure build run test test-deps sanitize-test bench format format-check clean

all: build

configure:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DTOVAQUOR_WERROR=$(WERROR) \
	  -DTOVAQUOR_MPI=$(MPI)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

# The two programs: a compiler, CMake and make are all they need.
run: configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target tovaquor tovaquor-data
	cd examples && ../$(BUILD_DIR)/app/tovaquor --tables --html $(EXAMPLE) $(SEED)
	@echo
	@echo "Report written to examples/$(EXAMPLE).mbr, tables to examples/$(EXAMPLE).*.tsv,"
	@echo "the page to examples/$(EXAMPLE).html, messages to examples/mirbo.log"

# GoogleTest is the one thing the suite needs beyond the program's tools.
test-deps:
	@if [ ! -f /usr/include/gtest/gtest.h ]; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    DEBIAN_FRONTEND=noninteractive apt-get update -q && \
	    DEBIAN_FRONTEND=noninteractive apt-get install -y -q libgtest-dev; \
	  else \
	    echo "The test suite needs GoogleTest: install the package libgtest-dev (sudo apt-get install libgtest-dev)"; \
	    exit 1; \
	  fi; \
	fi

test: test-deps build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

sanitize-test: test-deps
	cmake -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=Debug -DTOVAQUOR_SANITIZE=ON -DTOVAQUOR_WERROR=$(WERROR)
	cmake --build $(ASAN_DIR) -j $(JOBS)
	cd $(ASAN_DIR) && ctest --output-on-failure -j $(JOBS)

bench:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DTOVAQUOR_BENCH=ON
	cmake --build $(BUILD_DIR) -j $(JOBS)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

format-check:
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR)
