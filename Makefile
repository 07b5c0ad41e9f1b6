# The two commands of the README, and the other targets. Each installs what
# it is missing first (scripts/install-deps, by group).
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
# The branch check-format-changed compares with (default: origin/main, else
# main, else HEAD~).
BASE ?=

.PHONY: all deps build test demo asan tsan windows check check-format-changed clean

all: build

deps:
	@scripts/install-deps base ui

build: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS)

test: build
	ctest --preset default -j $(JOBS)

demo: build
	@scripts/install-deps demo
	@scripts/demo

asan:
	@scripts/install-deps base ui sanitize
	cmake --preset asan-ubsan
	cmake --build --preset asan-ubsan -j $(JOBS)
	ctest --preset asan-ubsan -j $(JOBS)

tsan:
	@scripts/install-deps base sanitize
	cmake --preset tsan
	cmake --build --preset tsan -j $(JOBS)
	ctest --preset tsan -j $(JOBS)

# The core, the Windows platform layer and their tests, cross-built for 64-bit
# Windows and run under wine. The serial link tests talk to the native ampsim.
windows:
	@scripts/install-deps base windows
	cmake --preset default
	cmake --build --preset default --target ampsim -j $(JOBS)
	cmake --preset windows-cross
	cmake --build --preset windows-cross -j $(JOBS)
	ctest --preset windows-cross -j $(JOBS)

# Formatting, clang-tidy on the Qt-free libraries (from the default preset's
# compile commands: configuring is enough), the layer and no-Qt rules.
check:
	@scripts/install-deps base check
	cmake --preset default > /dev/null
	JOBS=$(JOBS) scripts/check

# Before a commit: the formatting of the C++ files changed since BASE only.
check-format-changed:
	@scripts/install-deps check
	@scripts/check format-changed $(BASE)

clean:
	rm -rf build
