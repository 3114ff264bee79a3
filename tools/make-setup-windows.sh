#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds zm5520-evm-<version>-setup.exe from the deployment folder with NSIS.
# The lists of files to install and to remove are made from the folder
# itself, so the uninstaller removes exactly what the installer wrote.
# SDK_DIR, when given, holds the component "Python package and C library"
# (the DLL, its import library, the C headers and the Python wheel), laid
# out as it is installed.
# Usage: tools/make-setup-windows.sh DEPLOY_DIR VERSION OUT_EXE [SDK_DIR]
set -euo pipefail
deploy=$(realpath "$1")
version=$2
out=$(realpath -m "$3")
sdk=${4:+$(realpath "$4")}
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cp -r "$deploy" "$work/files"
cp "$root/README.md" "$work/files/"
cp -r "$root/examples" "$work/files/"

winpath() { tr '/' '\\' <<<"$1"; }
lists() { # folder, list of what to install, list of what to remove
  (
    cd "$1"
    find . -mindepth 1 -type d | sed 's|^\./||' | sort | while read -r d; do
      echo "CreateDirectory \"\$INSTDIR\\$(winpath "$d")\""
    done
    find . -type f | sed 's|^\./||' | sort | while read -r f; do
      echo "File \"/oname=$(winpath "$f")\" \"$1/$f\""
    done
  ) >"$2"
  (
    cd "$1"
    find . -type f | sed 's|^\./||' | sort | while read -r f; do
      echo "Delete \"\$INSTDIR\\$(winpath "$f")\""
    done
    # Deepest first, and only if empty: a file the user put there stays.
    find . -mindepth 1 -type d | sed 's|^\./||' | sort -r | while read -r d; do
      echo "RMDir \"\$INSTDIR\\$(winpath "$d")\""
    done
  ) >"$3"
}
lists "$work/files" "$work/files.nsh" "$work/unfiles.nsh"
mkdir -p "$work/sdk"
[ -z "$sdk" ] || cp -r "$sdk/." "$work/sdk/"
lists "$work/sdk" "$work/sdkfiles.nsh" "$work/unsdkfiles.nsh"

makensis -V2 -DVERSION="$version" -DFILES="$work/files.nsh" -DUNFILES="$work/unfiles.nsh" \
  -DSDKFILES="$work/sdkfiles.nsh" -DUNSDKFILES="$work/unsdkfiles.nsh" \
  -DOUTFILE="$out" "$root/packaging/windows/zm5520-evm.nsi"
echo "make-setup-windows: $out ($(du -h "$out" | cut -f1))"
