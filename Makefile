# The README's commands. Each one does all of its own set-up on a fresh Debian 12 machine.
#   make demo        install dependencies, build, run the main job: the game (headless without a
#                    display), the game through OpenGL display driver 7 (headless, 120 frames),
#                    then the gallery
#   make soak        the game for 20,000 frames under the sanitizers, memory measured
#   make test        install dependencies, build, run every test
#   make asan-test   the tests under AddressSanitizer + UndefinedBehaviorSanitizer
#   make tsan-test   the tests that run threads, under ThreadSanitizer
#   make fuzz-smoke  every fuzz target for a few seconds over its corpus
#   make bench       the benchmarks (three interleaved repetitions each, medians), ending with
#                    all ratio and overhead lines together and their verdict
#   make bench-stability  five interleaved rounds of the run-length and overhead cases
#   make exports     give newly exported symbols their ordinals
#   make format      apply .clang-format to every C++ source and header

JOBS ?= $(shell nproc 2>/dev/null || echo 2)
WERROR ?= OFF
FUZZ_SECONDS ?= 5
CMAKE_FLAGS = -DVEXA_WERROR=$(WERROR)
CTEST_ENV = SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
LSAN_ENV = LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan-suppressions.txt \
  LP_NUM_THREADS=0 MESA_SHADER_CACHE_DISABLE=true
# The two Mesa settings keep llvmpipe on the calling thread and its shader cache off: Mesa's
# worker threads still run when a program exits, and the leak checker, which stops every
# thread to scan it, now and then crashed on one of them (a signal in its tracer, no leak).

# The tests that run several threads: any suite named *Threads, and the suites of thread
# registration, palettes and prototypes (death tests fork and stay out).
TSAN_TESTS ?= *Threads*:ThreadRegistration.*:ImageBankContext.*:PaletteObject.*:PaletteRegistry.*:Prototypes.*:-*DeathTest*

.PHONY: deps demo soak test asan-test tsan-test fuzz-smoke bench bench-stability exports format release debug asan tsan fuzz clean

deps:
	@scripts/install-deps

release: deps
	cmake --preset release $(CMAKE_FLAGS) >/dev/null
	cmake --build --preset release -j $(JOBS)

debug: deps
	cmake --preset debug $(CMAKE_FLAGS) >/dev/null
	cmake --build --preset debug -j $(JOBS)

asan: deps
	cmake --preset asan $(CMAKE_FLAGS) >/dev/null
	cmake --build --preset asan -j $(JOBS)

tsan: deps
	cmake --preset tsan $(CMAKE_FLAGS) >/dev/null
	cmake --build --preset tsan -j $(JOBS)

fuzz: deps
	cmake --preset fuzz $(CMAKE_FLAGS) >/dev/null
	cmake --build --preset fuzz -j $(JOBS)

# With a display the game opens its window (Esc quits); without one it plays headless.
GAME_MODE = $(if $(DISPLAY),--frames 0,--headless --frames 600)
demo: release
	$(CTEST_ENV) build/release/tools/demo/vexa-demo
	$(if $(DISPLAY),,$(CTEST_ENV)) build/release/tools/demo/vexa-demo game $(GAME_MODE) --out $(CURDIR)
	mkdir -p $(CURDIR)/game-driver7
	$(CTEST_ENV) build/release/tools/demo/vexa-demo game --headless --driver 7 --frames 120 \
	  --out $(CURDIR)/game-driver7
	$(CTEST_ENV) build/release/tools/demo/vexa-demo gallery --out $(CURDIR)/gallery.png

test: release
	$(CTEST_ENV) ctest --preset release -j $(JOBS)

# 20,000 frames under AddressSanitizer + UndefinedBehaviorSanitizer: no report, and the resident
# memory at the end within 8 MiB of what it was at frame 1,000 (a 4 MiB quarantine, so that
# freed blocks are reused and the resident size measures what the game holds).
soak: asan
	$(CTEST_ENV) $(LSAN_ENV) UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ASAN_OPTIONS=quarantine_size_mb=4 \
	  build/asan/tools/demo/vexa-demo game --headless --frames 20000 --quiet --soak 8192 \
	  --out build/asan

asan-test: asan
	$(CTEST_ENV) $(LSAN_ENV) ctest --preset asan -j $(JOBS)

tsan-test: tsan
	$(CTEST_ENV) TSAN_OPTIONS=halt_on_error=1 build/tsan/tests/vexa_tests --gtest_filter='$(TSAN_TESTS)'

fuzz-smoke: fuzz
	@$(LSAN_ENV) scripts/fuzz-smoke build/fuzz $(FUZZ_SECONDS)

BENCH_OUT = build/release/bench
# The benchmark program runs on SDL's headless drivers, as its Python peers do: left to choose,
# SDL takes its GL-backed offscreen driver when there is no display, and every present of the
# sprite and window cases would pay for it on our side only.
bench: release
	$(CTEST_ENV) VEXA_COLLIDE_HITS=$(BENCH_OUT)/collide_hits.txt build/release/bench/vexa_bench \
	  --benchmark_min_time=0.1 --benchmark_repetitions=3 \
	  --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true \
	  --benchmark_out=$(BENCH_OUT)/vexa_bench.json --benchmark_out_format=json \
	  --summary_out=$(BENCH_OUT)/summary.txt
	/usr/bin/python3 bench/pygame_masks.py $(BENCH_OUT)/vexa_bench.json $(BENCH_OUT)/summary.txt
	/usr/bin/python3 bench/pillow_resize.py $(BENCH_OUT)/vexa_bench.json $(BENCH_OUT)/summary.txt
	/usr/bin/python3 bench/pygame_sprites.py $(BENCH_OUT)/vexa_bench.json >$(BENCH_OUT)/sprites.txt; \
	  s=$$?; cat $(BENCH_OUT)/sprites.txt; exit $$s
	/usr/bin/python3 bench/pygame_collide.py $(BENCH_OUT)/vexa_bench.json \
	  $(BENCH_OUT)/collide_hits.txt >$(BENCH_OUT)/collide.txt; s=$$?; cat $(BENCH_OUT)/collide.txt; exit $$s
	/usr/bin/python3 bench/game_vs_pygame.py build/release/tools/demo/vexa-demo >$(BENCH_OUT)/game.txt; \
	  s=$$?; cat $(BENCH_OUT)/game.txt; exit $$s
	build/release/bench/vexa_gl_bench 1 | tee $(BENCH_OUT)/gl.txt
	@grep -hE '^(ratio|reference)' $(BENCH_OUT)/sprites.txt $(BENCH_OUT)/collide.txt $(BENCH_OUT)/game.txt \
	  $(BENCH_OUT)/gl.txt \
	  >> $(BENCH_OUT)/summary.txt || true
	@echo; echo "Summary (ours / peer; overhead lines: wrapper / bare call or memcpy; reference lines: other work, no goal):"
	@cat $(BENCH_OUT)/summary.txt
	@scripts/bench-verdict $(BENCH_OUT)/summary.txt

# Five interleaved rounds of the run-length and overhead cases: min/median/max of each ratio.
bench-stability: release
	scripts/bench-stability

exports: deps
	cmake --preset debug $(CMAKE_FLAGS) >/dev/null
	cmake --build --preset debug -j $(JOBS) --target vexa_objs
	cmake --build --preset debug --target exports

FORMAT_DIRS = $(wildcard src include tests fuzz bench tools plugins)
format: deps
	find $(FORMAT_DIRS) -type f \( -name '*.h' -o -name '*.cpp' \) -not -path '*/data/*' \
	  -print0 | xargs -0 clang-format -i

clean:
	rm -rf build
