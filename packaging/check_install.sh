#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a temporary prefix and checks what a user gets:
# the programs and their one version, the udev rule, the menu entry, the
# manuals and the completion (both naming every command and option the
# programs know), and where an installed program keeps its state.
# Usage: check_install.sh BUILD_DIR VERSION WITH_GUI(0|1)
set -uo pipefail
build=$1 version=$2 gui=$3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8

cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "FAIL: cmake --install"; exit 1; }

programs=(evmctl)
[ "$gui" = 1 ] && programs+=(zm5520-evm)
expected=(bin/evmctl lib/udev/rules.d/70-zm5520-evm.rules share/man/man1/evmctl.1.gz
  share/bash-completion/completions/evmctl share/zsh/vendor-completions/_evmctl share/doc/zm5520-evm/examples/dac_to_converters.txt)
[ "$gui" = 1 ] && expected+=(bin/zm5520-evm share/applications/zm5520-evm.desktop
  share/icons/hicolor/scalable/apps/zm5520-evm.svg share/man/man1/zm5520-evm.1.gz)
for f in "${expected[@]}"; do [ -f "$prefix/$f" ] || fail "$f not installed"; done

for p in "${programs[@]}"; do
  out=$("$prefix/bin/$p" --version 2>&1)
  [ "$out" = "$p $version" ] || fail "$p --version printed '$out', not '$p $version'"
done

rule=$prefix/lib/udev/rules.d/70-zm5520-evm.rules
grep -q 'ATTRS{idVendor}=="3a5f"' "$rule" || fail "udev rule does not match vendor 3a5f"
grep -q 'TAG+="uaccess"' "$rule" || fail "udev rule does not tag uaccess"
grep -Eq 'MODE="?0?[0-7][0-7][2367]' "$rule" && fail "udev rule makes the nodes world-writable"

if [ "$gui" = 1 ]; then
  desktop=$prefix/share/applications/zm5520-evm.desktop
  desktop-file-validate "$desktop" || fail "desktop entry does not validate"
  for exe in $(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop"); do
    [ -x "$prefix/bin/$exe" ] || fail "desktop entry runs '$exe', which is not installed"
  done
fi

# Every option a program's help names, and for evmctl every command, must be
# in its manual; every evmctl command and option must complete.
help_options() { grep -oE -- '--[a-z][a-z-]+' | sort -u; }
evmctl_commands=$("$prefix/bin/evmctl" --help | sed -n '/^Commands:/,/^$/s/^  \([a-z-]*\).*/\1/p')
[ -n "$evmctl_commands" ] || fail "no commands found in evmctl --help"
for p in "${programs[@]}"; do
  page=$prefix/share/man/man1/$p.1.gz
  warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man -l $p.1 warns: $warnings"
  text=$(MANWIDTH=200 man -l "$page" 2>/dev/null | col -b)
  names=$("$prefix/bin/$p" --help | help_options)
  [ "$p" = evmctl ] && for c in $evmctl_commands; do
    names+=$'\n'$("$prefix/bin/evmctl" "$c" --help | help_options)
  done
  for n in $(sort -u <<<"$names") $([ "$p" = evmctl ] && echo "$evmctl_commands"); do
    grep -qE -- "(^|[^a-z-])$n([^a-z-]|\$)" <<<"$text" || fail "manual of $p does not name $n"
  done
done

# ... and every exit status evmctl's help names.
statuses=$("$prefix/bin/evmctl" --help | sed -n '/^Exit status:/,$p' | tr '\n' ' ' |
  grep -oE '[:,] +[0-9]+ ' | tr -dc '0-9 ')
exit_section=$(MANWIDTH=200 man -l "$prefix/share/man/man1/evmctl.1.gz" 2>/dev/null |
  sed -n '/^EXIT STATUS/,/^FILES/p')
for n in $statuses; do
  grep -qE "^ +$n +[A-Z]" <<<"$exit_section" || fail "manual of evmctl lacks exit status $n"
done

completes() {  # completes "expected words" word...
  local want=$1
  shift
  COMP_WORDS=("$@")
  COMP_CWORD=$(($# - 1))
  COMPREPLY=()
  _evmctl
  for w in $want; do
    [[ " ${COMPREPLY[*]} " == *" $w "* ]] || fail "'${COMP_WORDS[*]}<TAB>' does not offer $w"
  done
}
# shellcheck source=/dev/null
source "$prefix/share/bash-completion/completions/evmctl"
completes "$evmctl_commands" evmctl ""
completes "$evmctl_commands" evmctl --simulate --config-dir x ""
completes "$("$prefix/bin/evmctl" --help | sed -n '/^Common options:/,$p' | help_options)" evmctl --
for c in $evmctl_commands; do
  completes "$("$prefix/bin/evmctl" "$c" --help | head -1 | help_options)" evmctl --simulate "$c" --
done
completes "reglink:no-board interface:no-permission" evmctl --simulate --sim-fault ""
completes "div1 div8" evmctl calibrate --pga ""

# The zsh completion parses and names every command and option too.
zsh_completion=$prefix/share/zsh/vendor-completions/_evmctl
if command -v zsh >/dev/null; then
  zsh -n "$zsh_completion" || fail "the zsh completion does not parse"
fi
all_options=$("$prefix/bin/evmctl" --help | help_options)
for c in $evmctl_commands; do all_options+=$'\n'$("$prefix/bin/evmctl" "$c" --help | help_options); done
for n in $evmctl_commands $(sort -u <<<"$all_options"); do
  grep -q -- "$n" "$zsh_completion" || fail "the zsh completion does not name $n"
done

# An installed program keeps its state in the user's configuration folder,
# not beside itself, even where it could write there.
mkdir -p "$tmp/elsewhere"
calibrate=(--simulate calibrate --rshunt 10m --max-current 2 --lsb 100u --write)
(cd "$tmp/elsewhere" && XDG_CONFIG_HOME=$tmp/xdg "$prefix/bin/evmctl" "${calibrate[@]}" >/dev/null) ||
  fail "evmctl calibrate --write failed"
[ -f "$tmp/xdg/zm5520-evm/ZM5520_1EVM_Settings.csv" ] ||
  fail "state not under \$XDG_CONFIG_HOME/zm5520-evm"
(cd "$tmp/elsewhere" && env -u XDG_CONFIG_HOME HOME="$tmp/home" "$prefix/bin/evmctl" "${calibrate[@]}" >/dev/null)
[ -f "$tmp/home/.config/zm5520-evm/ZM5520_1EVM_Settings.csv" ] ||
  fail "state not under ~/.config/zm5520-evm without XDG_CONFIG_HOME"
# Without HOME, never a shared folder under a name anyone could take first.
mkdir -m 700 "$tmp/run"
(cd "$tmp/elsewhere" && env -u XDG_CONFIG_HOME -u HOME XDG_RUNTIME_DIR="$tmp/run" \
  "$prefix/bin/evmctl" "${calibrate[@]}" >/dev/null)
[ "$(stat -c %a "$tmp/run/zm5520-evm")" = 700 ] && [ -f "$tmp/run/zm5520-evm/ZM5520_1EVM_Settings.csv" ] ||
  fail "state not in a private \$XDG_RUNTIME_DIR/zm5520-evm without HOME"
stray=$(ls -A "$prefix/bin" "$tmp/elsewhere" | grep -v -e '^evmctl$' -e '^zm5520-evm$' -e ':$' -e '^$')
[ -z "$stray" ] && [ -z "$(ls -A "$tmp/elsewhere")" ] || fail "state files beside the program: $stray"

[ "$failures" = 0 ] && echo "install tree: all checks passed"
exit $((failures > 0))
