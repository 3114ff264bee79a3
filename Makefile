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
PACKAGES := build-essential cmake ninja-build pkg-config qt6-base-dev qt6-charts-dev libqt6opengl6-dev libhidapi-dev libavahi-client-dev \
            libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev libcli11-dev libasio-dev xvfb xauth \
            desktop-file-utils man-db file dpkg-dev lintian appstream python3-pytest python3-numpy python3-pyvisa python3-pyvisa-py \
            python3-build python3-wheel python3-setuptools python3-venv ccache \
            libxml2-utils python3-jsonschema
# Every build compiles through ccache when the machine has it: the Linux,
# Windows, clang and sanitizer builds share most of their sources.
CCACHE := $(if $(shell command -v ccache),-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
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

.PHONY: all deps deps-windows build run test test-gui-shuffled test-asan fuzz clang-check package test-package bench bench-build wheel \
        soak format screenshots clean windows test-windows package-windows package-windows-cli sdk-windows windows-qt windows-gui setup-windows

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
	cmake -S . -B $(BUILD_DIR) -G Ninja $(CCACHE) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
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
	cmake -S . -B $(ASAN_DIR) -G Ninja $(CCACHE) -DCMAKE_BUILD_TYPE=Debug -DEVM_SANITIZE=ON
	cmake --build $(ASAN_DIR)
	cd $(ASAN_DIR) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
	  UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j2

# Each parser's target runs FUZZ_SECONDS under ASan and UBSan, starting from
# its seeds in tests/data/fuzz/; what it learns stays in $(FUZZ_DIR)/corpus.
# Every target runs, whatever an earlier one found; a crash or a broken
# property leaves its input in $(FUZZ_DIR)/artifacts and its log in
# $(FUZZ_DIR)/TARGET.log. One line a target at the end, and a failure if any
# failed: add the input to the seeds once the code is fixed.
fuzz:
	@$(MAKE) --no-print-directory deps PACKAGES="$(PACKAGES) $(FUZZ_PACKAGES)"
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -G Ninja $(CCACHE) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DEVM_FUZZ=ON -DEVM_BUILD_GUI=OFF
	cmake --build $(FUZZ_DIR) --target fuzz_targets
	@mkdir -p $(FUZZ_DIR)/artifacts
	@summary=$(FUZZ_DIR)/summary.txt; : >$$summary; \
	for t in $(FUZZ_TARGETS); do \
	  mkdir -p $(FUZZ_DIR)/corpus/$$t; \
	  log=$(FUZZ_DIR)/$$t.log; \
	  echo "== $$t ($(FUZZ_SECONDS) s)"; \
	  if ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	    $(FUZZ_DIR)/fuzz/$$t $(FUZZ_DIR)/corpus/$$t tests/data/fuzz/$$t \
	    -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
	    -artifact_prefix=$(FUZZ_DIR)/artifacts/$$t- >$$log 2>&1; then \
	    execs=$$(sed -n 's/^stat::number_of_executed_units: *//p' $$log); \
	    echo "$$t: ok, $${execs:-?} runs" >>$$summary; \
	  else \
	    tail -n 40 $$log; \
	    artifact=$$(sed -n 's/.*Test unit written to //p' $$log | tail -n 1); \
	    echo "$$t: FAILED, $${artifact:-no input written}; log $$log" >>$$summary; \
	  fi; \
	done; \
	echo "== fuzz: one line a target"; cat $$summary; \
	! grep -q ": FAILED" $$summary

# The whole tree built with clang (Debian's, with its own warnings), then
# clang-tidy's bugprone and performance checks (.clang-tidy) over the files
# changed since $(TIDY_BASE); `make clang-check TIDY_BASE=` checks every file.
clang-check:
	@$(MAKE) --no-print-directory deps PACKAGES="$(PACKAGES) $(CLANG_PACKAGES)"
	CC=clang CXX=clang++ cmake -S . -B $(CLANG_DIR) -G Ninja $(CCACHE) -DCMAKE_BUILD_TYPE=Debug
	cmake --build $(CLANG_DIR)
	tools/clang-tidy.sh $(CLANG_DIR) $(TIDY_BASE)

# A Release build of its own, so the test build keeps its configuration.
bench: bench-build
	$(BENCH_DIR)/bench/evm_bench $(BENCH_ARGS)
	PYTHONPATH=$(BENCH_DIR)/python $(PYTHON) bench/python_bench.py $(BENCH_DIR)/bench/evm_bench

bench-build: deps
	cmake -S . -B $(BENCH_DIR) -G Ninja $(CCACHE) -DCMAKE_BUILD_TYPE=Release -DEVM_BUILD_BENCH=ON
	cmake --build $(BENCH_DIR) --target evm_bench zm5520evm_python

# The Python package's wheels in $(BUILD_DIR)/dist: Linux's from the build,
# Windows' from the mingw-w64 library (with any DLL it needs that Windows
# lacks), checked for those DLLs as it is made. `pip install` takes either.
WHEEL_DIR := $(BUILD_DIR)/dist
wheel: build deps-windows $(WINDOWS_DIR)/build.ninja
	cmake --build $(WINDOWS_DIR) --target evm
	$(PYTHON) tools/make_wheel.py --platform win_amd64 --version $(VERSION) \
	  --sources src/python/zm5520evm --library $(WINDOWS_DIR)/src/zm5520evm.dll --out $(WHEEL_DIR)
	$(PYTHON) tests/python/windows_wheel.py $(WHEEL_DIR)/zm5520evm-$(VERSION)-py3-none-win_amd64.whl
	@ls -l $(WHEEL_DIR)/zm5520evm-$(VERSION)-*.whl

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
	cmake -S . -B $(WINDOWS_DIR) -G Ninja $(CCACHE) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DEVM_BUILD_GUI=OFF

windows: deps-windows $(WINDOWS_DIR)/build.ninja
	cmake --build $(WINDOWS_DIR)

# About an hour on two cores the first time; resumes where it stopped.
windows-qt: deps-windows
	tools/build-windows-qt.sh $(WINDOWS_QT)

# The GUI against that Qt, with the DLLs it imports in one folder.
WINDOWS_DEPLOY := $(WINDOWS_GUI_DIR)/zm5520-evm-$(VERSION)-windows-x86_64
$(WINDOWS_GUI_DIR)/build.ninja: CMakeLists.txt
	cmake -S . -B $(WINDOWS_GUI_DIR) -G Ninja $(CCACHE) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DEVM_WINDOWS_QT=$(WINDOWS_QT) \
	  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake

# The core and evmctl tests run from the static build; here only what the
# GUI's tests and the installer need.
windows-gui: windows-qt $(WINDOWS_GUI_DIR)/build.ninja
	cmake --build $(WINDOWS_GUI_DIR) --target zm5520-evm evmctl evm_gui_tests
	tools/deploy-windows.sh $(WINDOWS_GUI_DIR) $(WINDOWS_QT) $(WINDOWS_DEPLOY)

WINDOWS_SETUP := $(WINDOWS_GUI_DIR)/zm5520-evm-$(VERSION)-setup.exe
setup-windows: windows-gui sdk-windows
	tools/make-setup-windows.sh $(WINDOWS_DEPLOY) $(VERSION) $(WINDOWS_SETUP) $(WINDOWS_SDK)

# Under Wine, with the Linux evmctl as the reference for its output, and the
# installer's PATH option over a stand-in for the program; then, when the Qt
# for mingw-w64 is on this machine, the GUI and its installer, with the Linux
# GUI's pictures as the reference for the Windows ones
# (WINDOWS_GUI_TESTS=0 leaves them out).
WINDOWS_GUI_TESTS ?= 1
WINDOWS_WHEEL := $(WHEEL_DIR)/zm5520evm-$(VERSION)-py3-none-win_amd64.whl
test-windows: windows wheel
	cmake --build $(BUILD_DIR) --target evmctl zm5520-evm
	tools/test-windows.sh $(WINDOWS_DIR) $(BUILD_DIR)/src/evmctl $(WINDOWS_WHEEL)
	tools/test-installer-path.py $(VERSION)
	@if [ "$(WINDOWS_GUI_TESTS)" = 1 ] && [ -f $(WINDOWS_QT_STAMP) ]; then \
	  $(MAKE) --no-print-directory setup-windows && \
	  tools/test-windows-gui.sh $(WINDOWS_GUI_DIR) $(BUILD_DIR)/src/zm5520-evm $(WINDOWS_SETUP) $(VERSION); \
	elif [ "$(WINDOWS_GUI_TESTS)" = 1 ]; then \
	  echo "test-windows: the Windows GUI and its installer were not tested: no Qt for mingw-w64 in $(WINDOWS_QT) (make windows-qt builds it, in about an hour)"; \
	fi

# What programs of the user's own take (the installer's component "Python
# package and C library"): the DLL, with no MinGW runtime DLL to go with it,
# its import library and .def, the C headers and the Python wheel.
WINDOWS_SDK := $(WINDOWS_DIR)/sdk
sdk-windows: wheel
	rm -rf $(WINDOWS_SDK) && mkdir -p $(WINDOWS_SDK)/include/zm5520evm $(WINDOWS_SDK)/lib $(WINDOWS_SDK)/python
	x86_64-w64-mingw32-strip -o $(WINDOWS_SDK)/zm5520evm.dll $(WINDOWS_DIR)/src/zm5520evm.dll
	cp $(WINDOWS_DIR)/src/libzm5520evm.dll.a $(WINDOWS_DIR)/src/zm5520evm.def $(WINDOWS_SDK)/lib/
	cp src/api/zm5520evm/zm5520evm.h $(WINDOWS_DIR)/include/zm5520evm/zm5520evm_version.h \
	  $(WINDOWS_SDK)/include/zm5520evm/
	cp $(WINDOWS_WHEEL) $(WINDOWS_SDK)/python/

# evmctl.exe with the library and the wheel, for those who want no
# installer and no GUI, and setup.exe with the GUI.
WINDOWS_PACKAGE := evmctl-$(VERSION)-windows-x86_64
package-windows-cli: windows sdk-windows
	rm -rf $(WINDOWS_DIR)/$(WINDOWS_PACKAGE) $(WINDOWS_DIR)/$(WINDOWS_PACKAGE).zip
	mkdir -p $(WINDOWS_DIR)/$(WINDOWS_PACKAGE)
	x86_64-w64-mingw32-strip -o $(WINDOWS_DIR)/$(WINDOWS_PACKAGE)/evmctl.exe $(WINDOWS_DIR)/src/evmctl.exe
	cp -r README.md examples $(WINDOWS_SDK)/. $(WINDOWS_DIR)/$(WINDOWS_PACKAGE)/
	cp LICENSE $(WINDOWS_DIR)/$(WINDOWS_PACKAGE)/LICENSE.txt
	cd $(WINDOWS_DIR) && zip -qr $(WINDOWS_PACKAGE).zip $(WINDOWS_PACKAGE)
	@echo "$(WINDOWS_DIR)/$(WINDOWS_PACKAGE).zip"

package-windows: package-windows-cli setup-windows
	# The whole program without an installer: unpack anywhere and start it.
	# The deployment folder stays as setup.exe's main component takes it.
	rm -rf $(WINDOWS_DEPLOY).zip $(WINDOWS_GUI_DIR)/zip
	mkdir -p $(WINDOWS_GUI_DIR)/zip
	cp -r $(WINDOWS_DEPLOY) $(WINDOWS_GUI_DIR)/zip/
	cp -r $(WINDOWS_SDK)/. $(WINDOWS_GUI_DIR)/zip/$(notdir $(WINDOWS_DEPLOY))/
	cd $(WINDOWS_GUI_DIR)/zip && zip -qr $(abspath $(WINDOWS_DEPLOY)).zip $(notdir $(WINDOWS_DEPLOY))
	@echo "$(WINDOWS_DEPLOY).zip"
	@echo "$(WINDOWS_SETUP)"

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(FUZZ_DIR) $(CLANG_DIR) $(BENCH_DIR) $(WINDOWS_DIR) $(WINDOWS_GUI_DIR)
