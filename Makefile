# Thin wrapper over CMake. `make test` and `make demo` work on a fresh
# Debian 12 machine: both install what is missing first.
JOBS    ?= $(shell nproc)
BUILD   ?= build
CMAKE   ?= cmake
CTEST   ?= ctest --output-on-failure -j $(JOBS)

RELEASE_DIR := $(BUILD)/release
ASAN_DIR    := $(BUILD)/asan
CLANG_ASAN_DIR := $(BUILD)/asan-clang
TSAN_DIR    := $(BUILD)/tsan
BENCH_DIR   := $(BUILD)/bench
FUZZ_DIR    := $(BUILD)/fuzz
PACKAGE_DIR := $(BUILD)/package
# Seconds each fuzz target runs for in `make fuzz`.
FUZZ_SECONDS ?= 60

.PHONY: all deps build test test-release asan asan-clang tsan consumer package package-check demo \
        bench fuzz stress clean

all: build

deps:
	@./scripts/install-deps.sh

$(RELEASE_DIR)/CMakeCache.txt: | deps
	$(CMAKE) -S . -B $(RELEASE_DIR) -DCMAKE_BUILD_TYPE=Release

build: deps $(RELEASE_DIR)/CMakeCache.txt
	$(CMAKE) --build $(RELEASE_DIR) -j $(JOBS)

test-release: build
	cd $(RELEASE_DIR) && $(CTEST)

asan: deps
	$(CMAKE) -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DEB_SANITIZE=address
	$(CMAKE) --build $(ASAN_DIR) -j $(JOBS)
	cd $(ASAN_DIR) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 $(CTEST)

# The same under clang, whose UndefinedBehaviorSanitizer also checks enum
# and bool values, local array bounds and nullability.
asan-clang: deps
	CXX=clang++ $(CMAKE) -S . -B $(CLANG_ASAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DEB_SANITIZE=address
	$(CMAKE) --build $(CLANG_ASAN_DIR) -j $(JOBS)
	cd $(CLANG_ASAN_DIR) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 $(CTEST)

tsan: deps
	$(CMAKE) -S . -B $(TSAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DEB_SANITIZE=thread
	$(CMAKE) --build $(TSAN_DIR) -j $(JOBS)
	cd $(TSAN_DIR) && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 $(CTEST)

# Installs the release build into a temporary prefix and builds the example
# consumer against it, through CMake and through pkg-config.
consumer: build
	./scripts/check-consumer.sh $(RELEASE_DIR)

# Debian packages, from a release tree of its own: configured for /usr
# (multiarch libdir, no RPATH), without the tests.
package: deps
	$(CMAKE) -S . -B $(PACKAGE_DIR) -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
	  -DEB_BUILD_TESTS=OFF
	$(CMAKE) --build $(PACKAGE_DIR) -j $(JOBS)
	rm -f $(PACKAGE_DIR)/packages/*.deb
	cd $(PACKAGE_DIR) && cpack -G DEB
	@ls -1 $(PACKAGE_DIR)/packages/*.deb

# Lintian, then the packages unpacked into a temporary root: the tool runs
# on its sample, and the consumer builds against the root and runs.
package-check: package
	./scripts/check-package.sh $(PACKAGE_DIR)/packages

test: test-release consumer package-check asan asan-clang tsan
	@echo "make test: all runs passed"

# Only what the demo runs: the library, the platform and the tool, not the
# tests.
demo: deps $(RELEASE_DIR)/CMakeCache.txt
	$(CMAKE) --build $(RELEASE_DIR) --target extent-browse -j $(JOBS)
	$(RELEASE_DIR)/tools/extent-browse/extent-browse demo

# Many browsers, callers and faults at once against the release build; the
# test suite runs the same harness for ten seconds in each tree.
STRESS_SECONDS ?= 60
stress: build
	STRESS_SECONDS=$(STRESS_SECONDS) $(RELEASE_DIR)/tests/stress/eb_stress

bench: deps
	$(CMAKE) -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DEB_BUILD_BENCH=ON -DEB_BUILD_TESTS=OFF
	$(CMAKE) --build $(BENCH_DIR) -j $(JOBS)
	./scripts/run-benchmarks.sh $(BENCH_DIR)

fuzz: deps
	CXX=clang++ $(CMAKE) -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DEB_BUILD_FUZZ=ON \
	  -DEB_BUILD_TESTS=OFF -DEB_BUILD_TOOLS=OFF
	$(CMAKE) --build $(FUZZ_DIR) -j $(JOBS)
	FUZZ_SECONDS=$(FUZZ_SECONDS) ./scripts/run-fuzzers.sh $(FUZZ_DIR)

clean:
	rm -rf $(BUILD)
