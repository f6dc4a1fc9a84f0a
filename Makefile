# Set-up and everyday commands; see README.md.
BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps configure build test run bench screenshots clean

all: build

deps:
	@./scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@env -u MAKEFLAGS -u MAKELEVEL cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

run: build
	@./scripts/run-examples.sh $(BUILD_DIR)

bench: build
	@$(BUILD_DIR)/bench/plinthworks-bench
	@$(BUILD_DIR)/bench/plinthworks-bench-window

# Pictures of the real widgets for the README and the manual.
screenshots: build
	@$(BUILD_DIR)/plinthworks-screenshots examples docs/images

clean:
	rm -rf $(BUILD_DIR)
