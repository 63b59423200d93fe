# make run   - install what building and running need, build, start Pelmora
# make test  - add the test lab, then the whole test suite, headless
# make check - the unit tests, installing nothing
# make bench - start-up, latency and memory figures
# make deb   - the Debian package, in build/deb
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all setup build run test check bench clean deb
all: build

# The package lists (tools/packages-*.txt) that a target needs; what a
# target sets here holds for everything it makes first.
SETUP_LISTS = build
test bench soak fuzz: SETUP_LISTS = build headless deb test
deb: SETUP_LISTS = build deb
setup:
	@tools/setup.sh $(SETUP_LISTS)

build: setup
	@cmake -S . -B $(BUILD) -G Ninja >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@tools/run.sh $(BUILD)/bin/pelmora

# Every test runs: one that would be skipped for a missing tool fails.
test: export PELMORA_REQUIRE_ALL = 1
test: build
	@tools/pipewire-alsa.sh $(BUILD)/lab/pipewire-alsa
	@tools/session.sh ctest --test-dir $(BUILD) --output-on-failure -j 1

check:
	@tools/setup.sh --check build
	@cmake -S . -B $(BUILD) -G Ninja >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)
	@ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) -L unit

# The sound figures on PulseAudio, then on PipeWire as a PipeWire desktop
# reaches it (pipewire-alsa) and through pipewire-pulse.
bench: export PELMORA_PIPEWIRE_ALSA = $(abspath $(BUILD))/lab/pipewire-alsa
bench: build
	@tools/pipewire-alsa.sh $(BUILD)/lab/pipewire-alsa
	@tools/session.sh $(BUILD)/bench/pelmora_bench $(BUILD)
	@echo "--- the same sound figures on PipeWire, through pipewire-alsa"
	@PELMORA_SOUND_SERVER=pipewire tools/session.sh $(BUILD)/bench/pelmora_bench $(BUILD) sound click
	@echo "--- the same sound figures on PipeWire, through pipewire-pulse"
	@PELMORA_SOUND_SERVER=pipewire-pulse tools/session.sh $(BUILD)/bench/pelmora_bench $(BUILD) sound click

clean:
	rm -rf $(BUILD)

deb: setup
	@echo "Building the Debian package (a few minutes)..."
	@deb=$$(tools/build-deb.sh $(BUILD)) && echo "The package is $$deb" && \
	    echo "Install it with: sudo apt install $$deb"

# make install   - build, then install for this user, without root: the
#                  program folder, a menu entry and the icon; the record is kept
# make uninstall - remove that again, keeping the record
.PHONY: install uninstall
install: build
	@tools/install.sh $(BUILD)

uninstall:
	@tools/install.sh --uninstall

# --- Sanitizers -------------------------------------------------------------
# make test SANITIZE=1 - the whole suite, and the program it starts, built
#                        with AddressSanitizer (leak checking included) and
#                        UndefinedBehaviorSanitizer, in build-asan
ifeq ($(SANITIZE),1)
BUILD = build-asan
.PHONY: sanitize-configure
build: sanitize-configure
sanitize-configure: setup
	@cmake -S . -B $(BUILD) -G Ninja -DPELMORA_SANITIZE=ON >/dev/null
# Allocations keep the fast unwinder: the full one adds about 40 ms to every
# ALSA open, more than the sound tests' timing allows. Dynamic TLS is not
# tracked: the runtime misreads Debian 12's glibc there and now and then
# crashes the leak check at exit (google/sanitizers#1322); the check still
# scans static TLS, the stacks and the heap.
export ASAN_OPTIONS = detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:intercept_tls_get_addr=0
export UBSAN_OPTIONS = print_stacktrace=1:halt_on_error=1
# A test that checks the program's error output must not see the tally of
# suppressed leaks.
export LSAN_OPTIONS = suppressions=$(CURDIR)/tools/sanitizer.supp:print_suppressions=0
endif
# ----------------------------------------------------------------------------

# --- Fuzzing ------------------------------------------------------------------
# make fuzz - each fuzz target for FUZZ_SECONDS (60 unless told) from a scratch
#             copy of its seeds in fuzz/corpus, with its figures at the end
# The targets are built by clang in a folder of their own; make test builds
# them too and runs each for 15 s as part of the suite.
FUZZ_SECONDS ?= 60
FUZZ_BUILD = $(BUILD)/fuzz
.PHONY: fuzz fuzz-build
fuzz-build: setup
	@cmake -S . -B $(FUZZ_BUILD) -G Ninja -DPELMORA_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)

fuzz: fuzz-build
	@for target in profile number; do \
	    fuzz/run.sh $(FUZZ_BUILD)/$${target}_fuzz fuzz/corpus/$$target $(FUZZ_SECONDS) || exit 1; \
	done

test: fuzz-build
# ------------------------------------------------------------------------------

# --- Soak -------------------------------------------------------------------
# make soak - 5,000 random inputs on the real windows (make test runs 500);
#             PELMORA_SOAK_SEED replays a run
.PHONY: soak
soak: build
	@PELMORA_SOAK_EVENTS=$${PELMORA_SOAK_EVENTS:-5000} tools/session.sh $(BUILD)/tests/soak_test
# ---------------------------------------------------------------------------
