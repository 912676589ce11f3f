# Front door for building, running and testing the updater.
BUILD ?= build
GENERATOR ?= Ninja
# CI builds with warnings as errors.
WERROR := $(if $(CI),ON,OFF)
CMAKE_ARGS ?=

.PHONY: all deps configure build run demo demo-build test sweep asan tsan fuzz clean bench install package

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G $(GENERATOR) -DLUMIVEX_WERROR=$(WERROR) $(CMAKE_ARGS) > $(BUILD).configure.log || { cat $(BUILD).configure.log; exit 1; }

build: configure
	@cmake --build $(BUILD)

run: build
	$(BUILD)/lumivex-updater

# The demo runs on a virtual T camera described in examples/; its flash and EEPROM files live in
# $(BUILD)/demo-camera/. Only the window, the demo's images and its camera are built first: the
# tests and benchmarks would keep a first-time visitor waiting several times as long.
demo-build: configure
	@cmake --build $(BUILD) --target lumivex-updater lumivex_demo_resources lumivex_demo_camera

demo: demo-build
	LUMIVEX_RESOURCES_DIR=$(CURDIR)/$(BUILD)/demo-resources \
	LUMIVEX_VIRTUAL_CAMERA=$(CURDIR)/$(BUILD)/demo-camera/virtual-t-camera.json \
	$(BUILD)/lumivex-updater

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 300 -j2

# make sweep: the fault sweep alone (a full update through the window once per fault; also part
# of make test), writing its table to docs/fault-sweep.md.
sweep: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen LUMIVEX_SWEEP_REPORT=$(CURDIR)/docs/fault-sweep.md \
		ctest --output-on-failure -L sweep

# Sanitizer builds: the whole tree in a folder of its own, built with -O1 so that reports point at
# the right lines and the suite stays quick. Warnings are the plain build's business.
JOBS ?= 2
SANITIZER_CMAKE_ARGS = -G $(GENERATOR) -DLUMIVEX_WERROR=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	"-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g" $(CMAKE_ARGS)
# Every report ends the test with a failure. umockdev-wrapper preloads its library ahead of the
# ASan runtime, hence verify_asan_link_order=0. tests/sanitizers/ says which leaks and races inside
# system libraries the sanitizers are told to ignore, and why.
SANITIZER_ENV = QT_QPA_PLATFORM=offscreen \
	ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:verify_asan_link_order=0 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizers/lsan.supp \
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:history_size=4:suppressions=$(CURDIR)/tests/sanitizers/tsan.supp
# The tests whose code crosses threads: the USB hotplug thread, the serial queue and the status
# presentation's thread order, the device lock shared by two threads, the update runs and the
# controller, and the command line writing cameras side by side.
TSAN_TESTS ?= ^(presentation|device_session|spiflash|update_tests|arrival|controller|cli)

# make asan: the whole suite under AddressSanitizer (leaks included) and UndefinedBehaviorSanitizer.
# The fault sweep fails every ASAN_SWEEP_STRIDE-th transfer only (the plain suite fails each one):
# in full it takes a quarter of an hour under ASan. The ways of leaving a run through the real
# program (label leaving) time a run's phases by the clock: they are the plain suite's.
ASAN_SWEEP_STRIDE ?= 7
asan: deps
	@cmake -S . -B build-asan $(SANITIZER_CMAKE_ARGS) -DLUMIVEX_SANITIZE=address,undefined > build-asan.configure.log || { cat build-asan.configure.log; exit 1; }
	@cmake --build build-asan -j$(JOBS)
	cd build-asan && $(SANITIZER_ENV) LUMIVEX_SWEEP_STRIDE=$(ASAN_SWEEP_STRIDE) ctest --output-on-failure --timeout 600 -j$(JOBS) -LE "leaving|atspi"

