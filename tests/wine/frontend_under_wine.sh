#!/usr/bin/env bash
# Runs the 64-bit Windows build of the frontend under Wine on an X display of
# its own, in the Japanese locale, and plays the user with dialog_driver (texts
# are compared as UTF-8): the refusal without a song; a dropped song with its
# length, rate, side-file statuses and expected size; the command viewer; the
# description.txt and config.txt forms filled and confirmed, 開く with Wine's
# notepad, the About box and its update check against tools/update-server.py
# (frontend_forms_under_wine.sh); a conversion by the real tessaryn.exe beside
# the frontend, whose package must equal the native packer's and hold the forms'
# files and clips; a song named ソング.3g2 in a folder named ソ given on
# the command line; the forms and the update check at their limits
# (frontend_limits_under_wine.sh); the refusal when no packer lies beside the
# frontend. Saves a screenshot of the main dialog, the two forms and the About
# box as WORK_DIR/frontend.png, description-form.png, config-form.png and about.png.
#   frontend_under_wine.sh DIALOG_DRIVER_EXE WIN64_BUILD NATIVE_TESSARYN EXAMPLES_DIR WORK_DIR
# Exit code 77 (skipped) when Wine, Xvfb or the Windows builds are missing.
set -euo pipefail

driver=$1 build=$2 native=$3 examples=$4 work=$5
. "$(dirname "$0")/wine_session.sh"

