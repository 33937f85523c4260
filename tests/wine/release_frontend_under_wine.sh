#!/usr/bin/env bash
# `bin/tessaryn-frontend song.3g2` from the unpacked Linux archive, with a home
# of its own (a fresh Wine prefix): the main window shows the song as a Wine path
# with its values, and 変換 starts the archive's tessaryn.exe, which packs as
# bin/tessaryn does. Also what it tells a user who lacks the Japanese locale or
# font. Leaves WORK_DIR/tessaryn-frontend.png, a screenshot of the main window.
#   release_frontend_under_wine.sh LINUX_ARCHIVE DIALOG_DRIVER_EXE EXAMPLES_DIR WORK_DIR
# Exit code 77 (skipped) when Wine, Xvfb, the locale or the driver is missing; under CI=true, 1.
set -euo pipefail

archive=$1 driver=$2 examples=$3
. "$(dirname "$0")/wine_session.sh"
trap wine_cleanup EXIT
wine_require "$driver"
wine_japanese_locale
mkdir -p "$4" && work=$(cd "$4" && pwd)
rm -rf "$work/home" "$work/unpacked" "$work/song" "$work"/*.png
mkdir -p "$work/home" "$work/unpacked" "$work/song"
wine_display

tar -xzf "$archive" -C "$work/unpacked"
top=$(echo "$work"/unpacked/*)
cp "$examples"/song.3g2 "$examples"/config.txt "$examples"/description.txt "$examples"/jacket.jpg \
    "$examples"/wallpaper.jpg "$work/song/"

# What a user without the Japanese locale or font is told: stand-ins that find none.
for gap in locale:ja_JP.UTF-8 fc-list:fonts-ipafont-gothic; do
    rm -rf "$work/bare" && mkdir "$work/bare" && printf '#!/bin/sh\n' >"$work/bare/${gap%%:*}" && chmod +x "$work/bare/${gap%%:*}"
    PATH=$work/bare:$PATH "$top/bin/tessaryn-frontend" >/dev/null 2>"$work/gap.txt" && fail "ran without ${gap%%:*}'s findings"
    grep -qF "${gap#*:}" "$work/gap.txt" || fail "without ${gap%%:*}'s findings it does not name ${gap#*:}: $(cat "$work/gap.txt")"
done

# Wine's virtual desktop (the title bar on a bare X display) goes into the prefix first.
export HOME=$work/home XDG_DATA_HOME=$work/home/.local/share SOURCE_DATE_EPOCH=1131580800
export WINEPREFIX=$XDG_DATA_HOME/tessaryn/wine WINEDEBUG=-all WINELOADER=$wine_loader WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$XDG_DATA_HOME/tessaryn"
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
timeout 60 "$wineserver" -w || true

# Started as a user starts it, without the Wine settings of this check.
(cd "$work/song" && exec env -u WINELOADER -u WINEPREFIX -u WINEDEBUG -u WINEDLLOVERRIDES \
    "$top/bin/tessaryn-frontend" song.3g2 </dev/null >"$work/frontend.log" 2>&1) &
ask() { wine "$driver" "$@" 2>&1; }
main="Tessaryn - Frontend"
ask -t 120 wait "$main" >/dev/null || { fail "no main window: $(cat "$work/frontend.log")"; exit 1; }
expect() {  # WHAT EXPECTED COMMAND...: the driver's answer, read again for up to 15 s while the window catches up
    local what=$1 expected=$2 answer='' until=$((SECONDS + 15))
    shift 2
    until answer=$(ask -t 2 "$@") && [ "$answer" = "$expected" ] || [ "$SECONDS" -ge "$until" ]; do sleep 0.25; done
    [ "$answer" = "$expected" ] || fail "$what: '$answer', expected '$expected'"
}
expect "music path" "$(windows_path "$work/song/song.3g2")" text "$main" 1003
expect "length" "0:10.03" text "$main" 1023
expect "rate" "32000bps, 22050Hz" text "$main" 1022
expect "config.txt status" "あり" text "$main" 1008
expect "jacket status" "$(stat -c %s "$work/song/jacket.jpg")ﾊﾞｲﾄ 96x96" text "$main" 1009
sleep 1  # let the window paint
xwd -silent -id "$(ask xid "$main")" | convert xwd:- "$work/tessaryn-frontend.png" || fail "no screenshot"
echo "screenshot: $work/tessaryn-frontend.png"

# 変換: the packer beside the frontend is found and packs as the Linux one does.
ask click "$main" 1001 >/dev/null || fail "cannot click 変換"
answer=$(ask -t 60 key tessaryn.exe) || true
[ "$answer" = 0 ] || fail "the packer did not run to its end: $answer"
"$top/bin/tessaryn" "$work/song/song.3g2" "-o:$work/linux.kmf" -mode:31 -chku1: -chkufr </dev/null >/dev/null
cmp "$work/linux.kmf" "$work/song/song.kmf" || fail "the frontend's package differs from bin/tessaryn's"
ask click "$main" 2 >/dev/null && ask gone "$main" >/dev/null || fail "the main window did not close"

wine_finish "bin/tessaryn-frontend shows the song and converts it under Wine"
