# The two commands of the project:
#   make run   - install what is missing, build, and run the main job
#   make test  - the same set-up, then every test (normal and sanitizer builds,
#                and the Windows build under Wine with the module checks)
#   make dist  - the plug-in packages in dist/
#   make fuzz  - the libFuzzer targets of fuzz/, each run FUZZ_SECONDS
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= 2
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

HOSTPROG = $(BUILD)/tolvane-host

# Windows builds, cross-compiled with MinGW-w64: optimised, no debug info.
WIN64_BUILD ?= build-win64
WIN32_BUILD ?= build-win32
WIN_FLAGS ?= -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE=-O2 -DCMAKE_CXX_FLAGS_RELEASE=-O2 \
             -DTOLVANE_BENCH=OFF

.PHONY: all run test deps build build-asan test-normal test-asan bench clean \
        configure-win64 build-win64 win64-module build-win32 test-windows windows-checks dist \
        build-fuzz fuzz test-fuzz

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

test-normal: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-asan: build-asan
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

# 64-bit Windows: the stand-in host, the tests and both flavours' modules
# (Tolvane.cdl64), run under Wine.
configure-win64: deps
	cmake -S . -B $(WIN64_BUILD) --toolchain cmake/mingw-w64-x86_64.cmake $(WIN_FLAGS)

build-win64: configure-win64
	cmake --build $(WIN64_BUILD) -j $(JOBS)

win64-module: configure-win64
	cmake --build $(WIN64_BUILD) -j $(JOBS) --target tolvane_r16

# 32-bit Windows: the release-12 module Tolvane.cdl alone.
build-win32: deps
	cmake -S . -B $(WIN32_BUILD) --toolchain cmake/mingw-w64-i686.cmake $(WIN_FLAGS) \
	  -DTOLVANE_HOST=OFF -DTOLVANE_RELEASES=12
	cmake --build $(WIN32_BUILD) -j $(JOBS)

windows-checks: build-win64 build-win32
	bash tools/check-pe.sh $(WIN64_BUILD)/plugins/Tolvane-R16/Tolvane.cdl64 64
	bash tools/check-pe.sh $(WIN32_BUILD)/plugins/Tolvane-R12/Tolvane.cdl 32
	@# The check does fail: the 64-bit file is not a 32-bit module.
	! bash tools/check-pe.sh $(WIN64_BUILD)/plugins/Tolvane-R16/Tolvane.cdl64 32 2>/dev/null
	ctest --test-dir $(WIN64_BUILD) --output-on-failure -j $(JOBS)
	bash tools/compare-builds.sh $(HOSTPROG) $(WIN64_BUILD)/tolvane-host.exe \
	  $(WIN64_BUILD)/wineprefix $(WIN64_BUILD)/compare

test-windows: build
	@start=$$(date +%s); $(MAKE) --no-print-directory windows-checks && \
	  echo "Windows part: $$(( $$(date +%s) - start )) s"

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

test-fuzz: build-fuzz
	@start=$$(date +%s); status=0; bash fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SMOKE_SECONDS) || status=$$?; \
	  echo "Fuzz part: $$(( $$(date +%s) - start )) s"; exit $$status

# The workbench page in the system's Chromium, headless, driven by
# playwright-core (npm ci in tests/web/); the screenshots stay in
# $(BUILD)/web-shots.
.PHONY: web-checks test-web
web-checks: build
	cd tests/web && npm ci --no-audit --no-fund --loglevel=error
	TOLVANE_SERVE=$(abspath $(BUILD))/tolvane-host TOLVANE_SHOTS=$(abspath $(BUILD))/web-shots \
	  node --test --test-reporter=spec tests/web/workbench.test.mjs

test-web: build
	@start=$$(date +%s); $(MAKE) --no-print-directory web-checks && \
	  echo "Browser part: $$(( $$(date +%s) - start )) s"

test: test-normal test-asan test-windows test-fuzz test-web

# Plug-in folders and zip files of every deliverable built here.
dist: build win64-module build-win32
	bash tools/make-dist.sh dist $(BUILD) $(WIN64_BUILD) $(WIN32_BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(WIN64_BUILD) $(WIN32_BUILD) $(FUZZ_BUILD) dist
