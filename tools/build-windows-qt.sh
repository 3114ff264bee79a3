#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Qt 6 (qtbase, then Qt Charts) for x86_64-w64-mingw32 from the source
# tarballs, for the Windows GUI. The result lives outside the checkout so that
# every clone and every later session on this machine reuses it; a finished
# install carries a stamp and is skipped, and an interrupted build resumes
# where Ninja left off.
# Usage: tools/build-windows-qt.sh [PREFIX]
#   PREFIX       where Qt is installed (default: $EVM_WINDOWS_QT, else
#                ~/.cache/zm5520-evm/qt-<version>-mingw64)
#   QT_SOURCES   folder with the tarballs and SHA256SUMS (default: ../shared/third-party)
#   QT_JOBS      parallel compile jobs (default: the number of cores)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

version=$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null | sed 's/[+~-].*//')
version=${version:-6.4.2}
prefix=${1:-${EVM_WINDOWS_QT:-$HOME/.cache/zm5520-evm/qt-$version-mingw64}}
sources=${QT_SOURCES:-$root/../shared/third-party}
jobs=${QT_JOBS:-$(nproc)}
work="$prefix.build"
stamp="$prefix/.zm5520-evm-complete"

if [ -f "$stamp" ]; then
  echo "Qt $version for mingw-w64 is complete in $prefix"
  exit 0
fi

base_tar="qt6-base_$version+dfsg.orig.tar.xz"
charts_tar="qtcharts-everywhere-src-$version.tar.xz"
for f in "$base_tar" "$charts_tar" SHA256SUMS; do
  if [ ! -f "$sources/$f" ]; then
    echo "build-windows-qt: '$sources/$f' is missing (set QT_SOURCES)" >&2
    exit 1
  fi
done

mkdir -p "$work"
# Checked before anything is unpacked, so a corrupt or substituted tarball
# never reaches the compiler.
(cd "$sources" && grep -E " ($base_tar|$charts_tar)\$" SHA256SUMS | sha256sum --check --strict --quiet) || {
  echo "build-windows-qt: checksum mismatch in $sources" >&2
  exit 1
}

unpack() { # tarball, folder it holds
  if [ ! -f "$work/$2/.unpacked" ]; then
    rm -rf "${work:?}/$2"
    tar -C "$work" -xf "$sources/$1"
    touch "$work/$2/.unpacked"
  fi
}
unpack "$base_tar" "qtbase-everywhere-src-$version"
unpack "$charts_tar" "qtcharts-everywhere-src-$version"

cat >"$work/toolchain.cmake" <<'EOF'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
EOF

# What the program does not use stays out; the bundled copies of the
# third-party libraries keep the DLL set small and free of host libraries.
off="network sql dbus printsupport concurrent xml zstd icu vulkan jpeg direct2d directwrite3 tabletevent
     system_doubleconversion system_freetype system_harfbuzz system_jpeg system_libb2 system_pcre2
     system_png system_textmarkdownreader system_zlib"
features=()
for f in $off; do features+=("-DFEATURE_$f=OFF"); done

start=$(date +%s)
if [ ! -f "$work/build-base/build.ninja" ]; then
  cmake -G Ninja -S "$work/qtbase-everywhere-src-$version" -B "$work/build-base" \
    -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQT_QMAKE_TARGET_MKSPEC=win32-g++ -DBUILD_SHARED_LIBS=ON -DCMAKE_BUILD_TYPE=Release \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF "${features[@]}"
fi
cmake --build "$work/build-base" --parallel "$jobs"
cmake --install "$work/build-base"

if [ ! -f "$work/build-charts/build.ninja" ]; then
  "$prefix/bin/qt-cmake" -G Ninja -S "$work/qtcharts-everywhere-src-$version" -B "$work/build-charts" \
    -DCMAKE_BUILD_TYPE=Release -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
fi
cmake --build "$work/build-charts" --parallel "$jobs"
cmake --install "$work/build-charts"

echo "$version $(date -u +%FT%TZ)" >"$stamp"
echo "Qt $version for mingw-w64 installed in $prefix ($(($(date +%s) - start)) s this run)"
