# A thin wrapper over the CMake presets: CMakePresets.json holds every way the
# project builds. Each target first installs the Debian packages it lacks.
INSTALL := scripts/install-dependencies.sh

# The Windows build whose programs Wine runs here: windows, the shipped i686
# build, where this machine runs 32-bit x86 code and 32-bit Wine installs,
# else windows-x86_64. scripts/wine-arch.sh says which and why, once, when a
# target first needs it; CORVANE_WINE_ARCH=i686|x86_64 forces either.
WINE_ARCH = $(eval WINE_ARCH := $$(or $$(shell scripts/wine-arch.sh),$$(error scripts/wine-arch.sh named no Windows build for Wine to run, see above)))$(WINE_ARCH)
WINE_BUILD = windows$(if $(filter x86_64,$(WINE_ARCH)),-x86_64)
OTHER_BUILD = windows$(if $(filter x86_64,$(WINE_ARCH)),,-x86_64)

.PHONY: test test-shuffled run demo package bench fuzz

# Builds everything and runs every test, natively and under Wine. The other
# Windows build's program is built too, not run, so that it keeps compiling.
test:
	$(INSTALL) core windows wine-$(WINE_ARCH) package release-test fuzz
	cmake --workflow --preset native
	cmake --workflow --preset $(WINE_BUILD)
	cmake --preset $(OTHER_BUILD)
	cmake --build --preset $(subst windows,corvane,$(OTHER_BUILD))
	cmake --workflow --preset fuzz

# The quick Wine tests, ROUNDS times in a new random order each (see
# scripts/test-shuffled.sh): the proof that a change to a test, or to what
# the tests drive, left none of them depending on order or on luck.
ROUNDS = 10
test-shuffled:
	$(INSTALL) core windows wine-$(WINE_ARCH)
	cmake --preset $(WINE_BUILD)
	cmake --build --preset $(WINE_BUILD)
	scripts/test-shuffled.sh build/$(WINE_BUILD) $(ROUNDS)

# Builds corvane.exe and starts it in a Wine desktop with a task bar.
run:
	$(INSTALL) core windows wine-$(WINE_ARCH) run
	cmake --preset $(WINE_BUILD)
	cmake --build --preset $(subst windows,corvane,$(WINE_BUILD))
	scripts/run-in-wine-desktop.sh build/$(WINE_BUILD)

# Plays a whole discharge on the scripted build in a Wine desktop in about two
# minutes and saves pictures of its moments to build/windows/demo/ (or
# build/windows-x86_64/demo/); then plays one natively through the
# calibration core, in five-second ticks, and draws its chart there too.
DEMO = build/$(WINE_BUILD)/demo
demo:
	$(INSTALL) core windows wine-$(WINE_ARCH) run chart
	cmake --preset $(WINE_BUILD)
	cmake --build --preset $(subst windows,demo,$(WINE_BUILD))
	cmake --preset native
	cmake --build --preset discharge-chart
	scripts/run-demo.sh build/$(WINE_BUILD)
	build/native/tests/chart/discharge-chart-data $(DEMO)/discharge-chart.csv
	scripts/draw-discharge-chart.py $(DEMO)/discharge-chart.csv $(DEMO)/discharge-chart.png

# What a Windows user downloads, always the i686 build, signed when a
# certificate is given (see scripts/make-package.sh), with SHA256SUMS.
package:
	$(INSTALL) core windows package
	cmake --preset windows
	cmake --build --preset corvane
	scripts/make-package.sh build/windows

# Tick costs of the core (Google Benchmark) and corvane.exe against a bare
# window program under Wine, all of the build Wine runs here; not part of
# make test.
bench:
	$(INSTALL) core windows wine-$(WINE_ARCH) bench
	scripts/bench.sh $(WINE_BUILD)

# The fuzzer for longer than make test runs it.
fuzz:
	$(INSTALL) core fuzz
	cmake --preset fuzz
	cmake --build --preset fuzz
	scripts/fuzz-long.sh build/fuzz
