# Entry points: build, run, test, test-asan, bench. Each installs what is
# missing first (scripts/install-deps is fast when nothing is).
BUILD      ?= build
ASAN_BUILD ?= build-asan
DATA       ?= data
JOBS       ?= $(shell nproc)

.PHONY: deps configure build run test test-asan bench bench-large fuzz install package clean

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@scripts/run-demo $(BUILD) $(DATA)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan: deps
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	  -DVENDRIK_SANITIZE=ON -DVENDRIK_GUI=OFF -DVENDRIK_BENCH=OFF >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

# Installs under PREFIX (DESTDIR, when set, is put before it).
PREFIX ?= /usr/local
install: build
	@cmake --install $(BUILD) --prefix $(PREFIX)

# The Debian package, in $(BUILD)/.
package: build
	@cd $(BUILD) && cpack -G DEB

bench: build
	@$(BUILD)/bin/kestrel-bench

# The same with 1,000,000 records as well (about half an hour on two cores).
bench-large: build
	@$(BUILD)/bin/kestrel-bench --large

# Runs the condition language fuzzer (clang, libFuzzer) for FUZZ_SECONDS.
FUZZ_SECONDS ?= 600
fuzz:
	@scripts/fuzz-cond $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-fuzz
