# Thin wrapper over CMake presets: `make demo` and `make test` set up what is
# missing, build and run.
JOBS ?= $(shell nproc)
# KESTRIN_WERROR=ON (as CI sets it) makes every compiler warning an error.
KESTRIN_WERROR ?= OFF
CONFIGURE_FLAGS = -DKESTRIN_WERROR=$(KESTRIN_WERROR)

.PHONY: all deps build build32 demo test test64 test32 testasan fuzz bench clean

all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake --preset x64 $(CONFIGURE_FLAGS) >/dev/null
	cmake --build --preset x64 -j $(JOBS)

build32: deps
	cmake --preset x86 $(CONFIGURE_FLAGS) >/dev/null
	cmake --build --preset x86 -j $(JOBS)

# Only what the demo runs: the kestrin target brings the plug-ins and the
# tangent-space provider with it; the test suites wait for `make test`. The
# tool is on by default; a build directory configured without it gets it
# back here, so the demo never runs a stale or missing binary.
demo: deps
	cmake --preset x64 -DKESTRIN_BUILD_TOOLS=ON >/dev/null
	cmake --build --preset x64 -j $(JOBS) --target kestrin
	./build/x64/tools/kestrin demo

test64: build
	ctest --preset x64 -j $(JOBS)

# Where the kernel cannot run 32-bit programs, they run through qemu-user.
test32: build32
	bash scripts/enable-32bit-exec.sh
	ctest --preset x86 -j $(JOBS)

# The whole suite again under AddressSanitizer, UndefinedBehaviorSanitizer
# and LeakSanitizer (64-bit); any report fails the test that caused it.
testasan: deps
	cmake --preset asan $(CONFIGURE_FLAGS) >/dev/null
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

test: test64 test32 testasan

# Each fuzz target for FUZZ_SECONDS (libFuzzer, clang), starting from its
# committed seeds; new inputs and any crash land in build/fuzz/.
FUZZ_SECONDS ?= 60
fuzz: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)
	bash scripts/run-fuzzers.sh build/fuzz $(FUZZ_SECONDS)

# Release build of the benchmarks (64-bit), then the run and its table, the
# shot through the tool, the Python module beside the tool and how soon it
# answers while computing, and how long the shot's pages take to open in
# headless Chromium, then time and memory against the shot's size for the
# tool, the module, the floors, the Blender add-on and a geometry-nodes
# stretch (docs/scaling_*.svg, redrawn); last, the Blender add-on's frame step
# (on the x64 build, where the module is built).
# BENCH_ARGS passes Google Benchmark options, e.g.
# BENCH_ARGS=--benchmark_filter=grid/1M
BENCH_DIR ?= build/bench-release
bench: deps
	cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DKESTRIN_BUILD_BENCH=ON \
		-DKESTRIN_BUILD_TESTS=OFF -DKESTRIN_BUILD_TOOLS=ON -DKESTRIN_BUILD_PYTHON=ON >/dev/null
	cmake --build $(BENCH_DIR) -j $(JOBS) --target kestrin_bench kestrin_shot_bench kestrin_make_shot kestrin_floor kestrin_plan_bench _kestrin \
		kestrin_tension
	./$(BENCH_DIR)/bench/kestrin_bench $(BENCH_ARGS)
	./$(BENCH_DIR)/bench/kestrin_shot_bench
	./$(BENCH_DIR)/bench/kestrin_plan_bench
	/usr/bin/python3 bench/python/module_shot.py $(BENCH_DIR)
	/usr/bin/python3 bench/python/module_responsiveness.py $(BENCH_DIR)
	node bench/page/page_load.js $(BENCH_DIR)
	/usr/bin/python3 bench/figures/scaling.py $(BENCH_DIR) docs
	cmake --preset x64 $(CONFIGURE_FLAGS) >/dev/null
	cmake --build --preset x64 -j $(JOBS) --target kestrin_tension
	bash bench/blender/run.sh build/x64

clean:
	rm -rf build out
