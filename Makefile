# Front door of the build. `make demo` and `make test` are all a fresh Debian 12 machine needs.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
BUILD ?= build
CMAKE_FLAGS ?=
# Ninja builds the independent libraries side by side; make's recursive build would not.
GENERATOR := $(if $(shell command -v ninja),-G Ninja,)

# Debian packages the project builds and tests with.
PACKAGES := g++ cmake make pkg-config libsqlite3-dev unixodbc-dev odbcinst tdsodbc libsqliteodbc \
            nlohmann-json3-dev libcli11-dev libfmt-dev libgtest-dev libgmock-dev libbenchmark-dev ninja-build \
            dpkg-dev file

.PHONY: all deps configure build test demo package test-asan test-tsan test-sanitizers bench clean format \
        deps-windows windows wine-prefix wine-server-up test-windows bench-windows

all: build

# Installs the Debian packages named in PACKAGES (override it to install another set).
deps:
	@missing=$$(for p in $(PACKAGES); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; done); \
	if [ -z "$$missing" ]; then exit 0; fi; \
	if [ "$$(id -u)" = 0 ]; then \
	  echo "Installing: $$missing"; \
	  for attempt in 1 2 3 4 5 6 7 8 9 10 11 12; do \
	    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing >/dev/null && exit 0; \
	    echo "apt-get failed (another install holding the lock?); retrying in 10 s"; sleep 10; \
	  done; exit 1; \
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

# The Debian package of the program (dpkg-dev finds its dependencies), in the build folder.
package: configure
	cmake --build $(BUILD) -j $(JOBS) --target rilo-server
	cd $(BUILD) && cpack -G DEB

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

# Windows: the same tree cross-built with mingw-w64, its tests run under Wine. npm fetches the
# pinned SQLite amalgamation. Each run has a Wine prefix of its own under the build folder.
WIN_BUILD ?= build-windows
WIN_PACKAGES := g++-mingw-w64-x86-64 mingw-w64-tools libwine-dev wine wine64 $(if $(shell command -v npm),,npm) \
                libfmt-dev nlohmann-json3-dev libcli11-dev googletest cmake ninja-build
WINE_ENV = WINEPREFIX=$(abspath $(WIN_BUILD))/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES=winemenubuilder.exe=d

deps-windows:
	@$(MAKE) --no-print-directory deps PACKAGES="$(WIN_PACKAGES)"

windows: deps-windows
	@if [ ! -f $(WIN_BUILD)/CMakeCache.txt ]; then \
	  cmake -S . -B $(WIN_BUILD) $(GENERATOR) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	    -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS) >/dev/null; \
	else cmake -S . -B $(WIN_BUILD) >/dev/null; fi
	cmake --build $(WIN_BUILD) -j $(JOBS)

# A fresh prefix boots once (its first start would otherwise stall the first test); the
# wine server of this prefix, and only it, is ended afterwards.
wine-prefix:
	@mkdir -p $(WIN_BUILD)/wineprefix
	@$(WINE_ENV) timeout 300 wineboot -i >/dev/null 2>&1 || { echo "wineboot failed"; exit 1; }
	@$(WINE_ENV) timeout 120 wineserver -w

# The prefix's wine server is kept up for the whole run (-p): one that ends between two test
# programs would reset the connection of the next one that starts as it goes. Its services are
# started first, with output to /dev/null: started by a test, they would hold that test's
# output open and ctest would wait on it until its time-out.
wine-server-up:
	@$(WINE_ENV) timeout 60 wineserver -p
	@$(WINE_ENV) timeout 120 wine cmd /c exit >/dev/null 2>&1 </dev/null || true

test-windows: windows wine-prefix wine-server-up
	@status=0; cd $(WIN_BUILD) && $(WINE_ENV) ctest --output-on-failure -j $(JOBS) --timeout 600 || status=$$?; \
	$(WINE_ENV) timeout 60 wineserver -k || true; exit $$status

bench-windows: windows wine-prefix wine-server-up
	@status=0; for b in $(WIN_BUILD)/*_bench.exe; do echo "== $$b"; $(WINE_ENV) timeout 600 wine $$b $(BENCH_ARGS) || status=$$?; done; \
	$(WINE_ENV) timeout 60 wineserver -k || true; exit $$status

clean:
	rm -rf build build-asan build-tsan build-windows

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')
