#!/usr/bin/env bash
# `bin/tessaryn-frontend song.3g2` from the unpacked Linux archive, with a home
# of its own: the song opens, and 変換 packs it as bin/tessaryn does. Also what
# it tells a user who lacks the Japanese locale or font. Leaves the screenshot
# WORK_DIR/tessaryn-frontend.png.
#   release_frontend_under_wine.sh LINUX_ARCHIVE DIALOG_DRIVER_EXE EXAMPLES_DIR WORK_DIR
set -euo pipefail

archive=$1 driver=$2 examples=$3 work=$(realpath -m "$4")
. "$(dirname "$0")/wine_session.sh"
wine_require "$driver"
wine_japanese_locale
rm -rf "$work/home" "$work/unpacked" "$work/song" "$work"/*.png
mkdir -p "$work/home" "$work/unpacked"

tar -xzf "$archive" -C "$work/unpacked"
top=$(echo "$work"/unpacked/*)
example_song "$work/song"

# What a user without the Japanese locale or font is told: stand-ins that find none.
for gap in locale:ja_JP.UTF-8 fc-list:fonts-ipafont-gothic; do
    rm -rf "$work/bare" && mkdir "$work/bare" && printf '#!/bin/sh\n' >"$work/bare/${gap%%:*}" && chmod +x "$work/bare/${gap%%:*}"
    PATH=$work/bare:$PATH "$top/bin/tessaryn-frontend" >/dev/null 2>"$work/gap.txt" && fail "ran without ${gap%%:*}'s findings"
    grep -qF "${gap#*:}" "$work/gap.txt" || fail "without ${gap%%:*}'s findings it does not name ${gap#*:}: $(cat "$work/gap.txt")"
done

# The prefix bin/tessaryn-frontend uses, with Wine's virtual desktop in it first.
export HOME=$work/home XDG_DATA_HOME=$work/home/.local/share SOURCE_DATE_EPOCH=1131580800
wine_session "$work" display "$XDG_DATA_HOME/tessaryn/wine"
wine_desktop

# Started as a user starts it, without the Wine settings of this check.
(cd "$work/song" && exec env -u WINELOADER -u WINEPREFIX -u WINEDEBUG -u WINEDLLOVERRIDES \
    "$top/bin/tessaryn-frontend" song.3g2 </dev/null >"$work/frontend.log" 2>&1) &
main="Tessaryn - Frontend"
ask -t 120 wait "$main" >/dev/null || { fail "no main window: $(cat "$work/frontend.log")"; exit 1; }
expect "music path" "$(windows_path "$work/song/song.3g2")" text "$main" 1003
screenshot "$main" tessaryn-frontend.png

# 変換: the packer beside the frontend is found and packs as the Linux one does.
click "$main" 1001
expect "the packer's exit code" 0 -t 60 key tessaryn.exe
"$top/bin/tessaryn" "$work/song/song.3g2" "-o:$work/linux.kmf" -mode:31 -chku1: -chkufr </dev/null >/dev/null
cmp "$work/linux.kmf" "$work/song/song.kmf" || fail "the frontend's package differs from bin/tessaryn's"
close "$main" 2

wine_finish "bin/tessaryn-frontend shows the song and converts it under Wine"
