#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the library alone into a prefix of its own, builds the example
# against it with find_package (and the C one with pkg-config) and runs them. Checks that the public headers
# stand alone and name nothing of Qt, the simulator or the program's other
# headers, and that the library carries its major version in its SONAME.
# The folders stay at fixed places in the build tree so the compiler cache
# knows the example's build from the last run.
# Usage: check_library.sh BUILD_DIR EXAMPLE_DIR VERSION
set -uo pipefail
build=$1 example=$2 version=$3
work=$build/library-check
prefix=$work/prefix
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

rm -rf "$prefix" "$work/out"
cmake --install "$build" --component Development --prefix "$prefix" >/dev/null ||
  { echo "FAIL: cmake --install --component Development"; exit 1; }

lib=$(find "$prefix" -name "libzm5520evm.so.$version" | head -1)
[ -n "$lib" ] || fail "libzm5520evm.so.$version not installed"
if [ -n "$lib" ]; then
  soname=$(objdump -p "$lib" | sed -n 's/^ *SONAME *//p')
  [ "$soname" = "libzm5520evm.so.${version%%.*}" ] || fail "SONAME is '$soname'"
  [ -L "$(dirname "$lib")/libzm5520evm.so" ] || fail "no libzm5520evm.so link to build against"
fi

# Only the facade's own headers, each of which compiles on its own.
for h in "$prefix"/include/zm5520evm/*.h; do
  grep -Eq '#include *[<"](Q[A-Za-z]|devices/|sim/|common/|core/|cli/|gui/|evm\.h)' "$h" &&
    fail "$(basename "$h") includes an internal header"
  echo "#include <zm5520evm/$(basename "$h")>" |
    c++ -std=c++20 -fsyntax-only -Wall -Werror -I"$prefix/include" -x c++ - ||
    fail "$(basename "$h") does not compile on its own"
done
# The C interface's headers are C99 too.
for h in zm5520evm.h zm5520evm_version.h; do
  printf '#include <zm5520evm/%s>\ntypedef int not_empty;\n' "$h" |
    cc -std=c99 -pedantic -fsyntax-only -Wall -Werror -I"$prefix/include" -x c - ||
    fail "$h does not compile as C99"
done
[ -e "$prefix/include/zm5520evm/bench.h" ] || fail "bench.h not installed"
[ "$(find "$prefix/include" -type f | grep -vc '/include/zm5520evm/')" = 0 ] ||
  fail "headers outside include/zm5520evm"

cmake -S "$example" -B "$work/example" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_COMPILER_LAUNCHER="$(command -v ccache)" >/dev/null ||
  fail "the example's cmake does not find the package"
cmake --build "$work/example" >/dev/null || fail "the example does not build"
mkdir -p "$work/out"
output=$("$work/example/calibrate_and_log" "$work/out" 2>&1)
status=$?
[ "$status" = 0 ] || fail "the example exited $status: $output"
[ "$(grep -c ' A  ' <<<"$output")" = 10 ] || fail "the example did not print ten passes: $output"
[ -s "$work/out/current.csv" ] || fail "the example wrote no log"

# The C example, built with what pkg-config says of the installed library.
pc=$(find "$prefix" -name zm5520evm.pc | head -1)
[ -n "$pc" ] || fail "zm5520evm.pc not installed"
if [ -n "$pc" ]; then
  flags=$(PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --cflags --libs zm5520evm) ||
    fail "pkg-config does not take zm5520evm.pc"
  # shellcheck disable=SC2086
  cc -std=c99 -Wall -Werror "$example/../c/measure.c" $flags -o "$work/out/measure" ||
    fail "the C example does not build with pkg-config's flags"
  output=$(LD_LIBRARY_PATH=$(dirname "$lib") "$work/out/measure" 2>&1)
  [ "$(grep -c ' A  ' <<<"$output")" = 10 ] || fail "the C example did not print ten passes: $output"
fi

[ "$failures" = 0 ] && echo "installed library: all checks passed"
exit $((failures > 0))
