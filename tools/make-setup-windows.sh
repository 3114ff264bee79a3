#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds zm5520-evm-<version>-setup.exe from the deployment folder with NSIS.
# The lists of files to install and to remove are made from the folder
# itself, so the uninstaller removes exactly what the installer wrote.
# Usage: tools/make-setup-windows.sh DEPLOY_DIR VERSION OUT_EXE
set -euo pipefail
deploy=$(realpath "$1")
version=$2
out=$(realpath -m "$3")
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cp -r "$deploy" "$work/files"
cp "$root/README.md" "$work/files/"
cp -r "$root/examples" "$work/files/"

winpath() { tr '/' '\\' <<<"$1"; }
(
  cd "$work/files"
  find . -mindepth 1 -type d | sed 's|^\./||' | sort | while read -r d; do
    echo "CreateDirectory \"\$INSTDIR\\$(winpath "$d")\""
  done
  find . -type f | sed 's|^\./||' | sort | while read -r f; do
    echo "File \"/oname=$(winpath "$f")\" \"$work/files/$f\""
  done
) >"$work/files.nsh"
(
  cd "$work/files"
  find . -type f | sed 's|^\./||' | sort | while read -r f; do
    echo "Delete \"\$INSTDIR\\$(winpath "$f")\""
  done
  # Deepest first, and only if empty: a file the user put there stays.
  find . -mindepth 1 -type d | sed 's|^\./||' | sort -r | while read -r d; do
    echo "RMDir \"\$INSTDIR\\$(winpath "$d")\""
  done
) >"$work/unfiles.nsh"

makensis -V2 -DVERSION="$version" -DFILES="$work/files.nsh" -DUNFILES="$work/unfiles.nsh" \
  -DOUTFILE="$out" "$root/packaging/windows/zm5520-evm.nsi"
echo "make-setup-windows: $out ($(du -h "$out" | cut -f1))"
