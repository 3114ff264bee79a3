#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Puts the Windows GUI into a folder that runs on a machine with nothing else
# installed: the programs, the Qt plugins Qt loads at run time, and every DLL
# they import, found by reading the imports of each file, recursively. A DLL
# that is neither ours, Qt's, the compiler's nor one Windows itself provides
# stops the build here, rather than the program on the user's machine.
# Usage: tools/deploy-windows.sh BUILD_DIR QT_PREFIX OUT_DIR
set -euo pipefail
build=$1
qt=$2
out=$3
objdump=x86_64-w64-mingw32-objdump
# What Windows provides is what Wine provides: its builtin DLLs are the list.
system_dlls=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
gcc_dlls=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
search=("$qt/bin" "$gcc_dlls" /usr/x86_64-w64-mingw32/lib)

rm -rf "$out"
mkdir -p "$out/platforms" "$out/styles"
# The build keeps its debugging information; the user gets programs without.
for exe in zm5520-evm evmctl; do
  x86_64-w64-mingw32-strip -o "$out/$exe.exe" "$build/src/$exe.exe"
done
cp "$(dirname "$0")/../LICENSE" "$out/LICENSE.txt"
# Debian's mingw runtime keeps its symbols (libstdc++ alone is 23 MB).
strip_to() { x86_64-w64-mingw32-strip --strip-unneeded -o "$2" "$1"; }
strip_to "$qt/plugins/platforms/qwindows.dll" "$out/platforms/qwindows.dll"
strip_to "$qt/plugins/platforms/qoffscreen.dll" "$out/platforms/qoffscreen.dll"
strip_to "$qt/plugins/styles/qwindowsvistastyle.dll" "$out/styles/qwindowsvistastyle.dll"

imports() { "$objdump" -p "$1" | sed -n 's/^\s*DLL Name: //p'; }

queue=("$out"/*.exe "$out"/platforms/*.dll "$out"/styles/*.dll)
declare -A seen
while [ ${#queue[@]} -gt 0 ]; do
  file=${queue[0]}
  queue=("${queue[@]:1}")
  for dll in $(imports "$file"); do
    key=${dll,,}
    [ -n "${seen[$key]:-}" ] && continue
    seen[$key]=1
    found=""
    for dir in "${search[@]}"; do
      if [ -f "$dir/$dll" ]; then
        found="$dir/$dll"
        break
      fi
    done
    if [ -n "$found" ]; then
      strip_to "$found" "$out/$dll"
      queue+=("$out/$dll")
    elif [ -f "$system_dlls/$key" ] || [[ $key == api-ms-win-* ]]; then
      continue
    else
      echo "deploy-windows: $(basename "$file") imports $dll, which is nowhere to be found" >&2
      exit 1
    fi
  done
done

(cd "$out" && find . -name '*.dll' | sed 's|^\./||' | sort) >"$out.dlls"
echo "deploy-windows: $out ($(wc -l <"$out.dlls") DLLs, $(du -sh "$out" | cut -f1))"
