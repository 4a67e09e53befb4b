# The two commands a newcomer needs: `make run` and `make test`. Everything installs itself.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr
# The clang build with AddressSanitizer and UndefinedBehaviorSanitizer: unit tests and fuzz targets.
SANITIZE_BUILD ?= build-sanitize
FUZZ_SECONDS ?= 60

.PHONY: all deps configure build run test sanitize-test fuzz bench package package-check farm-test clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

configure: deps $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	scripts/run-samples $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

sanitize-test: deps
	scripts/sanitize-tests $(SANITIZE_BUILD)

fuzz: deps
	FUZZ_SECONDS=$(FUZZ_SECONDS) scripts/fuzz $(SANITIZE_BUILD)

bench: build
	bench/run $(BUILD)

package: build
	cd $(BUILD) && cpack -G DEB

package-check: build
	scripts/check-package $(BUILD)

# A one-node Slurm cluster on this machine runs the job-array recipe of docs/farm.md.
farm-test: build
	scripts/farm-test $(BUILD)

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD)
