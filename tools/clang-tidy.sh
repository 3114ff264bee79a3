#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# clang-tidy with the checks of .clang-tidy over the C++ files changed since
# BASE (a git revision), or over every file of the build when BASE is empty
# or unknown. Every finding is an error.
# Usage: tools/clang-tidy.sh BUILD_DIR [BASE]
set -euo pipefail
build=$1 base=${2:-}
cd "$(dirname "$0")/.."
all=$(python3 -c 'import json, sys
for e in json.load(open(sys.argv[1])): print(e["file"])' "$build/compile_commands.json" |
  grep -v "/$build/" | sort -u)
if [ -n "$base" ] && git rev-parse -q --verify "$base^{commit}" >/dev/null; then
  changed=$(git diff --name-only --diff-filter=d "$base" -- '*.cpp' | sed "s|^|$PWD/|")
  files=$(comm -12 <(echo "$all") <(echo "$changed" | sort -u))
  echo "clang-tidy: $(echo "$files" | grep -c . || true) file(s) changed since $base"
else
  files=$all
  echo "clang-tidy: all $(echo "$files" | wc -l) files"
fi
[ -z "$files" ] && exit 0
echo "$files" | xargs -P "$(nproc)" -n 4 clang-tidy -p "$build" --quiet
