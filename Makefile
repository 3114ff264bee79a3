# SPDX-License-Identifier: GPL-3.0-or-later
# Two commands on a fresh Debian machine: `make run` and `make test`.
BUILD_DIR ?= build
ASAN_DIR  ?= build-asan
FUZZ_DIR  ?= build-fuzz
CLANG_DIR ?= build-clang
FUZZ_SECONDS ?= 60
BENCH_DIR ?= build-bench
BUILD_TYPE ?= RelWithDebInfo
# Debian's Python, which the package serves, whatever python3 the PATH finds first.
PYTHON := /usr/bin/python3
PACKAGES := build-essential cmake ninja-build pkg-config qt6-base-dev qt6-charts-dev libqt6opengl6-dev libhidapi-dev \
            libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev libcli11-dev libasio-dev xvfb xauth \
            desktop-file-utils man-db file dpkg-dev lintian appstream pybind11-dev python3-dev python3-pytest python3-numpy python3-pyvisa python3-pyvisa-py
# Only `make fuzz` needs clang and its libFuzzer runtime.
FUZZ_PACKAGES := clang libclang-rt-14-dev llvm
# Only `make clang-check` needs these.
CLANG_PACKAGES := clang clang-tidy
# clang-tidy reads the files changed since this revision; empty: every file
# (several minutes on two cores, too long for each CI run).
TIDY_BASE ?= main
FUZZ_TARGETS := $(filter-out fuzz_support fuzz_hid,$(basename $(notdir $(wildcard fuzz/fuzz_*.cpp))))
# Only the Windows targets need these: the cross compiler, Wine to run what
# it builds, GoogleTest's sources and zip for the package.
# The GUI's tests under Wine add Xvfb, xdotool to find its windows, NSIS for
# the installer and PIL to compare its pictures with the Linux ones.
WINDOWS_PACKAGES := cmake ninja-build g++-mingw-w64-x86-64 wine64 wine libgtest-dev zip \
                    nlohmann-json3-dev libcli11-dev libasio-dev nsis xvfb xauth xdotool python3-pil
WINDOWS_DIR ?= build-windows
WINDOWS_GUI_DIR ?= build-windows-gui
# Qt for mingw-w64 is built once per machine into a cache outside the checkout.
QT_VERSION := $(shell dpkg-query -W -f='$${Version}' qt6-base-dev 2>/dev/null | sed 's/[+~-].*//')
WINDOWS_QT ?= $(or $(EVM_WINDOWS_QT),$(HOME)/.cache/zm5520-evm/qt-$(or $(QT_VERSION),6.4.2)-mingw64)
WINDOWS_QT_STAMP := $(WINDOWS_QT)/.zm5520-evm-complete
VERSION := $(shell sed -n 's/^project[^ ]* VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps deps-windows build run test test-gui-shuffled test-asan fuzz clang-check package test-package bench \
        soak format screenshots clean windows test-windows package-windows windows-qt windows-gui setup-windows

all: build

# Installs only what is missing, so a machine that has everything is not
# touched and needs no network.
deps:
	@$(MAKE) --no-print-directory install-missing LIST="$(PACKAGES)"

deps-windows:
	@$(MAKE) --no-print-directory install-missing LIST="$(WINDOWS_PACKAGES)"

.PHONY: install-missing
install-missing:
	@missing=""; for p in $(LIST); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi

# The package is made from this build, so it gets Debian's hardening flags
# (stack protector, _FORTIFY_SOURCE, full RELRO with BIND_NOW); optimisation
# and debug information stay the build type's. Expanded when the recipe
# runs, after `deps` has installed dpkg-buildflags.
HARDENING = DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get
HARDEN_CXXFLAGS = $(filter-out -g -O2 -ffile-prefix-map=%,$(shell $(HARDENING) CPPFLAGS) $(shell $(HARDENING) CXXFLAGS))
HARDEN_LDFLAGS = $(shell $(HARDENING) LDFLAGS)
$(BUILD_DIR)/build.ninja: CMakeLists.txt
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
	  -DCMAKE_CXX_FLAGS="$(HARDEN_CXXFLAGS)" -DCMAKE_EXE_LINKER_FLAGS="$(HARDEN_LDFLAGS)" \
	  -DCMAKE_SHARED_LINKER_FLAGS="$(HARDEN_LDFLAGS)" -DCMAKE_MODULE_LINKER_FLAGS="$(HARDEN_LDFLAGS)"

build: deps $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR)

run: build
	$(BUILD_DIR)/src/zm5520-evm --simulate

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2

# The window tests as one program, in a new order each run: ctest starts each
# test on its own, so a test that leaves a timer or a window behind for the
# next one only shows here.
test-gui-shuffled: build
	QT_QPA_PLATFORM=offscreen $(BUILD_DIR)/tests/evm_gui_tests --gtest_shuffle --gtest_brief=1

