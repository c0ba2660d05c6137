# Everything starts here: `make run` and `make test` install what is missing first.
.PHONY: all deps build native windows test test-native test-windows bench run clean

BUILD := $(CURDIR)/build
JOBS ?= $(shell nproc)
CMAKE_NATIVE := cmake -S . -B $(BUILD)/native -DPROGRAM_DIR=$(BUILD)/bin
CMAKE_WINDOWS := cmake -S . -B $(BUILD)/mingw -DPROGRAM_DIR=$(BUILD)/win \
	-DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake

all: build

deps:
	@scripts/install-deps

build: native windows

native: deps
	@$(CMAKE_NATIVE) >/dev/null
	@cmake --build $(BUILD)/native -j $(JOBS)

windows: deps
	@$(CMAKE_WINDOWS) >/dev/null
	@cmake --build $(BUILD)/mingw -j $(JOBS)

test: test-native test-windows

test-native: native
	cd $(BUILD)/native && ctest --output-on-failure

test-windows: windows
	cd $(BUILD)/mingw && ctest --output-on-failure

# Extraction time and memory against copying the map with dd; see bench/run-bench.sh.
bench: native
	bench/run-bench.sh $(BUILD)/bin/tedchunk $(BUILD)/native/bench/generate_map $(BUILD)/bench.md

run: build
	@echo "The dialog tool is not built yet."

clean:
	rm -rf $(BUILD)
