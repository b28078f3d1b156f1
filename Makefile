# Thin targets over CMake; see README.md.
#   make deps    install the Debian packages that are missing (apt-get)
#   make build   Release build in build/
#   make demo    build, then convert the bundled examples into build/demo-out
#   make test    build and run every test, then the sanitizer build's tests (clang,
#                with the fuzz corpus replayed), the threaded tests under
#                ThreadSanitizer and TEST_FUZZ_SECONDS (60) of fuzzing per
#                target; a table of the suites at the end (CTEST_ARGS="-R NAME"
#                narrows the tests)
#   make bench   build, then the whole-file benchmarks and Google Benchmark
#   make screenshots  pictures of the desktop program's windows in docs/ (under Xvfb)
#   make examples  write examples/ again with the project's own writer
#   make fuzz    the fuzz targets of the sanitizer build, the corpus replayed, then
#                FUZZ_SECONDS (600) of fuzzing per target, for longer runs
#   make deps-windows  install the cross compiler, Wine and what their tests need
#   make build-windows  cross build for Windows in build-win/ (MinGW-w64)
#   make test-windows  cross build, then run it under Wine against the native build
#   make screenshots-windows  the picture of the Windows main window in docs/ (Wine, Xvfb)

BUILD ?= build
ASAN_BUILD ?= build-asan
# The sanitizer build is clang's, so that the fuzz targets link in it too.
ASAN_CXX ?= clang++-14
TSAN_BUILD ?= build-tsan
TEST_FUZZ_SECONDS ?= 60
# The three targets fuzz at once in make test: a minute in all on two cores.
TEST_FUZZ_JOBS ?= 3
FUZZ_SECONDS ?= 600
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
PACKAGES := cmake g++ ninja-build make libgtest-dev libbenchmark-dev time clang-14 libclang-rt-14-dev \
  qt6-base-dev qt6-qpa-plugins qt6-translations-l10n xvfb xauth fonts-ipafont-gothic desktop-file-utils strace parallel
# Warnings are errors in CI.
WERROR := $(if $(filter true,$(CI)),ON,OFF)
CLI := $(BUILD)/src/tessaly-cli
DEMO_OUT := $(BUILD)/demo-out

# Ninja when it is there; an existing build folder keeps the generator it has.
generator = $(if $(wildcard $(1)/CMakeCache.txt),,$(if $(shell command -v ninja),-G Ninja,))

.PHONY: deps-windows configure-windows build-windows test-windows screenshots-windows
.PHONY: all deps configure build demo test test-plain test-asan test-tsan test-fuzz test-kill configure-asan configure-tsan
.PHONY: asan-compiler bench examples
.PHONY: screenshots fuzz clean

all: build

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -z "$$missing" ]; then echo "deps: everything is installed"; exit 0; fi; \
	if [ "$$(id -u)" = 0 ]; then sudo=""; \
	elif command -v sudo >/dev/null; then sudo="sudo"; \
	else echo "deps: missing:$$missing; run as root (apt-get needs it)" >&2; exit 1; fi; \
	echo "deps: installing$$missing"; \
	$$sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q && \
	$$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $$missing

configure:
	cmake -S . -B $(BUILD) $(call generator,$(BUILD)) -DCMAKE_BUILD_TYPE=Release -DTESSALY_WERROR=$(WERROR)

build: configure
	cmake --build $(BUILD) -j$(JOBS)

# The demo needs the command line only.
demo: configure
	cmake --build $(BUILD) -j$(JOBS) --target tessaly-cli
	@rm -rf $(DEMO_OUT) && mkdir -p $(DEMO_OUT)
	@echo "== The example plan before conversion"
	$(CLI) --info examples/plan.jww
	@echo
	@echo "== Converting examples/ into $(DEMO_OUT)"
	$(CLI) -o $(DEMO_OUT) examples
	@echo
	@echo "== The converted plan: no dimensions left, lines, texts and points instead"
	$(CLI) --info $(DEMO_OUT)/plan.jww

# The suites of make test, one line each: every suite runs even when one before
# it failed, and records its counts in TEST_RESULTS; the summary then shows
# them all, and fails when any suite did. (See tools/suite.sh.)
TEST_RESULTS ?= build-results
export TEST_RESULTS
CTEST_ARGS ?=
suite = tools/suite.sh $(1) -- $(MAKE) --no-print-directory $(1)

test:
	@rm -f $(TEST_RESULTS)/order
	@$(call suite,test-plain)
	@$(call suite,test-kill)
	@$(call suite,test-asan)
	@$(call suite,test-tsan)
	@$(call suite,test-fuzz)
	@tools/summary.sh $(TEST_RESULTS)

test-plain: build
	@tools/ctest.sh $(BUILD) -j$(JOBS) $(CTEST_ARGS)

# The command line killed at every point of its runs (strace's fault
# injection), and the order of the steps that keep a drawing safe when the
# power goes. Counts kill points. (See tests/kill/kill_points.pl.)
test-kill: configure
	cmake --build $(BUILD) -j$(JOBS) --target tessaly-cli
	@perl tests/kill/kill_points.pl $(CLI) examples