frontend=$build/bin/frontend.exe
packer=$build/bin/tessaryn.exe
wine_require "$frontend" "$packer" "$driver"
wine_japanese_locale
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 SOURCE_DATE_EPOCH=1131580800
wine_session "$work" display
rm -f "$work"/*.png

# Japanese fonts for the dialog's ＭＳ Ｐゴシック and a virtual desktop, which
# draws title bars.
# Wine's loader, called directly, misses its own Marlett, which draws the caption buttons.
cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
if ! grep -q IPAPGothic "$WINEPREFIX/user.reg" 2>/dev/null; then
    for pair in "ＭＳ Ｐゴシック=IPAPGothic" "MS UI Gothic=IPAPGothic" "ＭＳ ゴシック=IPAGothic"; do
        wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "${pair%=*}" /d "${pair#*=}" /f >/dev/null 2>&1
    done
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
    timeout 60 "$wineserver" -w || true  # the desktop of the next start is a virtual one
fi

ask() { wine "$driver" "$@" 2>&1; }
main="Tessaryn - Frontend" refusal="変換開始前のエラー"

# expect WHAT EXPECTED COMMAND...: the tool's answer. Reads are retried for a
# while (up to 15 s, for a loaded machine) the dialog catches up with a drop
# or a click.
expect() {
    local what=$1 expected=$2 answer= until=$((SECONDS + 15))
    shift 2
    while :; do
        case $1 in
            text | check | enabled) answer=$(ask -t 2 "$@") || true ;;
            *) answer=$(ask "$@") || true; break ;;
        esac
        case $answer in "$expected" | dialog_driver:*) break ;; esac  # done, or no such control
        [ "$SECONDS" -lt "$until" ] || break
        sleep 0.25
    done
    [ "$answer" = "$expected" ] || fail "$what: '$answer', expected '$expected'"
}
start_frontend() {  # FOLDER [MUSIC]: the frontend in FOLDER, waiting for its dialog
    (cd "$work" && exec "$wine_loader" "$1/frontend.exe" "${@:2}" </dev/null >>"$work/frontend.log" 2>&1) &
    ask wait "$main" >/dev/null || { fail "the frontend in $1 showed no dialog"; exit 1; }
}
close_frontend() { ask click "$main" 2 >/dev/null && ask gone "$main" >/dev/null || fail "the dialog did not close"; }
file_size() { stat -c %s "$1"; }
screenshot() {  # TITLE FILE: the window as WORK_DIR/FILE
    command -v xwd >/dev/null && command -v convert >/dev/null || return 0
    sleep 1  # let the window paint
    xwd -silent -id "$(ask xid "$1")" | convert xwd:- "$work/$2" || fail "no screenshot of $1"
    echo "screenshot: $work/$2"
}
cp932() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }
# The texts a survey shows for a folder holding the example song and all its side files.
expect_song() {  # FOLDER NAME
    local song=$1/$2.3g2 size=$((2048 + $(file_size "$1/$2.3g2"))) side
    for side in config.txt jacket.jpg description.txt wallpaper.jpg; do
        size=$(((size + $(file_size "$1/$side") + 1023) & ~511))
    done
    expect "music path" "$(windows_path "$song")" text "$main" 1003
    expect "output path" "$(windows_path "${song%.3g2}.kmf")" text "$main" 1002
    expect "length" "0:10.03" text "$main" 1023  # 216 samples of 1024 at 22050 Hz
    expect "rate" "32000bps, 22050Hz" text "$main" 1022
    expect "config.txt status" "あり" text "$main" 1008
    expect "jacket status" "$(file_size "$1/jacket.jpg")ﾊﾞｲﾄ 96x96" text "$main" 1009
    expect "description.txt status" "あり" text "$main" 1010
    expect "wallpaper status" "$(file_size "$1/wallpaper.jpg")ﾊﾞｲﾄ 240x320" text "$main" 1011
    expect "expected size" "$((size >> 10))KB(予想)" text "$main" 1012
    expect "re-fragment offered" 1 enabled "$main" 1015  # the song has movie fragments
    expect "re-fragment ticked" 1 check "$main" 1015
    expect "rate camouflage offered" 0 enabled "$main" 1026  # 32000 bit/s needs no cap
    expect "rate camouflage ticked" 0 check "$main" 1026
}

# Our update server on loopback, publishing a newer packer; the frontend asks it.
# (The port file of an earlier run goes first: the server's shell empties it only once it runs.)
rm -f "$work/update-server.port"
python3 "$(dirname "$0")/../../tools/update-server.py" --packer 20060301 --frontend 20051018 --port 0 \
    >"$work/update-server.port" 2>"$work/update-server.log" &
update_server=$!
trap 'kill $update_server 2>/dev/null || true; wine_cleanup' EXIT
for _ in $(seq 300); do [ -s "$work/update-server.port" ] && break; sleep 0.1; done
[ -s "$work/update-server.port" ] || fail "the update server did not start within 30 s"
export TESSARYN_UPDATE_SERVER=127.0.0.1:$(head -n1 "$work/update-server.port")

# ---- The frontend with its packer, the example song dropped on it ----
app=$work/app song=$work/song
rm -rf "$app" "$song" "$work/native" "$work/ソ" "$work/alone" "$work/frontend.log"
mkdir -p "$app" "$song" "$work/native" "$work/ソ" "$work/alone"
cp "$frontend" "$packer" "$app/"
cp "$examples"/song.3g2 "$examples"/config.txt "$examples"/description.txt "$examples"/jacket.jpg \
    "$examples"/wallpaper.jpg "$song/"
cp "$song"/* "$work/native/"
start_frontend "$app"
expect "music path without a song" "" text "$main" 1003
expect "config.txt status without a song" "" text "$main" 1008
ask click "$main" 1001 >/dev/null || fail "cannot click 変換"
expect "convert without a song" "ファイルを選択してください" msgbox "$refusal"
ask gone "$refusal" >/dev/null || fail "the message box did not close"

ask drop "$main" "$(windows_path "$song/song.3g2")" >/dev/null || fail "the drop was not delivered"
expect_song "$song" song

screenshot "$main" frontend.png

quoted() { printf '"%s"' "$(windows_path "$1")"; }
command_line="$(quoted "$app/tessaryn.exe") $(quoted "$song/song.3g2") -o:$(quoted "$song/song.kmf") -mode:31 -chku1:\"\" -chkufr "
ask click "$main" 1004 >/dev/null || fail "cannot click コマンド表示"
expect "the command viewer" "$command_line" text "コマンドライン" 1025
ask click "コマンドライン" 1 >/dev/null && ask gone "コマンドライン" >/dev/null || fail "the command viewer did not close"

. "$(dirname "$0")/frontend_forms_under_wine.sh"

# Convert: the packer beside the frontend writes the package and waits for a
# key in its console; the key ends it, so the package is complete. It holds the
# forms' files and the clip names given on the command line.
ask click "$main" 1001 >/dev/null || fail "cannot click 変換"
expect "the packer's exit code" 0 -t 30 key tessaryn.exe
cp "$song/description.txt" "$song/config.txt" "$work/native/"
"$native" "$work/native/song.3g2" "-o:$work/native/song.kmf" -mode:31 -chku1:イントロ -chku3:サビ -chkufr \
    </dev/null >/dev/null || fail "the native packer failed"
cmp "$work/native/song.kmf" "$song/song.kmf" || fail "the frontend's package differs from the native packer's"
for side in description.txt config.txt; do
    tar -xOf "$song/song.kmf" "$side" | cmp - "$song/$side" || fail "the package's $side is not the form's"
done
LC_ALL=C grep -qaF "$(cp932 イントロ)" "$song/song.kmf" || fail "the clip name is not in the package's ioed box"
close_frontend

# ---- ソング.3g2 in a folder named ソ, on the command line: ソ ends in the byte 0x5C ----
cp "$song/song.3g2" "$work/ソ/ソング.3g2"
cp "$song"/config.txt "$song"/description.txt "$song"/jacket.jpg "$song"/wallpaper.jpg "$work/ソ/"
start_frontend "$app" "$(windows_path "$work/ソ/ソング.3g2")"
expect_song "$work/ソ" ソング
close_frontend

. "$(dirname "$0")/frontend_limits_under_wine.sh"

# ---- No packer beside the frontend ----
cp "$frontend" "$work/alone/"
start_frontend "$work/alone" "$(windows_path "$song/song.3g2")"
ask click "$main" 1001 >/dev/null || fail "cannot click 変換"
expect "convert without a packer" "Tessarynを認識できません" msgbox "$refusal"
close_frontend

wine_finish "the frontend works under Wine"
