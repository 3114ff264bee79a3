#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Compares the symbols a built library exports with the committed list, so
# that a symbol which appears or disappears is a decision, not an accident.
# ELF libraries are read with nm (mangled names), DLLs by their export table.
# Usage: tools/check-exports.sh LIBRARY LIST   (UPDATE=1 rewrites LIST)
set -euo pipefail
library=$1 list=$2

case "$library" in
  *.dll)
    objdump=$(command -v x86_64-w64-mingw32-objdump || command -v objdump)
    actual=$("$objdump" -p "$library" |
      sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
      sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*//p' | LC_ALL=C sort -u)
    ;;
  *)
    actual=$(nm -D --defined-only --format=posix "$library" | awk '{print $1}' | LC_ALL=C sort -u)
    ;;
esac
[ -n "$actual" ] || { echo "FAIL: no exported symbol read from $library"; exit 1; }

if [ "${UPDATE:-0}" = 1 ]; then
  printf '%s\n' "$actual" >"$list"
  echo "wrote $list"
  exit 0
fi
expected=$(grep -v '^#' "$list" | LC_ALL=C sort -u)
appeared=$(LC_ALL=C comm -13 <(printf '%s\n' "$expected") <(printf '%s\n' "$actual"))
gone=$(LC_ALL=C comm -23 <(printf '%s\n' "$expected") <(printf '%s\n' "$actual"))
[ -n "$appeared" ] && printf 'FAIL: exported but not in %s:\n%s\n' "$list" "$appeared"
[ -n "$gone" ] && printf 'FAIL: in %s but no longer exported:\n%s\n' "$list" "$gone"
if [ -n "$appeared$gone" ]; then
  echo "(a deliberate change: UPDATE=1 $0 $library $list, and mind the SONAME)"
  exit 1
fi
echo "$(basename "$library"): the $(wc -l <<<"$actual") exported symbols are those of $(basename "$list")"
