#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the Debian package the build made: its name, control fields
# (version, dependencies found from the linked libraries, description) and
# file list.
# Usage: check_package.sh BUILD_DIR
set -uo pipefail
build=$1
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb=$build/zm5520-evm_${version}_$(dpkg --print-architecture).deb
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

[ -f "$deb" ] || { echo "FAIL: $deb not built"; exit 1; }

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = zm5520-evm ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', not $version"
for lib in libc6 libstdc++6 libhidapi-hidraw0 libqt6widgets6; do
  field Depends | grep -q "$lib" || fail "Depends lacks $lib: $(field Depends)"
done
description=$(field Description)
[ -n "$(head -1 <<<"$description")" ] || fail "no short description"
[ "$(wc -l <<<"$description")" -ge 3 ] || fail "no long description"

list=$(dpkg-deb -c "$deb")
for f in usr/bin/evmctl usr/bin/zm5520-evm usr/lib/udev/rules.d/70-zm5520-evm.rules \
  usr/share/applications/zm5520-evm.desktop usr/share/icons/hicolor/scalable/apps/zm5520-evm.svg \
  usr/share/man/man1/evmctl.1.gz usr/share/man/man1/zm5520-evm.1.gz \
  usr/share/bash-completion/completions/evmctl usr/share/zsh/vendor-completions/_evmctl \
  usr/share/doc/zm5520-evm/examples/dac_to_converters.txt usr/include/zm5520evm/bench.h \
  usr/share/doc/zm5520-evm/examples/api/CMakeLists.txt usr/share/doc/zm5520-evm/copyright \
  usr/share/doc/zm5520-evm/changelog.gz usr/share/metainfo/org.zm5520evm.zm5520_evm.metainfo.xml; do
  grep -q " \./$f\$" <<<"$list" || fail "package lacks /$f"
done
# The library and its CMake package, wherever the library folder is.
for f in 'lib/.*libzm5520evm\.so\.[0-9]+$' 'lib/.*cmake/Zm5520Evm/Zm5520EvmConfig\.cmake$'; do
  grep -Eq " \./usr/$f" <<<"$list" || fail "package lacks /usr/$f"
done
# The Python package where Debian's python3 finds it.
for f in __init__.py __init__.pyi _bench.py _capi.py _convert.py _errors.py _monitor.py _results.py py.typed; do
  grep -Eq " \./usr/lib/python3/dist-packages/zm5520evm/$f\$" <<<"$list" ||
    fail "package lacks /usr/lib/python3/dist-packages/zm5520evm/$f"
done
outside=$(awk '{print $6}' <<<"$list" | grep -v -e '^\./$' -e '^\./usr/')
[ -z "$outside" ] || fail "files outside /usr: $outside"
grep -q 'zm5520-evm-build-tree' <<<"$list" && fail "the build folder's marker is packaged"
writable=$(awk 'substr($1, 1, 1) != "l" && substr($1, 9, 1) == "w" {print $6}' <<<"$list")
[ -z "$writable" ] || fail "world-writable: $writable"

# Debian's python3 imports the package from the installed tree and reads
# the simulated EVM through it.
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
libdir=$(dirname "$(find "$root/usr/lib" -name 'libzm5520evm.so.*' -print -quit)")
amps=$(cd "$root" && PYTHONPATH="$root/usr/lib/python3/dist-packages" LD_LIBRARY_PATH="$libdir" \
  PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 -W ignore -c '
import zm5520evm as e
assert e.__file__.startswith("'"$root"'/"), e.__file__
amps = e.open(simulate=True, fake_clock=True).measure(passes=10)["amps"]
# The simulated load draws 1 A through its 10 mOhm shunt.
print(len(amps), bool(((amps > 0.99) & (amps < 1.01)).all()), e.__version__)' 2>&1)
[ "$amps" = "10 True $version" ] || fail "the installed zm5520evm does not measure 1 A: $amps"

# The licence, the history and the listing in software centres.
doc=$root/usr/share/doc/zm5520-evm
head -1 "$doc/copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "the copyright file is not machine-readable"
for name in CLI11 nlohmann-json hidapi Qt; do
  grep -q "$name" "$doc/copyright" || fail "the copyright file does not name $name"
done
changed=$(zcat "$doc/changelog.gz" | head -1)
[[ "$changed" == "zm5520-evm ($version) "* ]] || fail "the changelog starts '$changed', not version $version"
appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/org.zm5520evm.zm5520_evm.metainfo.xml" >/dev/null ||
  fail "the AppStream metainfo does not validate"

# Debian's hardening in every binary: full RELRO with BIND_NOW, the stack
# protector and the checked (_chk) forms of the string functions.
for f in "$root"/usr/bin/evmctl "$root"/usr/bin/zm5520-evm "$(readlink -f "$libdir"/libzm5520evm.so)"; do
  readelf -d "$f" | grep -q 'BIND_NOW' || fail "$f is not linked with BIND_NOW"
  readelf -lW "$f" | grep -q 'GNU_RELRO' || fail "$f has no RELRO"
  syms=$(readelf --dyn-syms -W "$f")
  grep -q '__stack_chk_fail' <<<"$syms" || fail "$f has no stack protector"
  grep -q '_chk@' <<<"$syms" || fail "$f is not built with _FORTIFY_SOURCE"
done

# Debian's own judgement of the package: no error and no warning.
lintian --fail-on error,warning --no-tag-display-limit "$deb" || fail "lintian finds faults in the package"

[ "$failures" = 0 ] && echo "package $(basename "$deb"): all checks passed"
exit $((failures > 0))
