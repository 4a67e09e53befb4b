# The two commands a newcomer needs: `make run` and `make test`. Everything installs itself.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr
# The clang build with AddressSanitizer and UndefinedBehaviorSanitizer: unit tests and fuzz targets.
SANITIZE_BUILD ?= build-sanitize
FUZZ_SECONDS ?= 60
# make mutate: the folder whose code is broken on purpose, and how many variants to try (0 = all).
FOLDER ?= engine
SAMPLE ?= 0
SEED ?= 1

.PHONY: all deps configure build run test sanitize-test fuzz bench package package-check farm-test mutate clean

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

# Breaks the code of FOLDER one operator at a time and lists the variants its tests miss; a tool,
# not part of CI. FILE=Lut.cpp limits it to one file.
mutate: deps
	nice scripts/mutate --sample $(SAMPLE) --seed $(SEED) $(FOLDER) $(FILE)

package: build
	cd $(BUILD) && cpack -G DEB

package-check: build
	scripts/check-package $(BUILD)

# A one-node Slurm cluster on this machine runs the job-array recipe of docs/farm.md.
farm-test: build
	scripts/farm-test $(BUILD)

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD)
