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

test-tsan: deps
	cmake --preset tsan >/dev/null
	cmake --build --preset tsan -j $(JOBS)
	ctest --preset tsan -j $(JOBS)

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
