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
#
# Every build is a preset of CMakePresets.json (its folder, toolchain, build
# type and cache settings); the targets below only call them. What may be
# given on the command line:
#   JOBS=N              parallel jobs of every build and test run (2)
#   CMAKE_FLAGS=-D...   extra cache settings of the normal build (build/)
#   WIN_FLAGS=-D...     extra cache settings of both Windows builds
#   I386_RUN=auto|native|qemu   how the 32-bit Linux programs run
#   FUZZ_SECONDS, FUZZ_SMOKE_SECONDS   each fuzz target's time in make fuzz,
#                       and in make test
#   BENCH_REPS, BENCH_REPS_LARGE (environment)   see bench/run.sh
# The build folders are the presets' (build/, build-asan/, ...). For a
# folder or settings of your own, write a preset in CMakeUserPresets.json
# that inherits one of these, and run cmake --preset / cmake --build --preset.
JOBS ?= 2
CMAKE_FLAGS ?=
WIN_FLAGS ?=
I386_RUN ?= auto
FUZZ_SECONDS ?= 600
FUZZ_SMOKE_SECONDS ?= 10

# Every preset's folder, as CMakePresets.json names it.
BUILD_DIRS := $(shell sed -n 's|.*"binaryDir": *"$${sourceDir}/\([^"]*\)".*|\1|p' CMakePresets.json)
HOSTPROG = build/tolvane-host

# The extra cache settings of each configure preset.
configure-extra.normal = $(CMAKE_FLAGS)
configure-extra.win64 = $(WIN_FLAGS)
configure-extra.win32 = $(WIN_FLAGS)
configure-extra.i386 = -DTOLVANE_I386_RUN=$(I386_RUN)

configure = $(strip cmake --preset $(1) $(configure-extra.$(1)))
build-preset = cmake --build --preset $(1) -j $(JOBS)
define configure-and-build
$(call configure,$(1))
$(call build-preset,$(1))
endef

.PHONY: all deps run test clean dist dist-check bench fuzz \
        build build-asan configure-win64 build-win64 win64-module configure-win32 build-win32 win32-module \
        build-mac build-i386 build-fuzz \
        normal-checks asan-checks win64-checks win32-checks mac-checks i386-checks fuzz-checks web-checks \
        test-normal test-asan test-win64 test-win32 test-windows test-mac test-i386 test-fuzz test-web

all: build

deps:
	@bash tools/install-deps.sh

# ---------------------------------------------------------------------------
# Builds: one preset each. Windows: each build holds both flavours' modules,
# the stand-in host and every test program; the 64-bit one ships
# Tolvane.cdl64 (release 16), the 32-bit one Tolvane.cdl (release 12), and
# `make dist` builds only the shipped module there (win64-module,
# win32-module), the same target in the same folder.
#
# target            prerequisites       recipe
build:              deps              ; $(call configure-and-build,normal)
build-asan:         deps              ; $(call configure-and-build,asan)
configure-win64:    deps              ; $(call configure,win64)
build-win64:        configure-win64   ; $(call build-preset,win64)
win64-module:       configure-win64   ; $(call build-preset,win64-module)
configure-win32:    deps              ; $(call configure,win32)
build-win32:        configure-win32   ; $(call build-preset,win32)
win32-module:       configure-win32   ; $(call build-preset,win32-module)
build-mac:          deps              ; $(call configure-and-build,mac)
build-i386:         deps              ; $(call configure-and-build,i386)
build-fuzz:         deps              ; $(call configure-and-build,fuzz)

