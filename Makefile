# The two commands of the project:
#   make run   - install what is missing, build, and run the main job
#   make test  - the same set-up, then every test: normal and sanitizer
#                builds, both Windows builds under Wine, the macOS module in
#                the stand-in host, a fuzz smoke, the workbench in Chromium;
#                then the check that every packed module is the file the
#                suite ran
#   make test-i386 - the whole suite built for 32-bit Linux (not in make
#                test: Tolvane.cdl under 32-bit Wine runs the 32-bit code)
#   make dist  - the plug-in packages in dist/
#   make fuzz  - the libFuzzer targets of fuzz/, each run FUZZ_SECONDS
#   make bench - a Release build of the benchmarks, every one run, one table of
#                figures and targets (also bench/results.json)
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= 2
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

HOSTPROG = $(BUILD)/tolvane-host

# Windows builds, cross-compiled with MinGW-w64: optimised, no debug info;
# every test program of them runs under Wine.
WIN64_BUILD ?= build-win64
WIN32_BUILD ?= build-win32
WIN_FLAGS ?= -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE=-O2 -DCMAKE_CXX_FLAGS_RELEASE=-O2 \
             -DTOLVANE_BENCH=OFF
# The macOS module, cross-built with clang and ld64.lld; the 32-bit Linux
# build of everything, its programs run directly where this machine runs
# 32-bit programs, else under qemu-i386 (I386_RUN=auto, native or qemu).
MAC_BUILD ?= build-mac
I386_BUILD ?= build-i386
I386_RUN ?= auto

.PHONY: all run test deps build build-asan test-normal test-asan normal-checks asan-checks bench clean \
        configure-win64 build-win64 win64-module build-win32 test-windows dist \
        build-fuzz fuzz test-fuzz fuzz-checks

all: build

deps:
	@bash tools/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTOLVANE_SANITIZE=ON -DTOLVANE_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)

run: build
	$(HOSTPROG) info
	$(HOSTPROG) params
	$(HOSTPROG) outline --format svg -o arrow.svg
	$(HOSTPROG) outline
	$(HOSTPROG) run examples/cloner-along-path.script
	@echo "The workbench in a browser (Ctrl-C stops it): $(HOSTPROG) serve --release 16 --port 8080," \
	  "then open http://127.0.0.1:8080/"

# Each part of `make test` prints its time (its build included) and its
# test count (tools/part.sh). A part that runs a deliverable's own module
# file records its SHA-256 in the build folder (tested-modules.sha256), which
# tools/make-dist.sh checks when it packs that file.
PART = bash tools/part.sh
record-tested = sha256sum $(abspath $(2)) >$(1)/tested-modules.sha256

normal-checks: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-normal: deps
	@$(PART) Normal $(MAKE) --no-print-directory normal-checks

asan-checks: build-asan
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

test-asan: deps
	@$(PART) Sanitizer $(MAKE) --no-print-directory asan-checks

# Windows, cross-compiled with MinGW-w64, run under Wine: each build holds
# both flavours' modules, the stand-in host and every test program. The
# 64-bit one ships Tolvane.cdl64 (release 16), the 32-bit one Tolvane.cdl
# (release 12); the other module of each is for the tests only.
configure-win64: deps
	cmake -S . -B $(WIN64_BUILD) --toolchain cmake/mingw-w64-x86_64.cmake $(WIN_FLAGS)

build-win64: configure-win64
	cmake --build $(WIN64_BUILD) -j $(JOBS)

win64-module: configure-win64
	cmake --build $(WIN64_BUILD) -j $(JOBS) --target tolvane_r16

configure-win32: deps
	cmake -S . -B $(WIN32_BUILD) --toolchain cmake/mingw-w64-i686.cmake $(WIN_FLAGS) -DTOLVANE_HOST=ON \
	  "-DTOLVANE_RELEASES=16;12"

build-win32: configure-win32
	cmake --build $(WIN32_BUILD) -j $(JOBS)

