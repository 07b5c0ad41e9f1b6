# The two commands of the README, and the other targets. Each installs what
# it is missing first (scripts/install-deps, by group).
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
# The branch check-format-changed compares with (default: origin/main, else
# main, else HEAD~).
BASE ?=

.PHONY: all deps build test package demo demo-usb bench soak asan tsan fuzz windows check check-format-changed clean

all: build

deps:
	@scripts/install-deps base ui remote

build: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS)

test: build
	@scripts/install-deps desktop a11y wm
	ctest --preset default -j $(JOBS)

# The Debian package, amppanel_<version>_amd64.deb in build/default, then its
# checks (contents unpacked with dpkg -x, dependencies, lintian).
package: build
	@scripts/install-deps package
	cd build/default && cpack -G DEB
	scripts/check-package

demo: build
	@scripts/install-deps demo
	@scripts/demo

# AmpPanel_USB on the stand-in D2XX driver (the virtual amplifier behind it).
demo-usb: build
	@scripts/install-deps demo
	@scripts/demo-usb

# The benchmarks as one table: frames per second against the line's limit and
# CPU per frame (scripts/bench). Not part of 'make test': it takes about a minute.
bench: build
	@scripts/bench build/default

# AmpPanel_232 under Xvfb against the virtual amplifier through a cycle of line
# faults for SOAK_MINUTES (scripts/soak --help tells what it checks).
SOAK_MINUTES ?= 10

soak: build
	@scripts/install-deps soak
	@scripts/soak --minutes $(SOAK_MINUTES)

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

# The libFuzzer targets (clang, AddressSanitizer), each run for FUZZ_SECONDS from
# its seeds in fuzz/corpus/<target>/. New inputs go to build/fuzz/corpus/, never
# into the seeds; a crash leaves its input in build/fuzz/artifacts/ and fails.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS = package display_reply

fuzz:
	@scripts/install-deps base fuzz
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)
	@mkdir -p build/fuzz/artifacts
	@set -e; for t in $(FUZZ_TARGETS); do \
	  mkdir -p build/fuzz/corpus/$$t; \
	  echo "== fuzz_$$t for $(FUZZ_SECONDS) s"; \
	  build/fuzz/fuzz/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 \
	    -print_final_stats=1 -artifact_prefix=build/fuzz/artifacts/$$t- \
	    build/fuzz/corpus/$$t fuzz/corpus/$$t; \
	done

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