# AddressSanitizer, UndefinedBehaviorSanitizer and the fuzzer's coverage, with
# clang. A folder configured with another compiler (an older g++ build) is made
# anew: CMake cannot change the compiler of a configured folder.
# (Its own target, so that the generator is chosen after the folder is gone.)
asan-compiler:
	@if [ -f $(ASAN_BUILD)/CMakeCache.txt ] && \
	  ! grep -q '^CMAKE_CXX_COMPILER:[A-Z]*=.*$(ASAN_CXX)$$' $(ASAN_BUILD)/CMakeCache.txt; then \
	  echo "$(ASAN_BUILD) was configured with another compiler: made anew with $(ASAN_CXX)"; \
	  rm -rf $(ASAN_BUILD); fi

configure-asan: asan-compiler
	cmake -S . -B $(ASAN_BUILD) $(call generator,$(ASAN_BUILD)) -DCMAKE_BUILD_TYPE=Debug -DTESSALY_SANITIZE=ON \
	  -DCMAKE_CXX_COMPILER=$(ASAN_CXX) -DTESSALY_WERROR=$(WERROR)

# Every test program, and the replay of the fuzz corpus, under the sanitizers.
test-asan: configure-asan
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	@tools/ctest.sh $(ASAN_BUILD) -j$(JOBS) $(CTEST_ARGS)

# ThreadSanitizer, with clang: the libraries, the command line and the test
# programs that run threads of their own (reading ahead, writing behind,
# putting files in place, warming pages), a large drawing and many small ones
# among them. Any race fails the test that met it.
configure-tsan:
	@if [ -f $(TSAN_BUILD)/CMakeCache.txt ] && \
	  ! grep -q '^CMAKE_CXX_COMPILER:[A-Z]*=.*$(ASAN_CXX)$$' $(TSAN_BUILD)/CMakeCache.txt; then \
	  echo "$(TSAN_BUILD) was configured with another compiler: made anew with $(ASAN_CXX)"; \
	  rm -rf $(TSAN_BUILD); fi
	cmake -S . -B $(TSAN_BUILD) $(call generator,$(TSAN_BUILD)) -DCMAKE_BUILD_TYPE=Debug -DTESSALY_TSAN=ON \
	  -DCMAKE_CXX_COMPILER=$(ASAN_CXX) -DTESSALY_WERROR=$(WERROR)

test-tsan: configure-tsan
	cmake --build $(TSAN_BUILD) -j$(JOBS)
	@TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 $$TSAN_OPTIONS" \
	  tools/ctest.sh $(TSAN_BUILD) -j$(JOBS) $(CTEST_ARGS)

# A short run of each fuzz target (the replay is a test of test-asan).
test-fuzz: configure-asan
	cmake --build $(ASAN_BUILD) -j$(JOBS) --target fuzz_jww_load fuzz_jws_load fuzz_convert
	@FUZZ_REPLAY=0 FUZZ_JOBS=$(TEST_FUZZ_JOBS) fuzz/run.sh $(ASAN_BUILD) $(TEST_FUZZ_SECONDS)

# Longer runs, for a developer: replay, then FUZZ_SECONDS per target.
fuzz: configure-asan
	cmake --build $(ASAN_BUILD) -j$(JOBS) --target fuzz_jww_load fuzz_jws_load fuzz_convert
	fuzz/run.sh $(ASAN_BUILD) $(FUZZ_SECONDS)

bench: build
	bench/run_bench.sh $(BUILD)
	@if [ -x $(BUILD)/bench/tessaly-bench ]; then $(BUILD)/bench/tessaly-bench; fi

examples: build
	$(BUILD)/tools/tessaly-make-examples examples

# The windows drawn on a virtual display, with the Japanese font of `make deps`.
screenshots: configure
	cmake --build $(BUILD) -j$(JOBS) --target tessaly-screenshot
	xvfb-run -a -s "-screen 0 1280x800x24" $(BUILD)/tests/gui/qt/tessaly-screenshot docs examples

# Windows, cross-built with MinGW-w64 and tested under Wine (headless, its own
# prefix in $(WIN_BUILD)).
WIN_BUILD ?= build-win
WIN_PACKAGES := cmake g++ ninja-build make g++-mingw-w64-x86-64-posix wine wine64 googletest \
  fonts-ipafont-gothic xvfb xauth zip

deps-windows:
	@$(MAKE) --no-print-directory deps PACKAGES="$(WIN_PACKAGES)"

configure-windows:
	cmake -S . -B $(WIN_BUILD) $(call generator,$(WIN_BUILD)) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DTESSALY_WERROR=$(WERROR)

build-windows: configure-windows
	cmake --build $(WIN_BUILD) -j$(JOBS)

test-windows: build-windows
	cmake -S . -B $(BUILD) $(call generator,$(BUILD)) -DCMAKE_BUILD_TYPE=Release -DTESSALY_WERROR=$(WERROR)
	cmake --build $(BUILD) -j$(JOBS) --target tessaly-cli
	@rm -f $(WIN_BUILD)/test-results/order
	@TEST_RESULTS=$(WIN_BUILD)/test-results tools/suite.sh test-windows -- \
	  tests/win32/run_under_wine.sh $(BUILD) $(WIN_BUILD)
	@tools/summary.sh $(WIN_BUILD)/test-results

screenshots-windows: configure-windows
	cmake --build $(WIN_BUILD) -j$(JOBS) --target tessaly-screenshot
	tests/win32/run_under_wine.sh --screenshots docs $(WIN_BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(WIN_BUILD) $(TEST_RESULTS)
