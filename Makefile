# The two commands of the README: `make run` and `make test`. Both install what is missing first.
PRESET ?= release
JOBS ?= $(shell nproc)
BUILD_DIR := build/$(PRESET)
FUZZ_SECONDS ?= 60

.PHONY: all deps build test run screenshots fuzz-build fuzz asan tsan format clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD_DIR)/build.ninja: CMakeLists.txt CMakePresets.json | deps
	@cmake --preset $(PRESET) >/dev/null

build: deps $(BUILD_DIR)/build.ninja
	@cmake --build --preset $(PRESET) --parallel $(JOBS)

test: build
	@ctest --preset $(PRESET) --parallel $(JOBS)

# The window; without a display the program says so in one line and names rlg.
run: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then exec $(BUILD_DIR)/src/shell/reelgrab; \
	else $(BUILD_DIR)/src/shell/reelgrab; true; fi

screenshots: build
	@scripts/screenshots.sh

# Sanitizer runs of the whole suite.
asan:
	@$(MAKE) --no-print-directory test PRESET=asan
tsan:
	@$(MAKE) --no-print-directory test PRESET=tsan

# libFuzzer targets (clang); `make fuzz` runs each for FUZZ_SECONDS on a scratch copy of its seeds.
fuzz-build:
	@scripts/install-deps.sh --fuzz
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz --parallel $(JOBS)

fuzz: fuzz-build
	@scripts/run-fuzzers.sh build/fuzz $(FUZZ_SECONDS)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf build
