# Wraps CMake. `make run` and `make test` do all the set-up a fresh Debian
# machine needs (scripts/bootstrap installs the packages).
BUILD_DIR ?= build
JOBS ?= $(shell nproc)

.PHONY: all bootstrap build test run bench package clean

all: build

bootstrap:
	scripts/bootstrap

build: bootstrap
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Every test suite, on SQLite and on a throwaway PostgreSQL server.
test: build
	scripts/with-postgres ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# The program on the demo store (created and registered as Dorvica2 the first time).
run: build
	scripts/run-demo $(BUILD_DIR)

# The benchmarks, on a generated store of 100 000 patients and 1 000 000 exams.
bench: build
	scripts/bench $(BUILD_DIR)

# The Debian package, in $(BUILD_DIR).
package: build
	cmake --build $(BUILD_DIR) --target package

clean:
	rm -rf $(BUILD_DIR)
