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

# make install   - build, then install for this user, without root: the
#                  program folder, a menu entry and the icon; the record is kept
# make uninstall - remove that again, keeping the record
.PHONY: install uninstall
install: build
	@tools/install.sh $(BUILD)

uninstall:
	@tools/install.sh --uninstall
