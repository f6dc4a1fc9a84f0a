# Set-up and everyday commands; see README.md.
BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

SANITIZE_DIR ?= build-sanitize
FUZZ_DIR ?= build-fuzz
# Seconds each fuzz target runs in `make fuzz`.
FUZZ_TIME ?= 60

.PHONY: all deps configure build test test-sanitize fuzz run bench screenshots clean

all: build

deps:
	@./scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@env -u MAKEFLAGS -u MAKELEVEL cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# The whole test suite built with clang under the address and undefined
# behaviour sanitizers, in a build folder of its own.
test-sanitize: deps
	@cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DCMAKE_CXX_COMPILER=clang++ \
		"-DCMAKE_CXX_FLAGS=-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined" \
		"-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined" >/dev/null
	@env -u MAKEFLAGS -u MAKELEVEL cmake --build $(SANITIZE_DIR) -j $(JOBS)
	@cd $(SANITIZE_DIR) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:hard_rss_limit_mb=6000 \
		LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizer/lsan.supp:print_suppressions=0 \
		UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --output-on-failure -j $(JOBS)

# Every fuzz target for FUZZ_TIME seconds, two at a time (libFuzzer, clang).
fuzz: deps
	@cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DCMAKE_CXX_COMPILER=clang++ -DPLINTHWORKS_FUZZ=ON \
		"-DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer" \
		"-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined" >/dev/null
	@env -u MAKEFLAGS -u MAKELEVEL cmake --build $(FUZZ_DIR) -j $(JOBS) --target fuzz-all
	@./scripts/run-fuzzers.sh $(FUZZ_DIR) $(FUZZ_TIME)

run: build
	@./scripts/run-examples.sh $(BUILD_DIR)

bench: build
	@$(BUILD_DIR)/bench/plinthworks-bench $(if $(shell command -v valgrind),--instructions)
	@$(BUILD_DIR)/bench/plinthworks-bench-window

# Pictures of the real widgets for the README and the manual.
screenshots: build
	@$(BUILD_DIR)/plinthworks-screenshots examples docs/images

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(FUZZ_DIR)
