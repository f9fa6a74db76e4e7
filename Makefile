# Thin wrapper over CMake presets: `make demo` and `make test` set up what is
# missing, build and run.
JOBS ?= $(shell nproc)

.PHONY: all deps build build32 demo test test64 test32 clean

all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake --preset x64 >/dev/null
	cmake --build --preset x64 -j $(JOBS)

build32: deps
	cmake --preset x86 >/dev/null
	cmake --build --preset x86 -j $(JOBS)

demo: build
	./build/x64/tools/kestrin demo

test64: build
	ctest --preset x64 -j $(JOBS)

test32: build32
	ctest --preset x86 -j $(JOBS)

test: test64 test32

clean:
	rm -rf build out