# ---------------------------------------------------------------------------
# The checks of each part of `make test`. A part that runs a deliverable's
# own module file records its SHA-256 in the build folder
# (tested-modules.sha256), which tools/make-dist.sh checks when it packs
# that file. The Windows checks (tools/windows-checks.sh): the PE checks,
# the whole suite under Wine, the presets and outlines compared byte for
# byte with the Linux build's. The macOS checks (tools/mac-checks.sh): the
# Mach-O checks and two deliberately wrong modules that must fail them, the
# whole suite of the normal build with this module as the release-12
# plug-in, the comparison with the Linux module. Fuzzing (fuzz/README.md):
# each target for FUZZ_SMOKE_SECONDS.
#
# target            prerequisites       recipe
normal-checks:      build             ; ctest --preset normal -j $(JOBS)
asan-checks:        build-asan        ; ctest --preset asan -j $(JOBS)
win64-checks:       build-win64 build ; bash tools/windows-checks.sh 64 $(JOBS)
win32-checks:       build-win32 build ; bash tools/windows-checks.sh 32 $(JOBS)
mac-checks:         build-mac build   ; bash tools/mac-checks.sh $(JOBS)
fuzz-checks:        build-fuzz        ; bash fuzz/run.sh build-fuzz $(FUZZ_SMOKE_SECONDS)

# 32-bit Linux: the host, both modules and every test program with 4-byte
# pointers; the whole suite runs, then how it ran (native or qemu-i386).
i386-checks: build-i386
	ctest --preset i386 -j $(JOBS)
	@echo "32-bit programs ran $$(cat build-i386/i386-run-mode.txt)"

# The workbench page, and animated glTF files played by three.js, in the
# system's Chromium, headless, driven by playwright-core (npm ci in
# tests/web/); the screenshots stay in build/web-shots.
web-checks: build
	cd tests/web && npm ci --no-audit --no-fund --loglevel=error
	TOLVANE_SERVE=$(abspath $(HOSTPROG)) TOLVANE_SHOTS=$(abspath build/web-shots) \
	  node --test --test-reporter=spec tests/web/workbench.test.mjs tests/web/animation.test.mjs

# Each part runs its checks, build included, under tools/part.sh, which
# prints the part's time and test count.
PARTS = normal asan win64 win32 mac i386 fuzz web
part-name.normal = Normal
part-name.asan = Sanitizer
part-name.win64 = Windows 64-bit
part-name.win32 = Windows 32-bit
part-name.mac = macOS
part-name.i386 = 32-bit Linux
part-name.fuzz = Fuzz
part-name.web = Browser
$(PARTS:%=test-%): test-%: deps
	@bash tools/part.sh "$(part-name.$*)" $(MAKE) --no-print-directory $*-checks

test-windows: test-win64 test-win32

# The last step of `make test`: the packages `make dist` would write, in a
# scratch folder, each Windows and macOS module checked to be the very file
# the suite ran against.
DELIVERABLE_BUILDS = build build-win64 build-win32 build-mac

test: test-normal test-asan test-win64 test-win32 test-mac test-fuzz test-web dist-check

dist-check:
	TOLVANE_DIST_REQUIRE_TESTED=1 bash tools/make-dist.sh build/dist-check $(DELIVERABLE_BUILDS)

# ---------------------------------------------------------------------------
run: build
	$(HOSTPROG) info
	$(HOSTPROG) params
	$(HOSTPROG) outline --format svg -o arrow.svg
	$(HOSTPROG) outline
	$(HOSTPROG) run examples/cloner-along-path.script
	@echo "The workbench in a browser (Ctrl-C stops it): $(HOSTPROG) serve --release 16 --port 8080," \
	  "then open http://127.0.0.1:8080/"

# Plug-in folders and zip files of every deliverable built here.
dist: build win64-module win32-module build-mac
	bash tools/make-dist.sh dist $(DELIVERABLE_BUILDS)

# Benchmarks (bench/README.md), timed in the bench preset's Release build;
# not part of `make test`, which depends on no timing.
bench: deps
	bash bench/run.sh build-bench-release $(JOBS)

# Fuzzing (fuzz/README.md): Debian's clang-14 with libFuzzer, the modules
# and the host sanitised and coverage-instrumented; every target
# FUZZ_SECONDS, two at a time. New corpus entries stay in the build folder.
fuzz: build-fuzz
	bash fuzz/run.sh build-fuzz $(FUZZ_SECONDS)

# Everything the targets above write: the build folders, the packages, the
# outline of `make run`, the figures of `make bench` and the browser tests'
# npm folder. The installed dependencies (Debian packages, the npm folders
# of tools/mesh/ and web/ from tools/install-deps.sh) stay.
clean:
	rm -rf $(BUILD_DIRS) dist arrow.svg bench/results.json tests/web/node_modules
