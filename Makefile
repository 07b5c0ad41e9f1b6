# The two commands of the README. Each installs what is missing first.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps build test demo asan tsan windows clean

all: build

deps:
	@scripts/install-deps

build: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS)

test: build
	ctest --preset default -j $(JOBS)

demo: build
	@scripts/demo

asan: deps
	cmake --preset asan-ubsan
	cmake --build --preset asan-ubsan -j $(JOBS)
	ctest --preset asan-ubsan -j $(JOBS)

tsan: deps
	cmake --preset tsan
	cmake --build --preset tsan -j $(JOBS)
	ctest --preset tsan -j $(JOBS)

# The core, the Windows platform layer and their tests, cross-built for 64-bit
# Windows and run under wine. The serial link tests talk to the native ampsim.
windows: deps
	cmake --preset default
	cmake --build --preset default --target ampsim -j $(JOBS)
	cmake --preset windows-cross
	cmake --build --preset windows-cross -j $(JOBS)
	ctest --preset windows-cross -j $(JOBS)

clean:
	rm -rf build
