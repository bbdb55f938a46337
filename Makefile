# Front door of the build. `make demo` and `make test` are all a fresh Debian 12 machine needs.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
BUILD ?= build
CMAKE_FLAGS ?=
# Ninja builds the independent libraries side by side; make's recursive build would not.
GENERATOR := $(if $(shell command -v ninja),-G Ninja,)

# Debian packages the project builds and tests with.
PACKAGES := g++ cmake make pkg-config libsqlite3-dev unixodbc-dev odbcinst tdsodbc libsqliteodbc \
            nlohmann-json3-dev libcli11-dev libfmt-dev libgtest-dev libgmock-dev libbenchmark-dev ninja-build

.PHONY: all deps configure build test demo test-asan test-tsan test-sanitizers bench clean format

all: build

deps:
	@missing=$$(for p in $(PACKAGES); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; done); \
	if [ -z "$$missing" ]; then exit 0; fi; \
	if [ "$$(id -u)" = 0 ]; then \
	  echo "Installing: $$missing"; \
	  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing >/dev/null; \
	else \
	  echo "Missing Debian packages. Run as root:"; \
	  echo "  apt-get update && apt-get install -y $$missing"; exit 1; \
	fi

# Configure once; a build folder keeps the generator it was made with.
configure: deps
	@if [ -f $(BUILD)/CMakeCache.txt ]; then cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null; \
	else cmake -S . -B $(BUILD) $(GENERATOR) $(CMAKE_FLAGS) >/dev/null; fi

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 300

# The demo needs the program only, not the tests and benchmarks.
demo: configure
	cmake --build $(BUILD) -j $(JOBS) --target rilo-server
	./$(BUILD)/rilo-server demo $(DEMO_ARGS)

# Address and undefined-behaviour sanitizers over every test; thread sanitizer over the threading tests.
test-asan:
	$(MAKE) test BUILD=build-asan CMAKE_FLAGS="-DRILO_SANITIZE=address -DRILO_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug"

test-tsan:
	$(MAKE) configure BUILD=build-tsan CMAKE_FLAGS="-DRILO_SANITIZE=thread -DRILO_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug"
	cmake --build build-tsan -j $(JOBS) --target platform_tests component_tests api_tests
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j $(JOBS) -L 'platform_tests|component_tests|api_tests' --timeout 300

test-sanitizers: test-asan test-tsan

bench: build
	@for b in $(BUILD)/*_bench; do echo "== $$b"; $$b; done

clean:
	rm -rf build build-asan build-tsan

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')