win32-module: configure-win32
	cmake --build $(WIN32_BUILD) -j $(JOBS) --target tolvane_r12

# The module checks (a PE32+ or PE32 DLL with one export and system imports;
# the check refuses the other width), the whole suite under Wine, and the
# presets and outlines compared byte for byte with the Linux build's.
win64-checks: build-win64 build
	bash tools/check-pe.sh $(WIN64_BUILD)/plugins/Tolvane-R16/Tolvane.cdl64 64
	! bash tools/check-pe.sh $(WIN64_BUILD)/plugins/Tolvane-R16/Tolvane.cdl64 32 2>/dev/null
	rm -rf $(WIN64_BUILD)/gtest-results
	ctest --test-dir $(WIN64_BUILD) --output-on-failure -j $(JOBS)
	bash tools/gtest-count.sh $(WIN64_BUILD)/gtest-results
	bash tools/compare-builds.sh $(WIN64_BUILD)/compare $(HOSTPROG) \
	  wine:$(WIN64_BUILD)/wineprefix:$(WIN64_BUILD)/tolvane-host.exe
	$(call record-tested,$(WIN64_BUILD),$(WIN64_BUILD)/plugins/Tolvane-R16/Tolvane.cdl64)

win32-checks: build-win32 build
	bash tools/check-pe.sh $(WIN32_BUILD)/plugins/Tolvane-R12/Tolvane.cdl 32
	! bash tools/check-pe.sh $(WIN32_BUILD)/plugins/Tolvane-R12/Tolvane.cdl 64 2>/dev/null
	rm -rf $(WIN32_BUILD)/gtest-results
	ctest --test-dir $(WIN32_BUILD) --output-on-failure -j $(JOBS)
	bash tools/gtest-count.sh $(WIN32_BUILD)/gtest-results
	bash tools/compare-builds.sh $(WIN32_BUILD)/compare $(HOSTPROG) \
	  wine:$(WIN32_BUILD)/wineprefix:$(WIN32_BUILD)/tolvane-host.exe
	$(call record-tested,$(WIN32_BUILD),$(WIN32_BUILD)/plugins/Tolvane-R12/Tolvane.cdl)

test-win64: deps
	@$(PART) "Windows 64-bit" $(MAKE) --no-print-directory win64-checks

test-win32: deps
	@$(PART) "Windows 32-bit" $(MAKE) --no-print-directory win32-checks

test-windows: test-win64 test-win32

.PHONY: build-mac mac-checks test-mac build-i386 i386-checks test-i386 configure-win32 win32-module \
        win64-checks win32-checks test-win64 test-win32 dist-check

# macOS: the release-12 module Tolvane.dylib, cross-built (no SDK) and
# checked with LLVM's tools; two deliberately wrong modules show that the
# checks bite: one more export fails the Mach-O check, a symbol of Linux's C
# library fails the link against the stub of the system library. Then the
# stand-in host's Mach-O loader runs the whole suite of the Linux build with
# this module as the release-12 plug-in, and its presets and outlines are
# compared with the Linux module's.
build-mac: deps
	cmake -S . -B $(MAC_BUILD) --toolchain cmake/macos-x86_64-cross.cmake -DCMAKE_BUILD_TYPE=Release \
	  -DTOLVANE_BENCH=OFF
	cmake --build $(MAC_BUILD) -j $(JOBS)

mac-checks: build-mac build
	bash tools/check-macho.sh $(MAC_BUILD)/plugins/Tolvane-R12/Tolvane.dylib 12
	cmake --build $(MAC_BUILD) -j $(JOBS) --target tolvane_r12_extra_export
	bash tools/check-macho.sh $(MAC_BUILD)/wrong-extra_export/Tolvane.dylib 12 2>&1 | \
	  grep "exports '_c4d_main _tolvane_extra_export', expected exactly '_c4d_main'"
	cmake --build $(MAC_BUILD) --target tolvane_r12_linux_only 2>&1 | \
	  grep "undefined symbol: ___errno_location"
	! test -e $(MAC_BUILD)/wrong-linux_only/Tolvane.dylib
	TOLVANE_PLUGIN_R12=$(abspath $(MAC_BUILD))/plugins/Tolvane-R12 \
	  ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	bash tools/compare-builds.sh $(MAC_BUILD)/compare $(HOSTPROG) r12:$(MAC_BUILD)/plugins/Tolvane-R12
	$(call record-tested,$(MAC_BUILD),$(MAC_BUILD)/plugins/Tolvane-R12/Tolvane.dylib)

