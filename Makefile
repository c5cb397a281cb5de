# Front door. Everything goes through CMake presets; see README.md.
JOBS ?= $(shell nproc)

.PHONY: all deps build test test-sanitize test-tsan fuzz bench demo install-lv2 clean

FUZZ_SECONDS ?= 30

all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)

test: build
	ctest --preset release -j $(JOBS)

test-sanitize: deps
	cmake --preset sanitize >/dev/null
	cmake --build --preset sanitize -j $(JOBS)
	ctest --preset sanitize -j $(JOBS)

# The suites whose code runs threads or processes side by side: the engine, the settings store, both host
# bindings. The GUI stays out: pango's font-loading thread inside uninstrumented fontconfig is reported
# as racing with itself.
TSAN_SUITES = test_dsp test_platform test_presets test_aax test_aax_inprocess test_lv2
empty :=
space := $(empty) $(empty)
test-tsan: deps
	cmake --preset tsan >/dev/null
	cmake --build --preset tsan -j $(JOBS) --target $(TSAN_SUITES)
	ctest --preset tsan -j $(JOBS) -L '^($(subst $(space),|,$(strip $(TSAN_SUITES))))$$'

fuzz: deps
	bash scripts/run-fuzz.sh $(FUZZ_SECONDS)

install-lv2: build
	cmake --build --preset release --target install-lv2

bench: build
	build/release/bench/warmglow_bench --benchmark_min_time=0.2

demo: build
	bash scripts/demo.sh

clean:
	rm -rf build demo-output
