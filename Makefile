# Two entry points for a fresh machine: `make run` and `make test`. `make windows`
# cross-builds the Windows program; `make wine-test` runs the protocol tests against it
# under Wine. `make web` builds the board page with the engine as WebAssembly in
# build-web/; `make serve` serves it on http://localhost:8000.
BUILD ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release
JOBS ?= 2
WINDOWS_BUILD ?= build-windows
WINDOWS_CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release -DZERIN_TESTS=OFF -DZERIN_BENCH=OFF
WEB_BUILD ?= build-web
PORT ?= 8000

.PHONY: all build run test windows wine-test web serve clean

all: build

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# The engine owns standard output once it runs, so the build talks on stderr.
run: $(BUILD)/CMakeCache.txt
	@cmake --build $(BUILD) -j $(JOBS) --target pbrain-zerin 1>&2
	@exec ./$(BUILD)/pbrain-zerin

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# $(WINDOWS_BUILD)/pbrain-zerin.exe: 64-bit, statically linked, built by Debian's mingw-w64
# compiler (installed when missing); fails when it imports a DLL Windows does not have.
windows:
	@tools/install_windows_toolchain.sh
	@test -f $(WINDOWS_BUILD)/CMakeCache.txt || cmake -S . -B $(WINDOWS_BUILD) \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake $(WINDOWS_CMAKE_FLAGS)
	cmake --build $(WINDOWS_BUILD) -j $(JOBS) --target pbrain-zerin
	@tools/check_windows_imports.sh $(WINDOWS_BUILD)/pbrain-zerin.exe

wine-test:
	tools/wine_tests.sh

# The page and both engines (threaded, single-threaded), built with Debian's emscripten
# (installed when missing) under build-web-engine/.
web:
	@JOBS=$(JOBS) tools/build_web.sh $(WEB_BUILD)

# Cross-origin isolated, so that the page runs the threaded engine.
serve: web
	python3 tools/serve_web.py --port $(PORT) $(WEB_BUILD)

clean:
	rm -rf $(BUILD) $(WINDOWS_BUILD) $(WEB_BUILD) build-web-engine
