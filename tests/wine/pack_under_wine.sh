#!/usr/bin/env bash
# The 64-bit Windows packer under Wine packs as the native one, byte for byte
# and with the same report, also for names whose byte 0x5C is inside a
# character (code page 932) and with its settings file beside a renamed .exe.
#   pack_under_wine.sh NATIVE_EXE WIN64_EXE EXAMPLES_DIR WORK_DIR
set -euo pipefail

native=$1 win64=$2 examples=$3 work=$4
. "$(dirname "$0")/wine_session.sh"
wine_require "$win64"
wine_session "$work"

# A report made comparable: no CR before the line ends, no elapsed time.
report_of() { sed -E -e 's/\r$//' -e 's/completed\. \([0-9]+\.[0-9]+sec\)/completed. (TIME)/'; }

export SOURCE_DATE_EPOCH=1131580800
args=(-mode:27 -chku1:Intro)

rm -rf "$work/native" "$work/windows"
example_song "$work/native"
example_song "$work/windows"

"$native" "$work/native/song.3g2" "${args[@]}" </dev/null | report_of | sed "s#$work/native/#DIR#g" > "$work/native.txt"
wine "$win64" "$(windows_path "$work/windows/song.3g2")" "${args[@]}" </dev/null | report_of \
    | sed "s#$(windows_path "$work/windows/" | sed 's/\\/\\\\/g')#DIR#g" > "$work/windows.txt"

[ -f "$work/windows/song.kmf" ] || fail "the Windows build wrote no package"
cmp "$work/native/song.kmf" "$work/windows/song.kmf" || fail "packages differ between the native and the Windows build"
diff -u "$work/native.txt" "$work/windows.txt" || fail "reports differ between the native and the Windows build"

# ---- Japanese names: side files and tessaryn.ini beside paths with 0x5C trail bytes ----
wine_japanese_locale
rm -rf "$work/jp"
example_song "$work/jp/native/ソ" ソング表
example_song "$work/jp/windows/ソ" ソング表
mkdir -p "$work/jp/表"
cp "$win64" "$work/jp/表/ソフト.exe"
printf 'CHECK_HITKEY=0\r\n' > "$work/jp/表/tessaryn.ini"
"$native" "$work/jp/native/ソ/ソング表.3g2" -mode:27 -chku1:イントロ </dev/null >/dev/null
(cd "$work" && LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 wine "$work/jp/表/ソフト.exe" \
    "$(windows_path "$work/jp/windows/ソ/ソング表.3g2")" -mode:11 -chku1:イントロ </dev/null) | report_of > "$work/jp.txt"
grep -q '^ notice: tessaryn.ini was read$' "$work/jp.txt" || fail "tessaryn.ini beside 表\\ソフト.exe was not read"
grep -a -E '^(created|  error):' "$work/jp.txt" && fail "side files beside ソ\\ソング表.3g2 were not found"
cmp "$work/jp/native/ソ/ソング表.kmf" "$work/jp/windows/ソ/ソング表.kmf" \
    || fail "the Japanese-named package differs between the native and the Windows build"

wine_finish "the Windows build packs byte for byte as the native one"
