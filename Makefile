# Front door: `make run` and `make test` are the whole set-up on a fresh Debian 12.
BUILD      ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD ?= build-bench
JOBS       ?= $(shell nproc)
CMAKE_GEN  := -G Ninja

.PHONY: all deps build run test test-asan test-tsan bench format clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# The window and cartola-list with what they link: the tests wait for `make test`.
run: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target cartola cartola-list
	$(BUILD)/app/cartola

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

$(ASAN_BUILD)/build.ninja: | deps
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DCARTOLA_SANITIZE=ON

test-asan: deps $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)

# The libraries' tests under ThreadSanitizer: the scan's and the tree walk's
# threads, the sort's slices, the date thread. The window's tests stay out:
# Qt and its platform plugins are not instrumented, so a window run would
# report the toolkit's own threads, not ours. The portal test starts its
# stand-in portal from a process whose wait thread runs: die_after_fork=0.
TSAN_BUILD ?= build-tsan
TSAN_TESTS := platform_tests portal_tests fileutils_tests listing_tests zip_tests export_tests cli_tests
$(TSAN_BUILD)/build.ninja: | deps
	cmake -S . -B $(TSAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCARTOLA_TSAN=ON -DCARTOLA_BENCH=OFF

.PHONY: test-tsan
test-tsan: deps $(TSAN_BUILD)/build.ninja
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target $(TSAN_TESTS)
	cd $(TSAN_BUILD) && QT_QPA_PLATFORM=offscreen \
	  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 die_after_fork=0 suppressions=$(CURDIR)/tests/tsan.supp" \
	  ctest --output-on-failure -j $(JOBS) -L '^($(subst $(eval) ,|,$(TSAN_TESTS)))$$'

# Release build; every bench_* executable runs, then the comparisons with
# command-line peers (bench/compare.sh; bench/README.md explains its tables).
bench: deps
	@scripts/install-deps hyperfine unzip strace time locales fd-find tree
	cmake -S . -B $(BENCH_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DCARTOLA_TESTS=OFF
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target benchmarks cartola-list
	@$(BENCH_BUILD)/bench/make-bench-data >/dev/null
	bench/run-benchmarks $(BENCH_BUILD)
	bench/compare.sh $(BENCH_BUILD)

# The exports read back by other programs; slow, installs an office suite.
.PHONY: interop
interop: deps $(BUILD)/build.ninja
	BUILD=$(BUILD) scripts/interop

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD)

# libFuzzer targets in their own clang build; `make fuzz FUZZ_SECONDS=N` runs each N seconds.
FUZZ_BUILD   ?= build-fuzz
FUZZ_SECONDS ?= 60
.PHONY: fuzz fuzz-deps
fuzz-deps: deps
	@scripts/install-deps clang libclang-rt-14-dev

$(FUZZ_BUILD)/build.ninja: | fuzz-deps
	cmake -S . -B $(FUZZ_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	  -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link -DCARTOLA_SANITIZE=ON -DCARTOLA_FUZZ=ON -DCARTOLA_BENCH=OFF

fuzz: fuzz-deps $(FUZZ_BUILD)/build.ninja
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers
	tests/fuzz/run-fuzzers $(FUZZ_BUILD) $(FUZZ_SECONDS)

# Installs the programs, launcher, icon, metainfo and man pages below PREFIX (DESTDIR is honoured).
PREFIX ?= /usr/local
.PHONY: install check-desktop package package-check screenshot
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# The launcher and the metainfo through the freedesktop validators.
check-desktop:
	@scripts/install-deps desktop-file-utils appstream
	scripts/check-desktop-files data

# A Debian package from a release build installed below /usr.
PACKAGE_BUILD ?= build-package
package: deps
	cmake -S . -B $(PACKAGE_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DCARTOLA_TESTS=OFF -DCARTOLA_BENCH=OFF
	cmake --build $(PACKAGE_BUILD) -j $(JOBS)
	cd $(PACKAGE_BUILD) && cpack -G DEB
	@ls -1 $(PACKAGE_BUILD)/cartola_*.deb

# Installs the package on a fresh Debian 12 made with debootstrap and starts the window there; slow.
package-check: package
	@scripts/install-deps debootstrap
	scripts/package-check $(PACKAGE_BUILD)

# docs/screenshot.png: the window over a prepared home folder, under Xvfb.
SCREENSHOT_HOME ?= /tmp/home
screenshot: deps $(BUILD)/build.ninja
	@scripts/install-deps xvfb xauth python3 fonts-dejavu-core
	cmake --build $(BUILD) -j $(JOBS) --target cartola_screenshot
	scripts/make-screenshot-home $(SCREENSHOT_HOME)
	xvfb-run -a -s "-screen 0 1280x1024x24" $(BUILD)/tools/cartola_screenshot \
	  $(SCREENSHOT_HOME) docs/screenshot.png Holiday "Sunset over the bay.png"
