# The two commands of the project:
#   make run   - install what is missing, build, and run the main job
#   make test  - the same set-up, then every test (normal and sanitizer builds)
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= 2
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

HOSTPROG = $(BUILD)/tolvane-host

.PHONY: all run test deps build build-asan test-normal test-asan bench clean

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

test-normal: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-asan: build-asan
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

test: test-normal test-asan

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) dist
