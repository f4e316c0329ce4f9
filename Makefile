# The commands people type. Everything is built by CMake into build/.
BUILD    ?= build
JOBS     ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test bench capture clean fuzz sanitize install web web-serve

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# Build, generate the data set into build/demo and play the presentation there.
# The presentation ends every run with status 1; scripts/play makes that
# success once the presentation has started, and fails a start that never
# got there (with the program's message last), a crash or a signal.
run: build
	@cd $(BUILD)/demo && $(CURDIR)/scripts/play ../marrow

# The virtual X server of the tests. -noreset: Xvfb otherwise resets each
# time its last client disconnects and refuses the clients that connect
# meanwhile, and the tests' short-lived clients (xdotool, test windows) come
# and go all the time.
XVFB = xvfb-run -a -s "-screen 0 1280x1024x24 -noreset"

# Every test, headless: windows open on a virtual X server, sound goes to
# SDL's dummy driver.
test: build web
	cd $(BUILD) && SDL_AUDIODRIVER=dummy $(XVFB) \
		ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD)

# The scene library for other programs: liborin.a, orin.h and orin.pc under
# PREFIX (lib/, include/, lib/pkgconfig/).
PREFIX ?= /usr/local
install: configure
	@cmake --build $(BUILD) -j $(JOBS) --target orin
	cmake --install $(BUILD) --prefix $(PREFIX)

# Google Benchmark figures: one table, also written as JSON. The presentation
# benchmarks run on the default data set (made first if it is missing).
# BENCH_QUICK=1 runs every row once, as briefly as each allows: a check that
# the benchmarks run (CI), not figures to quote.
BENCH_QUICK ?=
BENCH_FLAGS = $(if $(BENCH_QUICK),--benchmark_repetitions=1 --benchmark_min_time=0.01)
bench: configure
	@cmake --build $(BUILD) -j $(JOBS) --target marrow-bench demo-data
	@mkdir -p $(BUILD)/bench
	$(BUILD)/bench/marrow-bench --data $(BUILD)/demo $(BENCH_FLAGS) \
		--benchmark_out=$(BUILD)/bench/results.json --benchmark_out_format=json

# A contact sheet of the whole presentation (one thumbnail per interval).
capture: build
	@mkdir -p $(BUILD)/capture
	cd $(BUILD)/demo && ../marrow-capture --fps 60 --sheet ../capture/sheet.png
	@echo "wrote $(BUILD)/capture/sheet.png"

# libFuzzer targets (clang, AddressSanitizer + UndefinedBehaviorSanitizer) in
# their own tree: the 3DS world pass, world and motion, the keyframer update
# of a loaded scene, the JPEG decoding core and the MP3 open/decode path,
# each run for FUZZ_SECONDS. Corpora grow in $(FUZZ_BUILD)/corpus; a finding
# is left in $(FUZZ_BUILD)/artifacts.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DMARROW_FUZZ=ON -DMARROW_SANITIZE=ON >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_world fuzz_motion fuzz_update fuzz_jpeg fuzz_mp3 fuzz-seeds marrow-assets
	scripts/run-fuzz $(FUZZ_BUILD) $(FUZZ_SECONDS)

# Every test under AddressSanitizer + UndefinedBehaviorSanitizer (with
# float-cast-overflow and signed overflow; the first report aborts the test),
# a headless pass over the whole presentation (every frame from 0 to 262 s at
# 30 frames a second) in the same build, then the console's threads under
# ThreadSanitizer, with the frame worker pool's tests, the effects' tests (run
# with three frame threads) and a headless pass on two threads. Any report
# fails.
#
# Mesa's DRI driver, loaded when SDL uses OpenGL on the virtual X server, is
# kept mapped until exit (scripts/keep-dri-loaded.c): unloaded, the blocks
# its globals hold would be reported from an unnamed module. The preload
# calls no allocator, so the sanitizer runtime need not come first.
SANITIZE_BUILD ?= build-sanitize
TSAN_BUILD ?= build-tsan
KEEP_DRI = $(CURDIR)/$(SANITIZE_BUILD)/keep-dri-loaded.so
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1:verify_asan_link_order=0 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0 \
	LD_PRELOAD=$(KEEP_DRI)
