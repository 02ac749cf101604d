#!/usr/bin/env bash
# wine_run_test.sh WINE_RUN PREFIX
# Each prefix has one display: later runs find and reuse it, and a display
# server that cannot start ends the run with an error rather than starting
# the program with no display at all.
set -u
winerun=$1
prefix=$2
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
display_of_run() {
  env -u DISPLAY "$winerun" --prefix "$prefix" cmd /c echo %DISPLAY% | tr -d '\r'
}

first=$(display_of_run)
second=$(display_of_run)
[ -n "$first" ] && [ "$first" != "%DISPLAY%" ] || fail "a run had no display: '$first'"
[ "$first" = "$second" ] || fail "two runs had displays $first and $second; the second should reuse the first"
read -r num pid < "$prefix.display" || true
[ ":${num:-}" = "$first" ] || fail "$prefix.display names :${num:-} where the runs had $first"
command=$(tr '\0' ' ' 2>/dev/null < "/proc/${pid:-0}/cmdline")
[[ "$command" == "Xvfb "* ]] || fail "$prefix.display names process ${pid:-none}, which is not the display server"

# A display server that exits at once, in a prefix of its own (never created:
# the run must end before it would be).
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/bin"
printf '#!/bin/sh\nexit 1\n' > "$scratch/bin/Xvfb"
chmod +x "$scratch/bin/Xvfb"
output=$(env -u DISPLAY PATH="$scratch/bin:$PATH" "$winerun" --prefix "$scratch/prefix" cmd /c echo ran 2>&1)
rc=$?
[ "$rc" -ne 0 ] || fail "a run without a display server succeeded: $output"
[[ "$output" == *"Xvfb did not start"* ]] || fail "a run without a display server did not say why: $output"
[[ "$output" != *ran* ]] || fail "the program ran without a display: $output"
[ ! -e "$scratch/prefix" ] || fail "a prefix was made for a run that could not start"

[ "$failures" -eq 0 ] && echo "wine-run: all checks passed"
exit $((failures > 0))
