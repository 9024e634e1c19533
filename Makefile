# Front door: `make run` and `make test` do all the set-up on Debian 12.

BUILD_DIR  ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)

# Debian packages the build and the tests need.
PACKAGES := cmake g++ make pkg-config \
            qt6-base-dev qt6-serialport-dev libgl-dev \
            fonts-dejavu-core

# Debian packages that building and checking the .deb needs on top; only
# `make package` and `make package-check` install them.
PACKAGE_TOOLS := dpkg-dev scdoc desktop-file-utils appstream shared-mime-info man-db
PACKAGE_DIR   := build-package
# Public web address of docs/screenshot.png for the AppStream metainfo;
# empty leaves the screenshot out.
SCREENSHOT_URL ?=

ifeq ($(SANITIZE),1)
BUILD_DIR  := build-sanitize
CMAKE_ARGS += -DVARLO_SANITIZE=ON
BUILD_TYPE := Debug
endif

.PHONY: all deps configure build test run clean package package-check

all: build

deps:
	@sh tools/install-deps.sh $(PACKAGES)

configure:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_ARGS)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: deps
	$(MAKE) build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

run: deps
	$(MAKE) build
	@if [ -x $(BUILD_DIR)/bin/varlo ]; then \
	    $(BUILD_DIR)/bin/varlo; \
	else \
	    echo "Built the core and its tests; the varlo window program does not exist yet."; \
	    exit 1; \
	fi

package:
	@sh tools/install-deps.sh $(PACKAGES) $(PACKAGE_TOOLS)
	cmake -S . -B $(PACKAGE_DIR) -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_INSTALL_PREFIX=/usr -DBUILD_TESTING=OFF \
	    -DVARLO_REQUIRE_PACKAGING_TOOLS=ON \
	    -DVARLO_SCREENSHOT_URL="$(SCREENSHOT_URL)"
	cmake --build $(PACKAGE_DIR) -j $(JOBS)
	rm -f $(PACKAGE_DIR)/varlo_*.deb
	cd $(PACKAGE_DIR) && cpack -G DEB
	@echo "Package: $$(ls $(PACKAGE_DIR)/varlo_*.deb)"

package-check:
	@sh tools/install-deps.sh $(PACKAGES) $(PACKAGE_TOOLS)
	bash tools/check-package.sh

clean:
	rm -rf build build-sanitize $(PACKAGE_DIR)
