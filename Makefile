# The tree's whole user interface: make test, make run, make present, make bench, make fuzz, make windows,
# make package.
BUILD      := build
SAN_BUILD  := build-sanitize
FUZZ_BUILD := build-fuzz
WIN_BUILD  := build-win
JOBS       ?= 2

.PHONY: all deps test-deps build build-tests build-sanitize build-fuzz test run present bench fuzz windows package clean

all: build

# What building and running the programs need; test-deps adds what the tests need.
deps:
	@scripts/install-deps.sh

test-deps:
	@scripts/install-deps.sh --test

# The programs and their program folder, as make run starts them.
build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DPICTOMIRA_TESTS=OFF >/dev/null
	@cmake --build $(BUILD) -j$(JOBS)

# The same build with its tests and benchmarks.
build-tests: test-deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DPICTOMIRA_TESTS=ON >/dev/null
	@cmake --build $(BUILD) -j$(JOBS)

# The unit tests once more under AddressSanitizer and UndefinedBehaviorSanitizer.
build-sanitize: test-deps
	@cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DPICTOMIRA_SANITIZE=ON -DPICTOMIRA_BENCH=OFF -DPICTOMIRA_E2E=OFF >/dev/null
	@cmake --build $(SAN_BUILD) -j$(JOBS)

# The fuzz harnesses of every file reader, built with clang and libFuzzer.
build-fuzz: test-deps
	@cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
	  -DCMAKE_CXX_COMPILER=clang++ -DPICTOMIRA_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ_BUILD) -j$(JOBS) --target fuzzers

# The Windows program folder $(WIN_BUILD)/Pictomira, cross-compiled with
# mingw-w64: Pictomira.exe, an empty Demos folder and zPictomiraSystemFiles
# with the Windows Presenter and unwrapper (ZPW, UWW), the branding blocks
# (GBA, GBH) and the Linux system files (UWL, ZPL), the last four from the
# Linux build in $(BUILD) (configured for the programs alone when it is not
# there yet). The tests run these under wine.
WIN_FOLDER := $(WIN_BUILD)/Pictomira
LINUX_FILES := $(BUILD)/Pictomira/zPictomiraSystemFiles
windows: deps
	@cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DPICTOMIRA_WINDOWS_STUDIO=ON >/dev/null
	@cmake --build $(WIN_BUILD) -j$(JOBS) --target ZPW UWW Pictomira
	@test -f $(BUILD)/CMakeCache.txt || cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DPICTOMIRA_TESTS=OFF >/dev/null
	@cmake --build $(BUILD) -j$(JOBS) --target sample_package web_branding unwrapper presenter_shipped
	@mkdir -p $(WIN_FOLDER)/zPictomiraSystemFiles $(WIN_FOLDER)/Demos
	@cp $(WIN_BUILD)/zPictomiraSystemFiles/ZPW $(WIN_BUILD)/zPictomiraSystemFiles/UWW $(LINUX_FILES)/GBA \
	  $(LINUX_FILES)/GBH $(LINUX_FILES)/UWL $(LINUX_FILES)/ZPL $(WIN_FOLDER)/zPictomiraSystemFiles/
	@echo "The Windows program folder: $(WIN_FOLDER)"

# The third run replays each harness over its corpus: seeds and every input
# that ever made it fail.
test: build-tests build-sanitize build-fuzz windows
	@ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)
	@ctest --test-dir $(SAN_BUILD) --output-on-failure -j$(JOBS)
	@ctest --test-dir $(FUZZ_BUILD) --output-on-failure -j$(JOBS)

# A bounded campaign: FUZZ_SECONDS (120) a harness, FUZZ_JOBS (2) at a time.
fuzz: build-fuzz
	@scripts/fuzz.sh

# The Debian package $(BUILD)/pictomira_VERSION_ARCH.deb of the programs as built
# (install it with: sudo apt install ./$(BUILD)/pictomira_*.deb).
package: build
	@cd $(BUILD) && cpack -G DEB

# The authoring program from its program folder, with the sample demo in its library.
run: build
	@cd $(BUILD)/Pictomira && ./Pictomira

# The stand-alone Presenter with the sample package beside it.
present: build
	@cd $(BUILD)/Presenter && ./Pictomira_Presenter

# Every benchmark runs, even after one has failed (a loaded machine can make
# the capture benchmarks miss); the failed ones are named at the end. The
# programs' trace lines are left out of their output.
BENCHES := frame demo_screen abstraction editor package html5 multipath capture capture_loop paste redact control_label press_query

# Last, the capture figures of the Windows build under wine, for information.
bench:
	@scripts/install-deps.sh --bench
	@$(MAKE) --no-print-directory build-tests
	@$(MAKE) --no-print-directory windows
	@cmake --build $(WIN_BUILD) -j$(JOBS) --target bench_capture_windows
	@failed=""; for b in $(BENCHES); do PICTOMIRA_TRACES=off $(BUILD)/bench/bench_$$b || failed="$$failed bench_$$b"; done; \
	  bench/capture_wine.sh $(WIN_BUILD)/bench_capture_windows.exe $(BUILD)/windows/pal_probe.exe || failed="$$failed capture_wine"; \
	  if [ -n "$$failed" ]; then echo "make bench: failed:$$failed" >&2; exit 1; fi

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(FUZZ_BUILD)