# make tsan: the tests that run code on more than one thread, under ThreadSanitizer. The umockdev
# test's timing is tight under the sanitizer's slowdown: it alone is given a second run, so that a
# race reported only now and then in the others still fails the stage.
tsan: deps
	@cmake -S . -B build-tsan $(SANITIZER_CMAKE_ARGS) -DLUMIVEX_SANITIZE=thread > build-tsan.configure.log || { cat build-tsan.configure.log; exit 1; }
	@cmake --build build-tsan -j$(JOBS)
	cd build-tsan && $(SANITIZER_ENV) ctest --output-on-failure --timeout 900 -j$(JOBS) -R '$(TSAN_TESTS)'
	cd build-tsan && $(SANITIZER_ENV) ctest --output-on-failure --timeout 900 -R '^usb_e2e' --repeat until-pass:2

# make fuzz: every libFuzzer target in tests/fuzz for FUZZ_SECONDS each, with clang (installed when
# missing). Each runs on a scratch copy of its seeds; crashes land in build-fuzz/findings/<target>/.
FUZZ_SECONDS ?= 60
fuzz: deps
	@scripts/install-deps clang libclang-rt-dev
	@CXX=clang++ cmake -S . -B build-fuzz -G $(GENERATOR) -DLUMIVEX_FUZZ=ON -DLUMIVEX_WERROR=OFF \
		-DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS) > build-fuzz.configure.log || { cat build-fuzz.configure.log; exit 1; }
	@cmake --build build-fuzz -j$(JOBS) --target lumivex_fuzzers
	@tests/fuzz/run-fuzzers build-fuzz $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) $(BUILD).configure.log build-asan build-tsan build-fuzz build-release build-package build-*.configure.log

# make bench: builds the benchmarks and the programs they start, runs them all and writes their
# figures, goals and the machine they ran on to docs/benchmarks.md. Quietest on an idle machine.
bench: configure
	@cmake --build $(BUILD) --target lumivex_benchmarks
	bench/run-benchmarks $(BUILD) docs/benchmarks.md

# make install: a release build of its own in build-release/ (optimised, without the tests),
# installed with stripped programs under PREFIX, or staged under DESTDIR when that is set. The udev
# rule goes to the folder udev reads (udev.pc's udevdir), whatever PREFIX is. Installing into the
# system needs root: sudo make install.
PREFIX ?= /usr/local
DESTDIR ?=
install: deps
	@cmake -S . -B build-release -G $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DLUMIVEX_BUILD_TESTS=OFF \
		-DLUMIVEX_WERROR=$(WERROR) $(CMAKE_ARGS) > build-release.configure.log || { cat build-release.configure.log; exit 1; }
	@cmake --build build-release -j$(JOBS)
	DESTDIR="$(DESTDIR)" cmake --install build-release --prefix "$(PREFIX)" --strip

# Debian's build flags with every hardening option (bindnow included), as a Debian package is built.
buildflags = $(shell DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get $(1) 2>/dev/null)

# make package: the Debian packages lumivex-updater and lumivex-cli, made from a release build of
# their own in build-package/ (optimised, without the tests, Debian's hardening flags) and written
# to build-package/packages/. The udev rule goes to /usr/lib/udev/rules.d, where packages put it.
package: deps
	@cmake -S . -B build-package -G $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DLUMIVEX_BUILD_TESTS=OFF \
		-DLUMIVEX_WERROR=$(WERROR) -DLUMIVEX_UDEV_RULES_DIR=/usr/lib/udev/rules.d \
		"-DCMAKE_CXX_FLAGS=$(call buildflags,CPPFLAGS) $(call buildflags,CXXFLAGS)" \
		"-DCMAKE_EXE_LINKER_FLAGS=$(call buildflags,LDFLAGS)" \
		$(CMAKE_ARGS) > build-package.configure.log || { cat build-package.configure.log; exit 1; }
	@cmake --build build-package -j$(JOBS)
	@rm -rf build-package/packages
	cd build-package && cpack -G DEB
