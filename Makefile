# make run   - install what is missing, build, start Pelmora
# make test  - the same set-up, then the whole test suite, headless
# make bench - start-up, latency and memory figures
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all setup build run test bench clean
all: build

setup:
	@tools/setup.sh

build: setup
	@cmake -S . -B $(BUILD) -G Ninja >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@tools/run.sh $(BUILD)/bin/pelmora

test: build
	@tools/session.sh ctest --test-dir $(BUILD) --output-on-failure -j 1

bench: build
	@tools/session.sh $(BUILD)/bench/pelmora_bench $(BUILD)

clean:
	rm -rf $(BUILD)
