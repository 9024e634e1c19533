# SPDX-License-Identifier: GPL-3.0-or-later
# Front door: `make run` and `make test` do all the set-up on Debian 12.

BUILD_DIR  ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
# New build folders use Ninja: it builds faster than make and finds nothing
# to do in a tenth of a second, where make takes seconds. A folder keeps the
# generator it was first configured with.
export CMAKE_GENERATOR ?= Ninja

# Debian packages the build and the tests need.
PACKAGES := cmake ninja-build g++ make pkg-config \
            qt6-base-dev qt6-serialport-dev qt6-svg-dev libgl-dev \
            libmosquitto-dev mosquitto \
            fonts-dejavu-core fonts-freefont-ttf
# Only for `make screenshot`: a virtual X display.
SCREENSHOT_PACKAGES := xvfb xauth
# Only for `make test`: a virtual X display and the tools that read what the
# window system gets from the window (its title).
TEST_PACKAGES := xvfb xauth x11-utils

# What `make fuzz` needs besides: clang and its libFuzzer runtime.
FUZZ_PACKAGES := clang libclang-rt-14-dev
FUZZ_DIR      := build-fuzz
FUZZ_SECONDS  ?= 60
# Any input is given 10 s and 2 GB at most: a reader that takes longer or
# more for a few kilobytes is a finding. A target whose real inputs are
# longer (a font file is 38 KB) says so in fuzz/NAME.flags, read after these.
FUZZ_FLAGS    ?= -max_len=8192 -timeout=10 -rss_limit_mb=2048
# The fuzz build shares compiled objects with other folders when ccache is
# there.
FUZZ_CCACHE   := $(if $(shell command -v ccache 2>/dev/null),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)

# Debian packages that building and checking the .deb needs on top; only
# `make package` and `make package-check` install them.
PACKAGE_TOOLS := dpkg-dev scdoc desktop-file-utils appstream shared-mime-info man-db \
                 lintian devscripts
PACKAGE_DIR   := build-package
# Public web address of docs/screenshot.png for the AppStream metainfo;
# empty leaves the screenshot out.
SCREENSHOT_URL ?=

ifeq ($(SANITIZE),1)
BUILD_DIR  := build-sanitize
override CMAKE_ARGS += -DVARLO_SANITIZE=ON
BUILD_TYPE := Debug
endif

.PHONY: font-pictures format all deps fuzz-deps configure build test bench run screenshot fuzz fuzz-smoke clean package package-check

all: build

deps:
	@sh tools/install-deps.sh $(PACKAGES)

fuzz-deps:
	@sh tools/install-deps.sh $(PACKAGES) $(FUZZ_PACKAGES)

# Configures a new build folder, and an existing one only when asked for
# another build type or for CMAKE_ARGS it was not last given: the cache keeps
# every setting, and `cmake --build` re-runs the step by itself when a
# CMakeLists.txt changes. So a second `make run` goes straight to the build.
configure:
	@if [ ! -f $(BUILD_DIR)/CMakeCache.txt ] || \
	    ! grep -qx 'CMAKE_BUILD_TYPE:STRING=$(BUILD_TYPE)' $(BUILD_DIR)/CMakeCache.txt || \
	    { [ -n '$(CMAKE_ARGS)' ] && [ "$$(cat $(BUILD_DIR)/.cmake-args 2>/dev/null)" != '$(CMAKE_ARGS)' ]; }; then \
	    echo cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_ARGS); \
	    cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_ARGS) && \
	    echo '$(CMAKE_ARGS)' > $(BUILD_DIR)/.cmake-args; \
	fi

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: deps
	@sh tools/install-deps.sh $(TEST_PACKAGES)
	$(MAKE) build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# Benchmarks are built with everything else but run only here.
bench: deps
	@sh tools/install-deps.sh $(SCREENSHOT_PACKAGES)
	$(MAKE) build
	bench/run $(BUILD_DIR)

