#!/usr/bin/env bash
# Plays the user of the 64-bit Windows frontend under Wine with dialog_driver,
# in the Japanese locale on an X display of its own, and leaves the screenshots
# frontend.png, description-form.png, config-form.png and about.png.
#   frontend_under_wine.sh DIALOG_DRIVER_EXE WIN64_BUILD NATIVE_TESSARYN EXAMPLES_DIR WORK_DIR
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

# Japanese fonts for the dialog's ＭＳ Ｐゴシック, and a virtual desktop.
# Wine's loader, called directly, misses its own Marlett, which draws the caption buttons.
cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
if ! grep -q IPAPGothic "$WINEPREFIX/user.reg" 2>/dev/null; then
    for pair in "ＭＳ Ｐゴシック=IPAPGothic" "MS UI Gothic=IPAPGothic" "ＭＳ ゴシック=IPAGothic"; do
        wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "${pair%=*}" /d "${pair#*=}" /f >/dev/null 2>&1
    done
    wine_desktop
fi

main="Tessaryn - Frontend"
# Clip names that a careless command line splits wrongly: double quotes, backslashes
# before one and at the end, 表 and ソ (their second byte is 0x5C) and a blank.
clip1='イ"ン\"表"ト\' clip3='サビ ソ'

start_frontend() {  # FOLDER [MUSIC]: the frontend in FOLDER, waiting for its dialog
    (cd "$work" && exec "$wine_loader" "$1/frontend.exe" "${@:2}" </dev/null >>"$work/frontend.log" 2>&1) &
    ask wait "$main" >/dev/null || { fail "the frontend in $1 showed no dialog"; exit 1; }
}
choose() {  # TITLE BUTTON PATH: the file dialog BUTTON opens, answered with PATH
    opened_by "$1" "$2"
    fill "$1" 1148="$(windows_path "$3")"
    close "$1"
}
cp932() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }
# The texts a survey shows for the example song as FOLDER/NAME.3g2 with its side files.
expect_song() {  # FOLDER NAME
    local song=$1/$2.3g2 shown
    for shown in "1003 $(windows_path "$song")" "1002 $(windows_path "${song%.3g2}.kmf")" "1023 0:10.03" \
        "1022 32000bps, 22050Hz" "1008 あり" "1009 3943ﾊﾞｲﾄ 96x96" "1010 あり" "1011 7842ﾊﾞｲﾄ 240x320" "1012 58KB(予想)"; do
        expect "control ${shown%% *} for $2.3g2" "${shown#* }" text "$main" "${shown%% *}"
    done
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
mkdir -p "$app" "$work/alone"
cp "$frontend" "$packer" "$app/"
example_song "$song"
example_song "$work/native"
start_frontend "$app"
ask drop "$main" "$(windows_path "$song/song.3g2")" >/dev/null || fail "the drop was not delivered"
expect_song "$song" song
screenshot "$main" frontend.png

quoted() { printf '"%s"' "$(windows_path "$1")"; }
opened_by コマンドライン 1004
expect "the command viewer" "$(quoted "$app/tessaryn.exe") $(quoted "$song/song.3g2") -o:$(quoted "$song/song.kmf") -mode:31 -chku1:\"\" -chkufr " \
    text コマンドライン 1025
close コマンドライン

. "$(dirname "$0")/frontend_forms_under_wine.sh"

# Convert: the packer beside the frontend waits for a key once the package is
# written; the package holds the forms' files and the clip names whole.
click "$main" 1001
expect "the packer's exit code" 0 -t 30 key tessaryn.exe
cp "$song/description.txt" "$song/config.txt" "$work/native/"
"$native" "$work/native/song.3g2" "-o:$work/native/song.kmf" -mode:31 "-chku1:$clip1" "-chku3:$clip3" -chkufr \
    </dev/null >/dev/null || fail "the native packer failed"
cmp "$work/native/song.kmf" "$song/song.kmf" || fail "the frontend's package differs from the native packer's"
for side in description.txt config.txt; do
    tar -xOf "$song/song.kmf" "$side" | cmp - "$song/$side" || fail "the package's $side is not the form's"
done
LC_ALL=C grep -qaF "$(cp932 "$clip1")" "$song/song.kmf" || fail "the clip name is not in the package's ioed box"
close "$main" 2

# ---- ソング.3g2 in a folder named ソ (ソ ends in the byte 0x5C): given relative ----
# on the command line, kept by the save dialog, then chosen in the open dialog.
example_song "$work/ソ" ソング
start_frontend "$app" "ソ\\ソング.3g2"
choose KMFファイルの保存先 1007 "$app/out"
expect "the output path saved" "$(windows_path "$app/out.kmf")" text "$main" 1002
click "$main" 1005
expect "the relative song, found after the save dialog" "ソ\\ソング.3g2" text "$main" 1003
choose 楽曲ファイルを開く 1006 "$work/ソ/ソング.3g2"
expect_song "$work/ソ" ソング
close "$main" 2

. "$(dirname "$0")/frontend_limits_under_wine.sh"

# ---- No packer beside the frontend ----
cp "$frontend" "$work/alone/"
start_frontend "$work/alone" "$(windows_path "$song/song.3g2")"
click "$main" 1001
expect "convert without a packer" "Tessarynを認識できません" msgbox 変換開始前のエラー
close "$main" 2

wine_finish "the frontend works under Wine"
