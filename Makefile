# Two entry points for a fresh machine: `make run` and `make test`.
BUILD ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release
JOBS ?= 2

.PHONY: all build run test clean

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

clean:
	rm -rf $(BUILD)