sanitize: deps
	@cmake -S . -B $(SANITIZE_BUILD) -DMARROW_SANITIZE=ON >/dev/null
	@cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	@cc -shared -fPIC -O2 -Wall -Wextra -Werror -o $(KEEP_DRI) scripts/keep-dri-loaded.c -ldl
	cd $(SANITIZE_BUILD) && $(SANITIZER_ENV) SDL_AUDIODRIVER=dummy \
		$(XVFB) ctest --output-on-failure -j $(JOBS)
	cd $(SANITIZE_BUILD) && $(SANITIZER_ENV) ./marrow-capture --data demo --fps 30 --from 0 --to 262 \
		--hashes >capture-hashes.txt
	@echo "headless pass: $$(wc -l <$(SANITIZE_BUILD)/capture-hashes.txt) frames"
	@cmake -S . -B $(TSAN_BUILD) -DMARROW_TSAN=ON >/dev/null
	@cmake --build $(TSAN_BUILD) -j $(JOBS) --target test_console test_common test_effects marrow-capture
	cd $(TSAN_BUILD) && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 tests/test_console
	cd $(TSAN_BUILD) && TSAN_OPTIONS=halt_on_error=1 tests/test_common --gtest_filter='FrameWorkers*'
	cd $(TSAN_BUILD) && TSAN_OPTIONS=halt_on_error=1 tests/test_effects
	cd $(TSAN_BUILD) && TSAN_OPTIONS=halt_on_error=1 ./marrow-capture --data $(CURDIR)/$(SANITIZE_BUILD)/demo \
		--threads 2 --fps 6 --from 0 --to 262 --hashes >capture-hashes.txt
	@echo "headless pass on two threads under ThreadSanitizer: $$(wc -l <$(TSAN_BUILD)/capture-hashes.txt) frames"

# The presentation in a web browser, built with Debian's emscripten into
# $(WEB): the page, its script, the WebAssembly program and the data packed
# from WEB_DATA (the generated data set unless given), images decoded by the
# program's own loader (marrow-webdata). No emscripten port is used. A data
# set the program would refuse at start is refused first (scripts/check-data),
# naming the file.
#
# Debian's emscripten runs its JavaScript tools with the `node` on the PATH,
# which finds Debian's modules only through NODE_PATH. Its cache is frozen
# (prebuilt under /usr/share/emscripten/cache): our own EM_CACHE links to
# it, so only the lock file is written, in the build tree.
WEB      ?= $(BUILD)/web
WEB_OBJ  ?= $(BUILD)/web-obj
WEB_DATA ?= $(BUILD)/demo
EM_SYSTEM_CACHE ?= /usr/share/emscripten/cache
EMENV = NODE_PATH=/usr/share/nodejs$(if $(NODE_PATH),:$(NODE_PATH)) EM_CACHE=$(CURDIR)/$(WEB_OBJ)/em-cache
web: configure
	@cmake --build $(BUILD) -j $(JOBS) --target marrow-webdata marrow-capture demo-data
	@scripts/check-data $(BUILD)/marrow-capture $(WEB_DATA)
	@mkdir -p $(WEB_OBJ)/em-cache $(WEB)/music
	@ln -sfn $(EM_SYSTEM_CACHE)/sysroot $(WEB_OBJ)/em-cache/sysroot
	@ln -sfn $(EM_SYSTEM_CACHE)/build $(WEB_OBJ)/em-cache/build
	@cp $(EM_SYSTEM_CACHE)/sysroot_install.stamp $(WEB_OBJ)/em-cache/
	@$(EMENV) emcmake cmake -S web -B $(WEB_OBJ) >/dev/null
	@$(EMENV) cmake --build $(WEB_OBJ) -j $(JOBS)
	@rm -rf $(WEB_OBJ)/fs
	@$(BUILD)/marrow-webdata $(WEB_DATA) $(WEB_OBJ)/fs
	@$(EMENV) python3 $$(em-config EMSCRIPTEN_ROOT)/tools/file_packager.py \
		$(WEB)/marrow.data --preload $(WEB_OBJ)/fs@/ --js-output=$(WEB)/marrow-data.js >/dev/null
	@if [ -f $(WEB_DATA)/music/demo.mp3 ]; then cp $(WEB_DATA)/music/demo.mp3 $(WEB)/music/; \
	 else rm -f $(WEB)/music/demo.mp3; echo "web: $(WEB_DATA)/music/demo.mp3 is missing; the page will say so"; fi
	@cp web/index.html web/marrow-page.js web/style.css $(WEB_OBJ)/marrow.js $(WEB_OBJ)/marrow.wasm $(WEB)/
	@echo "web: the page is in $(WEB)/ (make web-serve shows it)"

# Serves the page on this machine (Python's http.server).
WEB_PORT ?= 8022
web-serve: web
	@echo "Open http://localhost:$(WEB_PORT)/ (Ctrl-C stops the server)"
	@python3 -m http.server $(WEB_PORT) --bind 127.0.0.1 --directory $(WEB)
