# Everything starts here: `make run` and `make test` install what is missing first.
.PHONY: all deps build native windows dist test test-native test-windows run screenshots clean

BUILD := $(CURDIR)/build
JOBS ?= $(shell nproc)
CMAKE_NATIVE := cmake -S . -B $(BUILD)/native -DPROGRAM_DIR=$(BUILD)/bin
CMAKE_WINDOWS := cmake -S . -B $(BUILD)/mingw -DPROGRAM_DIR=$(BUILD)/win \
	-DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake
# The download's own release tree: only the two programs, built reproducibly.
CMAKE_DIST := cmake -S . -B $(BUILD)/dist-mingw -DDIST=ON -DCMAKE_BUILD_TYPE=Release \
	-DBUILD_TESTING=OFF -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake

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

# dist/map-preview-extractor-<version>-win64.zip: what Windows users download.
dist: deps
	@$(CMAKE_DIST) >/dev/null
	@cmake --build $(BUILD)/dist-mingw -j $(JOBS)

test: test-native test-windows

test-native: native
	cd $(BUILD)/native && ctest --output-on-failure

# The Windows tests include the download's, so they need the zip.
test-windows: windows dist
	cd $(BUILD)/mingw && ctest --output-on-failure

# Opens the demo map in PreviewExtractor.exe under Wine; without a display, runs the same
# extraction with tedchunk.
run: build
	@scripts/run-demo

# The dialog in English and German as docs/dialog-en.png and docs/dialog-de.png.
screenshots: windows
	@scripts/screenshots

clean:
	rm -rf $(BUILD) $(CURDIR)/dist
