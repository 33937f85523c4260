#!/usr/bin/env bash
# Runs the framework's sample dialog program (the 64-bit Windows build) under
# Wine on an X display of its own, in the Japanese locale (code page 932). The
# program plays the user on real windows and reports each check; its child
# process reports how the C runtime split the command line it was started with.
#   win32_sample.sh SAMPLE_EXE WORK_DIR
# Exit code 77 (skipped) when Wine, Xvfb or the Windows build is missing.
set -euo pipefail

exe=$1 work=$2
wine_loader=/usr/lib/wine/wine64

[ -f "$exe" ] || { echo "missing $exe: build the win64 preset first"; exit 77; }
[ -x "$wine_loader" ] || { echo "Wine (wine64) is not installed"; exit 77; }
command -v Xvfb >/dev/null || { echo "Xvfb is not installed"; exit 77; }
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    localedef -i ja_JP -f UTF-8 ja_JP.UTF-8 2>/dev/null || { echo "no ja_JP.UTF-8 locale (run as root to make it)"; exit 77; }
fi

mkdir -p "$work"
work=$(cd "$work" && pwd)  # Wine wants an absolute prefix
rm -f "$work/report.txt" "$work/child.txt" "$work/display"
export WINEPREFIX=$work/wineprefix WINEDEBUG=-all WINELOADER=$wine_loader WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8

# Xvfb picks a free display itself and writes its number once it is ready.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
cleanup() {
    "${wine_loader%/*}/wineserver" -k >/dev/null 2>&1 || true
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "Xvfb did not start"; exit 1; }
export DISPLAY=:$(cat "$work/display")

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$wine_loader" wineboot -i >/dev/null 2>&1 || true
fi

windows_path() { printf 'Z:%s' "$(printf '%s' "$1" | tr '/' '\\')"; }
report=$(windows_path "$work/report.txt")
child=$(windows_path "$work/child.txt")

status=0
timeout 120 "$wine_loader" "$exe" "$report" "$child" </dev/null >/dev/null 2>&1 || status=$?
# The child runs detached: wait for its last line.
for _ in $(seq 300); do grep -qx 'done' "$work/child.txt" 2>/dev/null && break; sleep 0.1; done

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

[ -f "$work/report.txt" ] || fail "the program wrote no report (exit code $status)"
[ -f "$work/report.txt" ] && cat "$work/report.txt"
[ -f "$work/child.txt" ] && cat "$work/child.txt"
[ "$status" -eq 0 ] || fail "the program ended with exit code $status"
grep -qxF "command line: $report $child" "$work/report.txt" 2>/dev/null || fail "the raw command line differs"
grep -qx 'done' "$work/child.txt" 2>/dev/null || fail "the child did not report"
if grep -q '^FAIL' "$work/report.txt" "$work/child.txt" 2>/dev/null; then fail "checks failed (above)"; fi

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "the win32 backend works on real windows"
