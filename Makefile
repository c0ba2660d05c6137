# Everything starts here: `make run` and `make test` install what is missing first.
.PHONY: all deps build native windows test test-native test-windows run screenshots clean

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

# Opens the demo map in PreviewExtractor.exe under Wine; without a display, runs the same
# extraction with tedchunk.
run: build
	@scripts/run-demo

# The dialog in English and German as docs/dialog-en.png and docs/dialog-de.png.
screenshots: windows
	@scripts/screenshots

clean:
	rm -rf $(BUILD)
