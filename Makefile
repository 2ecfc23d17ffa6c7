# A thin wrapper over the CMake presets: CMakePresets.json holds every way the
# project builds. Each target first installs the Debian packages it lacks.
INSTALL := scripts/install-dependencies.sh

.PHONY: test run demo package bench fuzz

# Builds everything and runs every test, natively and under Wine.
test:
	$(INSTALL) core windows package fuzz
	cmake --workflow --preset native
	cmake --workflow --preset windows
	cmake --workflow --preset fuzz

# Builds corvane.exe and starts it in a Wine desktop with a task bar.
run:
	$(INSTALL) core windows run
	cmake --preset windows
	cmake --build --preset corvane
	scripts/run-in-wine-desktop.sh build/windows

# Plays a whole discharge on the scripted build in a Wine desktop in about two
# minutes and saves pictures of its moments to build/windows/demo/.
demo:
	$(INSTALL) core windows run
	cmake --preset windows
	cmake --build --preset demo
	scripts/run-demo.sh build/windows

# What a Windows user downloads, signed when a certificate is given (see
# scripts/make-package.sh), with SHA256SUMS.
package:
	$(INSTALL) core windows package
	cmake --preset windows
	cmake --build --preset corvane
	scripts/make-package.sh build/windows

# Tick costs of the core (Google Benchmark) and corvane.exe against a bare
# window program under Wine; not part of make test.
bench:
	$(INSTALL) core windows bench
	scripts/bench.sh

# The fuzzer for longer than make test runs it.
fuzz:
	$(INSTALL) core fuzz
	cmake --preset fuzz
	cmake --build --preset fuzz
	scripts/fuzz-long.sh build/fuzz
