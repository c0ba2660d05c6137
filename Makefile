# Everything starts here: `make run` and `make test` install what is missing first.
.PHONY: all deps build native windows programs sanitized dist test test-native test-windows \
	test-sanitized test-reproducible fuzz bench run screenshots clean

BUILD := $(CURDIR)/build
JOBS ?= $(shell nproc)
CMAKE_NATIVE := cmake -S . -B $(BUILD)/native -DPROGRAM_DIR=$(BUILD)/bin
CMAKE_WINDOWS := cmake -S . -B $(BUILD)/mingw -DPROGRAM_DIR=$(BUILD)/win \
	-DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake
# Native again, with clang, AddressSanitizer and UndefinedBehaviorSanitizer, plus the
# fuzz targets.
CMAKE_SANITIZED := cmake -S . -B $(BUILD)/asan -DPROGRAM_DIR=$(BUILD)/asan/bin -DSANITIZE=ON \
	-DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14
# Any report ends the program with a failure; leaks are reports too.
SANITIZER_ENV := ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:strict_string_checks=1 \
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
# The download's own release tree: only the two programs, built reproducibly.
DIST_OPTIONS := -DDIST=ON -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
	-DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake
CMAKE_DIST := cmake -S . -B $(BUILD)/dist-mingw $(DIST_OPTIONS)

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

sanitized: deps
	@$(CMAKE_SANITIZED) >/dev/null
	@cmake --build $(BUILD)/asan -j $(JOBS)

# dist/map-preview-extractor-<version>-win64.zip: what Windows users download.
dist: deps
	@$(CMAKE_DIST) >/dev/null
	@cmake --build $(BUILD)/dist-mingw -j $(JOBS)

test: test-native test-windows test-sanitized test-reproducible

test-native: native
	cd $(BUILD)/native && ctest --output-on-failure

# The Windows tests include the download's, so they need the zip.
test-windows: windows dist
	cd $(BUILD)/mingw && ctest --output-on-failure

# The whole suite once more under the sanitizers, then each fuzz target for a fixed
# number of runs from a fixed seed.
test-sanitized: sanitized
	cd $(BUILD)/asan && $(SANITIZER_ENV) ctest --output-on-failure

# The download once more, from a tree in another folder: the same bytes, or the test fails.
test-reproducible: dist
	@cmake -S . -B $(BUILD)/dist-again $(DIST_OPTIONS) -DDIST_ZIP=$(BUILD)/dist-again.zip >/dev/null
	@cmake --build $(BUILD)/dist-again -j $(JOBS)
	cmp $(BUILD)/dist-again.zip "$$(cmake -L -N $(BUILD)/dist-mingw | sed -n 's/^DIST_ZIP:FILEPATH=//p')"
	@echo "test-reproducible: 1 passed, 0 failed"

# Fuzzes for as long as one wants: FUZZ_SECONDS per target (0: until interrupted),
# all targets side by side. New inputs and findings stay under build/fuzz.
FUZZ_SECONDS ?= 600
fuzz: sanitized
	$(SANITIZER_ENV) scripts/fuzz $(BUILD)/asan/tests/fuzz $(BUILD)/fuzz $(FUZZ_SECONDS)

# Extraction time and memory against copying the map with dd; see bench/run-bench.sh.
bench: native
	bench/run-bench.sh $(BUILD)/bin/tedchunk $(BUILD)/native/bench/generate_map $(BUILD)/bench.md

# Only the programs themselves, natively and for Windows: no GoogleTest, no tests.
programs: deps
	@$(CMAKE_NATIVE) >/dev/null
	@cmake --build $(BUILD)/native -j $(JOBS) --target tedchunk
	@$(CMAKE_WINDOWS) >/dev/null
	@cmake --build $(BUILD)/mingw -j $(JOBS) --target tedchunk PreviewExtractor

# Opens the demo map in PreviewExtractor.exe under Wine; without a display, runs the same
# extraction with tedchunk.
run: programs
	@scripts/run-demo

# The dialog in English and German as docs/dialog-en.png and docs/dialog-de.png.
screenshots: windows
	@scripts/screenshots

clean:
	rm -rf $(BUILD) $(CURDIR)/dist