# The shortest way to the window: the display is checked before anything is
# installed or built, and only the program and what it needs is built (the
# tests and benchmarks are left to `make test`).
run:
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ] && [ -z "$$QT_QPA_PLATFORM" ]; then \
	    echo "make run: varlo is a desktop program, and there is no display to open its window on" >&2; \
	    echo "(DISPLAY and WAYLAND_DISPLAY are not set). Run it in a terminal of a desktop session," >&2; \
	    echo "or log in with ssh -X. 'make test' needs no display." >&2; \
	    exit 1; \
	fi
	@$(MAKE) --no-print-directory deps
	@$(MAKE) --no-print-directory configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target varlo
	$(BUILD_DIR)/bin/varlo

# Saves pictures of the main window, the Preview window and the Character
# Generator to docs/screenshot.png, docs/preview.png and docs/font-editor.png.
screenshot: deps
	@sh tools/install-deps.sh $(SCREENSHOT_PACKAGES)
	$(MAKE) build
	VARLO_BUILD_DIR=$(BUILD_DIR) sh tools/screenshot.sh
	VARLO_BUILD_DIR=$(BUILD_DIR) sh tools/screenshot.sh --preview
	VARLO_BUILD_DIR=$(BUILD_DIR) sh tools/screenshot.sh --font-editor

# Redraws the font sheets and proofs in docs/ (tools/font-pictures.sh).
font-pictures: configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target varlo_fontsheet
	sh tools/font-pictures.sh $(BUILD_DIR)

# The package is built as Debian builds its own: with the compiler and linker
# flags dpkg-buildflags gives, every hardening feature on (fortify, stack
# protector, RELRO, bind-now, PIE). CMake reads no CPPFLAGS, so those go in
# front of the compiler flags. On top come two that Debian's later
# dpkg-buildflags adds and Debian 12's does not: fortify level 3, which also
# checks copies whose buffer size is only known at run time, and stack clash
# protection. (Control-flow protection would be lost at link time: Debian
# 12's C library start files are built without it.)
HARDENING_ADDED := -U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=3 -fstack-clash-protection
package:
	@sh tools/install-deps.sh $(PACKAGES) $(PACKAGE_TOOLS)
	export DEB_BUILD_MAINT_OPTIONS=hardening=+all && \
	cmake -S . -B $(PACKAGE_DIR) -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_CXX_FLAGS="$$(dpkg-buildflags --get CPPFLAGS) $(HARDENING_ADDED) $$(dpkg-buildflags --get CXXFLAGS)" \
	    -DCMAKE_EXE_LINKER_FLAGS="$$(dpkg-buildflags --get LDFLAGS)" \
	    -DCMAKE_MODULE_LINKER_FLAGS="$$(dpkg-buildflags --get LDFLAGS)" \
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

# Runs every fuzz target for FUZZ_SECONDS. New inputs go to $(FUZZ_DIR)/corpus,
# so the seed corpus in fuzz/corpus stays as committed; crashes land in
# $(FUZZ_DIR)/artifacts.
fuzz: fuzz-deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARLO_FUZZ=ON $(FUZZ_CCACHE)
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target varlo_fuzzers
	@mkdir -p $(FUZZ_DIR)/artifacts
	@for target in $(FUZZ_DIR)/fuzz/*_fuzz; do \
	    name=$$(basename $$target _fuzz); \
	    mkdir -p $(FUZZ_DIR)/corpus/$$name; \
	    echo "== $$name for $(FUZZ_SECONDS) s"; \
	    $$target $(FUZZ_FLAGS) $$(grep -v '^#' fuzz/$$name.flags 2>/dev/null) -max_total_time=$(FUZZ_SECONDS) \
	        -artifact_prefix=$(FUZZ_DIR)/artifacts/$$name- \
	        $(FUZZ_DIR)/corpus/$$name fuzz/corpus/$$name || exit 1; \
	done

# What CI runs: every target briefly, enough to catch a fresh crash and
# to replay every seed, and short enough for ten targets.
fuzz-smoke:
	$(MAKE) fuzz FUZZ_SECONDS=5

clean:
	rm -rf build build-sanitize $(FUZZ_DIR) $(PACKAGE_DIR)

# Formats the C++ sources with the project's .clang-format.
format:
	git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format -i
