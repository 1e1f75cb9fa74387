# make test   installs what the build needs, builds with ASan + UBSan, runs every
#             test and each fuzz target briefly.
# make bench  builds optimised and runs the benchmarks.
# make fuzz   builds the libFuzzer targets (clang) and runs each FUZZ_SECONDS,
#             each growing its corpus kept under FUZZBUILD/fuzz-corpus.
# make run    builds the navigator optimised and starts it on the demo map (a
#             root of its own under build/release/run; RUN_SECONDS=N ends it
#             after N s; MAP=DIR or MAP=FILE.osm[.pbf] drives on that map).
# make install builds optimised and installs the four programs and the
#             shipped files where start-up looks for them (DESTDIR honoured).

JOBS         ?= $(shell nproc)
BUILD        ?= build/asan
RELEASE      ?= build/release
FUZZBUILD    ?= build/fuzz
FUZZ_SECONDS ?= 20
GENERATOR    := $(shell command -v ninja >/dev/null 2>&1 && echo Ninja || echo "Unix Makefiles")

export ASAN_OPTIONS ?= detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS ?= print_stacktrace=1:halt_on_error=1

.PHONY: all deps build test unit fuzz fuzz-ci fuzz-build bench bench-run clean run install

all: build

deps:
	@scripts/install-deps

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=Debug -DXR_SANITIZE=ON

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

unit: build
	scripts/run-tests $(BUILD) $(JOBS)

test: unit fuzz-ci

$(FUZZBUILD)/CMakeCache.txt:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZBUILD) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DXR_FUZZ=ON

fuzz-build: deps $(FUZZBUILD)/CMakeCache.txt
	cmake --build $(FUZZBUILD) -j $(JOBS) --target xr_fuzz_all

fuzz: fuzz-build
	scripts/run-fuzz $(FUZZBUILD) $(FUZZ_SECONDS) $(JOBS) $(FUZZBUILD)/fuzz-corpus

# The tests' brief run: every target from its seeds alone.
fuzz-ci: fuzz-build
	scripts/run-fuzz $(FUZZBUILD) $(FUZZ_SECONDS) $(JOBS)

$(RELEASE)/CMakeCache.txt:
	cmake -S . -B $(RELEASE) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=Release

# The display benchmarks draw: without a display they all run under one
# private Xvfb.
bench: deps $(RELEASE)/CMakeCache.txt
	cmake --build $(RELEASE) -j $(JOBS)
	@if [ -n "$$DISPLAY" ]; then $(MAKE) --no-print-directory bench-run; \
	else scripts/with-xvfb $(MAKE) --no-print-directory bench-run; fi

bench-run:
	@for b in $$(find $(RELEASE)/bench -type f -executable -name 'bench_*' | sort); do \
		echo "== $$b"; $$b --benchmark_min_time=0.2 || exit 1; done

PROGRAMS    := kestrova-navigator launcher kestrova-gpsd-helper serial-nmea-helper
RUN_TARGETS := $(PROGRAMS) kestrova-probe mapgen servicesim-answer updatesim-content xr_shipped_files

# The optimised tree of `make bench`, so that a person sees the program's
# real speed; only what the run needs is built.
run: deps $(RELEASE)/CMakeCache.txt
	cmake --build $(RELEASE) -j $(JOBS) --target $(RUN_TARGETS)
	RUN_SECONDS="$(RUN_SECONDS)" MAP="$(MAP)" scripts/run-navigator $(RELEASE)

install: deps $(RELEASE)/CMakeCache.txt
	cmake --build $(RELEASE) -j $(JOBS) --target $(PROGRAMS) xr_shipped_files
	DESTDIR="$(DESTDIR)" cmake --install $(RELEASE)

clean:
	rm -rf build