test-mac: deps
	@$(PART) macOS $(MAKE) --no-print-directory mac-checks

# 32-bit Linux: the host, both modules and every test program with 4-byte
# pointers; the whole suite runs.
build-i386: deps
	cmake -S . -B $(I386_BUILD) --toolchain cmake/linux-i386.cmake -DCMAKE_BUILD_TYPE=Release \
	  -DTOLVANE_BENCH=OFF -DTOLVANE_I386_RUN=$(I386_RUN)
	cmake --build $(I386_BUILD) -j $(JOBS)

i386-checks: build-i386
	ctest --test-dir $(I386_BUILD) --output-on-failure -j $(JOBS)
	@echo "32-bit programs ran $$(cat $(I386_BUILD)/i386-run-mode.txt)"

test-i386: deps
	@$(PART) "32-bit Linux" $(MAKE) --no-print-directory i386-checks

# The last step of `make test`: the packages `make dist` would write, in a
# scratch folder, each Windows and macOS module checked to be the very file
# the suite ran against.
dist-check:
	TOLVANE_DIST_REQUIRE_TESTED=1 bash tools/make-dist.sh $(BUILD)/dist-check $(BUILD) $(WIN64_BUILD) \
	  $(WIN32_BUILD) $(MAC_BUILD)

# Benchmarks (bench/README.md), timed in a Release build of their own; not
# part of `make test`, which depends on no timing. BENCH_REPS repetitions
# (BENCH_REPS_LARGE of the 100,000-object scene), medians.
BENCH_BUILD ?= build-bench-release

bench: deps
	bash bench/run.sh $(BENCH_BUILD) $(JOBS)

# Fuzzing (fuzz/README.md): Debian's clang-14 with libFuzzer, the modules
# and the host sanitised and coverage-instrumented. `make fuzz` runs every
# target FUZZ_SECONDS, two at a time; `make test` runs each for a smoke of
# FUZZ_SMOKE_SECONDS. New corpus entries stay in the build folder.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 600
FUZZ_SMOKE_SECONDS ?= 10

build-fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVANE_FUZZ=ON \
	  -DTOLVANE_TESTS=OFF -DTOLVANE_BENCH=OFF -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers

fuzz: build-fuzz
	bash fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

fuzz-checks: build-fuzz
	bash fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SMOKE_SECONDS)

test-fuzz: deps
	@$(PART) Fuzz $(MAKE) --no-print-directory fuzz-checks

# The workbench page in the system's Chromium, headless, driven by
# playwright-core (npm ci in tests/web/); the screenshots stay in
# $(BUILD)/web-shots.
.PHONY: web-checks test-web
web-checks: build
	cd tests/web && npm ci --no-audit --no-fund --loglevel=error
	TOLVANE_SERVE=$(abspath $(BUILD))/tolvane-host TOLVANE_SHOTS=$(abspath $(BUILD))/web-shots \
	  node --test --test-reporter=spec tests/web/workbench.test.mjs

test-web: deps
	@$(PART) Browser $(MAKE) --no-print-directory web-checks

test: test-normal test-asan test-win64 test-win32 test-mac test-fuzz test-web dist-check

# Plug-in folders and zip files of every deliverable built here.
dist: build win64-module win32-module build-mac
	bash tools/make-dist.sh dist $(BUILD) $(WIN64_BUILD) $(WIN32_BUILD) $(MAC_BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(WIN64_BUILD) $(WIN32_BUILD) $(FUZZ_BUILD) $(MAC_BUILD) $(I386_BUILD) dist
