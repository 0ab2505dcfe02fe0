# Two commands set everything up:
#   make run    installs what is missing, builds, starts the game
#   make test   installs what is missing, builds, runs every test

BUILD_DIR ?= build
JOBS      ?= $(shell nproc)

PREFIX    ?= /usr/local

.PHONY: all deps build run test test-sanitized test-threads lint fuzz bench clean install package protocol-table

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD_DIR)/CMakeCache.txt:
	cmake -S . -B $(BUILD_DIR)

build: deps $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS)

# The program, the headless player, the map, a desktop entry, an icon and a
# manual page under PREFIX.
install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

# The Debian packages quillstep, quillstep-server and quillstep-data in
# BUILD_DIR (cmake/Packaging.cmake).
package: build
	cmake --build $(BUILD_DIR) --target package

# Only the game itself: the tests and benchmarks wait for make build or make test.
run: deps $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS) --target quillstep
	./$(BUILD_DIR)/quillstep

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# The same tests built with AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitized: deps
	cmake -S . -B build-asan -DQUILLSTEP_SANITIZE=address,undefined
	cmake --build build-asan -j $(JOBS)
	ctest --test-dir build-asan --output-on-failure -j $(JOBS)

# The tests that run threads of their own, under ThreadSanitizer.
test-threads: deps
	cmake -S . -B build-tsan -DQUILLSTEP_SANITIZE=thread
	cmake --build build-tsan -j $(JOBS) --target quillstep_threaded_tests quillstep-server
	ctest --test-dir build-tsan --output-on-failure -L threaded

# Style (clang-format) and static analysis (clang-tidy); any finding fails.
lint: deps $(BUILD_DIR)/CMakeCache.txt
	bash scripts/lint.sh $(BUILD_DIR)

# Each libFuzzer target for FUZZ_SECONDS (60 by default) on its seed corpus.
fuzz: deps
	bash scripts/fuzz.sh

# Writes the game-message table of docs/network-protocol.md from the messages' descriptions.
protocol-table: build
	cmake --build $(BUILD_DIR) --target protocol-table

bench: build
	./$(BUILD_DIR)/bench/world_bench
	./$(BUILD_DIR)/bench/net_bench
	./$(BUILD_DIR)/bench/host_load
	./$(BUILD_DIR)/bench/fragment_memory
	bash tests/with-xvfb.sh ./$(BUILD_DIR)/bench/draw_bench
	bash bench/quit_time.sh $(BUILD_DIR)
	bash bench/idle_cpu.sh $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR) build-asan build-tsan build-fuzz
