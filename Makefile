# Front door. Everything goes through CMake presets; see README.md.
JOBS ?= $(shell nproc)

.PHONY: all deps build test test-sanitize test-tsan test-fidelity windows test-windows fuzz bench aliasing demo install uninstall install-lv2 clean

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

# The suites whose code runs threads or processes side by side: the engine, the settings store, the three
# host bindings, the LV2 UI beside its instance's audio thread, `warmglow live` beside JACK's process thread.
# The other GUI suites stay out: pango's font-loading thread inside uninstrumented fontconfig is reported
# as racing with itself (test_lv2ui suppresses those libraries' reports; the AAX suites and test_jack, which
# open the editor too, and the processes they start get them suppressed through cmake/tsan.supp).
TSAN_SUITES = test_dsp test_platform test_platform_posix test_presets test_presets_posix test_instance_core test_aax test_aax_linux test_aax_inprocess test_lv2 test_lv2ui test_clap test_clap_linux test_jack test_vst3_plugin test_vst3_plugin_linux
empty :=
space := $(empty) $(empty)
test-tsan: deps
	cmake --preset tsan >/dev/null
	cmake --build --preset tsan -j $(JOBS) --target $(TSAN_SUITES)
	ctest --preset tsan -j $(JOBS) -L '^($(subst $(space),|,$(strip $(TSAN_SUITES))))$$'

# Windows x64 (mingw-w64): the modules, aaxhost.exe and the tests, in build/windows.
windows: deps
	cmake --preset windows >/dev/null
	cmake --build --preset windows -j $(JOBS)

# The Windows tests under Wine, in a scratch Wine prefix inside the build folder. The cross-platform checks
# run the Linux build's modules too (build/release), so their program is built there first.
test-windows: windows
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS) --target test_cross_platform
	ctest --preset windows -j $(JOBS)

fuzz: deps
	bash scripts/run-fuzz.sh $(FUZZ_SECONDS)

# Only what each needs, without the tests and benchmarks: the demo runs warmglow and installs the LV2
# bundle; `make install` adds aaxhost (which brings the module bundle), the CLAP module, the VST3 bundle,
# the manual and the man pages.
DEMO_TARGETS = warmglow qrv_lv2_bundle
INSTALL_TARGETS = warmglow aaxhost qrv_lv2_bundle qrv_clap_module qrv_vst3_bundle qrv_manual qrv_man_pages
PREFIX ?= $(HOME)/.local
BUILD_DIR ?= build/release

# PREFIX/bin/warmglow and aaxhost (with the module bundle in PREFIX/lib/qrv-warmglow), the manual in
# PREFIX/share/doc/qrv-warmglow and the man pages in PREFIX/share/man/man1; the LV2 bundle into ~/.lv2,
# the CLAP module into ~/.clap and the VST3 bundle into ~/.vst3 for a per-user PREFIX (the default
# ~/.local), else into PREFIX/lib/lv2, PREFIX/lib/clap and PREFIX/lib/vst3. The manual's path goes into
# the settings, and PREFIX/share/qrv-warmglow/install-manifest.txt lists everything for `make uninstall`.
# A configured build folder is only built (ninja configures again when a CMakeLists.txt changed), so that
# it can run beside a test run.
install: deps
	@test -f "$(BUILD_DIR)/build.ninja" || cmake --preset release -B "$(BUILD_DIR)" >/dev/null
	cmake --build "$(BUILD_DIR)" -j $(JOBS) --target $(INSTALL_TARGETS)
	bash scripts/install.sh "$(BUILD_DIR)" "$(PREFIX)"

# Removes what `make install PREFIX=...` put in place, from its manifest; needs no build folder.
uninstall:
	bash scripts/uninstall.sh "$(PREFIX)"

# The LV2 bundle alone, recorded in the same manifest as `make install PREFIX=...` (so into ~/.lv2 for
# the default PREFIX), for `make uninstall` to remove.
install-lv2: deps
	@test -f "$(BUILD_DIR)/build.ninja" || cmake --preset release -B "$(BUILD_DIR)" >/dev/null
	cmake --build "$(BUILD_DIR)" -j $(JOBS) --target qrv_lv2_bundle
	bash scripts/install.sh "$(BUILD_DIR)" "$(PREFIX)" lv2

bench: build
	build/release/bench/warmglow_bench --benchmark_min_time=0.2

# The valve stage's folded components, harmonics and meter with High quality off and with each design.
aliasing: build
	build/release/bench/warmglow_aliasing

# The LV2 bundle goes into ~/.lv2 as `make install-lv2` puts it there: recorded in the manifest of the
# default PREFIX, so that `make uninstall` removes it.
demo: deps
	@test -f "$(BUILD_DIR)/build.ninja" || cmake --preset release -B "$(BUILD_DIR)" >/dev/null
	cmake --build "$(BUILD_DIR)" -j $(JOBS) --target $(DEMO_TARGETS)
	bash scripts/demo.sh "$(BUILD_DIR)"

clean:
	rm -rf build demo-output

# The engine against its per-frame model over the whole matrix (`make test` runs a sample of it).
test-fidelity: deps
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS) --target test_dsp
	QRV_FIDELITY_FULL=1 build/release/tests/dsp/test_dsp --gtest_filter='*FidelityMatrix*:*ReferenceModel*'
