#!/usr/bin/env bash
# Runs the framework's sample program, which plays the user on real windows and
# reports each check, under Wine in the Japanese locale (code page 932).
#   win32_sample.sh SAMPLE_EXE WORK_DIR
set -euo pipefail

exe=$1 work=$2
. "$(dirname "$0")/../wine/wine_session.sh"
wine_require "$exe"
wine_japanese_locale
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
wine_session "$work" display
rm -f "$work/report.txt"

status=0
wine "$exe" "$(windows_path "$work/report.txt")" </dev/null >/dev/null 2>&1 || status=$?
cat "$work/report.txt" 2>/dev/null || true
grep -qx 'done' "$work/report.txt" 2>/dev/null || fail "the program did not finish its report"
! grep -q '^FAIL' "$work/report.txt" 2>/dev/null || fail "the program's checks failed (above)"
[ "$status" -eq 0 ] || fail "the program ended with exit code $status"

wine_finish "the win32 backend works on real windows"
