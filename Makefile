# Front door: `make run` and `make test` do all the set-up on Debian 12.

BUILD_DIR  ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)

# Debian packages the build and the tests need.
PACKAGES := cmake g++ make pkg-config \
            qt6-base-dev qt6-serialport-dev libgl-dev \
            fonts-dejavu-core

ifeq ($(SANITIZE),1)
BUILD_DIR  := build-sanitize
CMAKE_ARGS += -DVARLO_SANITIZE=ON
BUILD_TYPE := Debug
endif

.PHONY: all deps configure build test bench run clean

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

# Benchmarks are built with everything else but run only here.
bench: deps
	$(MAKE) build
	$(BUILD_DIR)/bin/bench_link

run: deps
	$(MAKE) build
	@if [ -x $(BUILD_DIR)/bin/varlo ]; then \
	    $(BUILD_DIR)/bin/varlo; \
	else \
	    echo "Built the core and its tests; the varlo window program does not exist yet."; \
	    exit 1; \
	fi

clean:
	rm -rf build build-sanitize
