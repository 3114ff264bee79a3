# Two commands on a fresh Debian machine: `make run` and `make test`.
BUILD_DIR ?= build
ASAN_DIR  ?= build-asan
BUILD_TYPE ?= RelWithDebInfo
PACKAGES := build-essential cmake ninja-build pkg-config qt6-base-dev libhidapi-dev \
            libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev libcli11-dev \
            xvfb xauth
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps build run test test-asan bench format screenshots clean

all: build

# Installs only what is missing, so a machine that has everything is not
# touched and needs no network.
deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi

$(BUILD_DIR)/build.ninja: CMakeLists.txt
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

build: deps $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR)

run: build
	$(BUILD_DIR)/src/zm5520-evm --simulate

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2

test-asan: deps
	cmake -S . -B $(ASAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DEVM_SANITIZE=ON
	cmake --build $(ASAN_DIR)
	cd $(ASAN_DIR) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
	  UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j2

bench: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DEVM_BUILD_BENCH=ON
	cmake --build $(BUILD_DIR)
	@for b in $(BUILD_DIR)/bench/*_bench; do [ -x "$$b" ] && "$$b"; done; true

# Every window to $(BUILD_DIR)/screenshots; the README's few to docs/.
SHOTS_DIR := $(BUILD_DIR)/screenshots
README_SHOTS := formMain_QMA740_tabRegisters formMain_QMA740_tabCalibrate frmEvalControl frmScript
screenshots: build
	rm -rf $(SHOTS_DIR)
	QT_QPA_PLATFORM=offscreen $(BUILD_DIR)/src/zm5520-evm --simulate --screenshots $(SHOTS_DIR)
	mkdir -p docs/screenshots
	for s in $(README_SHOTS); do cp $(SHOTS_DIR)/$$s.png docs/screenshots/; done

format:
	find src tests bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR)
