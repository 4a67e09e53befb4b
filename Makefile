# The two commands a newcomer needs: `make run` and `make test`. Everything installs itself.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr

.PHONY: all deps configure build run test bench package package-check clean

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

bench: build
	bench/run $(BUILD)

package: build
	cd $(BUILD) && cpack -G DEB

package-check: build
	scripts/check-package $(BUILD)

clean:
	rm -rf $(BUILD)
