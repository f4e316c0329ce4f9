# The commands people type. Everything is built by CMake into build/.
BUILD    ?= build
JOBS     ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test bench capture clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# Build, generate the data set into build/demo and play the presentation there.
run: build
	cd $(BUILD)/demo && ../marrow

# Every test, headless: windows open on a virtual X server, sound goes to
# SDL's dummy driver.
test: build
	cd $(BUILD) && SDL_AUDIODRIVER=dummy xvfb-run -a -s "-screen 0 1280x1024x24" \
		ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD)

# Google Benchmark figures: one table, also written as JSON. The presentation
# benchmarks run on the default data set (made first if it is missing).
bench: configure
	@cmake --build $(BUILD) -j $(JOBS) --target marrow-bench demo-data
	@mkdir -p $(BUILD)/bench
	$(BUILD)/bench/marrow-bench --data $(BUILD)/demo --benchmark_out=$(BUILD)/bench/results.json --benchmark_out_format=json

# A contact sheet of the whole presentation (one thumbnail per interval).
capture: build
	@mkdir -p $(BUILD)/capture
	cd $(BUILD)/demo && ../marrow-capture --fps 60 --sheet ../capture/sheet.png
	@echo "wrote $(BUILD)/capture/sheet.png"