# zm5520-evm_<version>_<arch>.deb in $(BUILD_DIR): install it with
# `sudo apt install ./$(BUILD_DIR)/zm5520-evm_*.deb`.
package: build
	cmake --build $(BUILD_DIR) --target package

# Besides the package, the install tree and the installed library with its
# example: slow checks, kept out of ctest so `make test` stays quick.
test-package: package
	bash packaging/check_package.sh $(BUILD_DIR)
	bash packaging/check_install.sh $(abspath $(BUILD_DIR)) $(VERSION) 1
	bash packaging/check_library.sh $(abspath $(BUILD_DIR)) $(CURDIR)/examples/api $(VERSION)

test-asan: deps
	cmake -S . -B $(ASAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DEVM_SANITIZE=ON
	cmake --build $(ASAN_DIR)
	cd $(ASAN_DIR) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
	  UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j2

# Each parser's target runs FUZZ_SECONDS under ASan and UBSan, starting from
# its seeds in tests/data/fuzz/; what it learns stays in $(FUZZ_DIR)/corpus.
# A crash or a broken property stops the run and leaves the input in
# $(FUZZ_DIR)/artifacts: add it to the seeds once the parser is fixed.
fuzz:
	@$(MAKE) --no-print-directory deps PACKAGES="$(PACKAGES) $(FUZZ_PACKAGES)"
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DEVM_FUZZ=ON -DEVM_BUILD_GUI=OFF
	cmake --build $(FUZZ_DIR) --target fuzz_targets
	@mkdir -p $(FUZZ_DIR)/artifacts
	@set -e; for t in $(FUZZ_TARGETS); do \
	  mkdir -p $(FUZZ_DIR)/corpus/$$t; \
	  echo "== $$t ($(FUZZ_SECONDS) s)"; \
	  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	    $(FUZZ_DIR)/fuzz/$$t $(FUZZ_DIR)/corpus/$$t tests/data/fuzz/$$t \
	    -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
	    -artifact_prefix=$(FUZZ_DIR)/artifacts/$$t- > $(FUZZ_DIR)/$$t.log 2>&1 \
	    || { tail -n 40 $(FUZZ_DIR)/$$t.log; exit 1; }; \
	  grep -E "^stat::(number_of_executed_units|peak_rss_mb)|DONE" $(FUZZ_DIR)/$$t.log; \
	done

# The whole tree built with clang (Debian's, with its own warnings), then
# clang-tidy's bugprone and performance checks (.clang-tidy) over the files
# changed since $(TIDY_BASE); `make clang-check TIDY_BASE=` checks every file.
clang-check:
	@$(MAKE) --no-print-directory deps PACKAGES="$(PACKAGES) $(CLANG_PACKAGES)"
	CC=clang CXX=clang++ cmake -S . -B $(CLANG_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug
	cmake --build $(CLANG_DIR)
	tools/clang-tidy.sh $(CLANG_DIR) $(TIDY_BASE)

# A Release build of its own, so the test build keeps its configuration.
bench: deps
	cmake -S . -B $(BENCH_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DEVM_BUILD_BENCH=ON
	cmake --build $(BENCH_DIR) --target evm_bench _zm5520evm
	$(BENCH_DIR)/bench/evm_bench $(BENCH_ARGS)
	PYTHONPATH=$(BENCH_DIR)/python $(PYTHON) bench/python_bench.py $(BENCH_DIR)/bench/evm_bench

# 100,000 continuous-read passes on the fake clock with random faults on the
# register link: passes when memory settles and the log holds one record for
# every acknowledged pass. SOAK_PASSES=N for another length.
SOAK_PASSES ?= 100000
soak: deps $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) --target evm_soak
	$(BUILD_DIR)/evm_soak $(SOAK_PASSES)

# Every window to $(BUILD_DIR)/screenshots; the README's few to docs/.
SHOTS_DIR := $(BUILD_DIR)/screenshots
README_SHOTS := formMain_QMA740_tabRegisters formMain_QMA740_tabCalibrate frmEvalControl frmScript \
	frmMeasurementPlot formMain_QMA740_scale1.5_tabCalibrate formMain_QMA740_scale1.5_tabRegisters
screenshots: build
	rm -rf $(SHOTS_DIR)
	QT_QPA_PLATFORM=offscreen $(BUILD_DIR)/src/zm5520-evm --simulate --screenshots $(SHOTS_DIR)
	mkdir -p docs/screenshots
	for s in $(README_SHOTS); do cp $(SHOTS_DIR)/$$s.png docs/screenshots/; done
	cp $(SHOTS_DIR)/formMain_QMA740_1024x700.png docs/screenshots/main_1024x700.png

format:
	find src tests bench fuzz -name '*.cpp' -o -name '*.h' | xargs clang-format -i

# Windows: evmctl.exe and the core and command-line tests, cross-built with
# mingw-w64 and linked statically (no DLLs beside the .exe).
$(WINDOWS_DIR)/build.ninja: CMakeLists.txt
	cmake -S . -B $(WINDOWS_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DEVM_BUILD_GUI=OFF

windows: deps-windows $(WINDOWS_DIR)/build.ninja
	cmake --build $(WINDOWS_DIR)

# About an hour on two cores the first time; resumes where it stopped.
windows-qt: deps-windows
	tools/build-windows-qt.sh $(WINDOWS_QT)

# The GUI against that Qt, with the DLLs it imports in one folder.
WINDOWS_DEPLOY := $(WINDOWS_GUI_DIR)/zm5520-evm-$(VERSION)-windows-x86_64
$(WINDOWS_GUI_DIR)/build.ninja: CMakeLists.txt
	cmake -S . -B $(WINDOWS_GUI_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DEVM_WINDOWS_QT=$(WINDOWS_QT) \
	  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake

# The core and evmctl tests run from the static build; here only what the
# GUI's tests and the installer need.
windows-gui: windows-qt $(WINDOWS_GUI_DIR)/build.ninja
	cmake --build $(WINDOWS_GUI_DIR) --target zm5520-evm evmctl evm_gui_tests
	tools/deploy-windows.sh $(WINDOWS_GUI_DIR) $(WINDOWS_QT) $(WINDOWS_DEPLOY)

WINDOWS_SETUP := $(WINDOWS_GUI_DIR)/zm5520-evm-$(VERSION)-setup.exe
setup-windows: windows-gui
	tools/make-setup-windows.sh $(WINDOWS_DEPLOY) $(VERSION) $(WINDOWS_SETUP)

# Under Wine, with the Linux evmctl as the reference for its output; then,
# when the Qt for mingw-w64 is on this machine, the GUI and its installer,
# with the Linux GUI's pictures as the reference for the Windows ones
# (WINDOWS_GUI_TESTS=0 leaves them out).
WINDOWS_GUI_TESTS ?= 1
test-windows: windows deps $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) --target evmctl zm5520-evm
	tools/test-windows.sh $(WINDOWS_DIR) $(BUILD_DIR)/src/evmctl
	@if [ "$(WINDOWS_GUI_TESTS)" = 1 ] && [ -f $(WINDOWS_QT_STAMP) ]; then \
	  $(MAKE) --no-print-directory setup-windows && \
	  tools/test-windows-gui.sh $(WINDOWS_GUI_DIR) $(BUILD_DIR)/src/zm5520-evm $(WINDOWS_SETUP) $(VERSION); \
	elif [ "$(WINDOWS_GUI_TESTS)" = 1 ]; then \
	  echo "test-windows: the Windows GUI and its installer were not tested: no Qt for mingw-w64 in $(WINDOWS_QT) (make windows-qt builds it, in about an hour)"; \
	fi

# The zip of evmctl.exe alone, for those who want no installer, and setup.exe.
WINDOWS_PACKAGE := evmctl-$(VERSION)-windows-x86_64
package-windows: windows setup-windows
	rm -rf $(WINDOWS_DIR)/$(WINDOWS_PACKAGE) $(WINDOWS_DIR)/$(WINDOWS_PACKAGE).zip
	mkdir -p $(WINDOWS_DIR)/$(WINDOWS_PACKAGE)
	x86_64-w64-mingw32-strip -o $(WINDOWS_DIR)/$(WINDOWS_PACKAGE)/evmctl.exe $(WINDOWS_DIR)/src/evmctl.exe
	cp -r README.md examples $(WINDOWS_DIR)/$(WINDOWS_PACKAGE)/
	cp LICENSE $(WINDOWS_DIR)/$(WINDOWS_PACKAGE)/LICENSE.txt
	cd $(WINDOWS_DIR) && zip -qr $(WINDOWS_PACKAGE).zip $(WINDOWS_PACKAGE)
	@echo "$(WINDOWS_DIR)/$(WINDOWS_PACKAGE).zip"
	# The whole program without an installer: unpack anywhere and start it.
	rm -f $(WINDOWS_DEPLOY).zip
	cd $(dir $(WINDOWS_DEPLOY)) && zip -qr $(notdir $(WINDOWS_DEPLOY)).zip $(notdir $(WINDOWS_DEPLOY))
	@echo "$(WINDOWS_DEPLOY).zip"
	@echo "$(WINDOWS_SETUP)"

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(FUZZ_DIR) $(CLANG_DIR) $(BENCH_DIR) $(WINDOWS_DIR) $(WINDOWS_GUI_DIR)
