# Front door for building, running and testing the updater.
BUILD ?= build
GENERATOR ?= Ninja
# CI builds with warnings as errors.
WERROR := $(if $(CI),ON,OFF)
CMAKE_ARGS ?=

.PHONY: all deps configure build run demo test clean

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
# $(BUILD)/demo-camera/.
demo: build
	LUMIVEX_RESOURCES_DIR=$(CURDIR)/$(BUILD)/demo-resources \
	LUMIVEX_VIRTUAL_CAMERA=$(CURDIR)/$(BUILD)/demo-camera/virtual-t-camera.json \
	$(BUILD)/lumivex-updater

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 300 -j2

clean:
	rm -rf $(BUILD) $(BUILD).configure.log
