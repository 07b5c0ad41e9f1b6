# The two commands of the README. Each installs what is missing first.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps build test demo asan tsan fuzz windows clean

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

# The libFuzzer targets (clang, AddressSanitizer), each run for FUZZ_SECONDS from
# its seeds in fuzz/corpus/<target>/. New inputs go to build/fuzz/corpus/, never
# into the seeds; a crash leaves its input in build/fuzz/artifacts/ and fails.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS = package display_reply

fuzz: deps
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
windows: deps
	cmake --preset default
	cmake --build --preset default --target ampsim -j $(JOBS)
	cmake --preset windows-cross
	cmake --build --preset windows-cross -j $(JOBS)
	ctest --preset windows-cross -j $(JOBS)

clean:
	rm -rf build
