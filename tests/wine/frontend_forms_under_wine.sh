# Sourced by frontend_under_wine.sh while the frontend is up with the example
# song dropped on it: the two forms and the files they write, 開く, and the
# About box with an update check over real Winsock against the update server.

# ---- description.txt: the title, the track, a refused length ----
form="description.txt 作成"
opened_by "$form" 1016
fill "$form" 1016=星の歌 1024=3 1023=12 1022=100
click "$form" 1
expect "100 minutes refused" "0 から 99 までの整数を入力してください。" msgbox frontend
expect "the focus on the minutes" 1022 focus "$form"
fill "$form" 1022=0
screenshot "$form" description-form.png
close "$form"
cp932 $'title,星の歌\r\nartist,Tessaryn\r\nalbum_title,Examples\r\ntrack_number,0312\r\ntime,0010\r\nauthor,Tessaryn team\r\npublisher,Tessaryn\r\ncopyright,Tessaryn team\r\n' \
    | cmp - "$song/description.txt" || fail "description.txt is not what the form holds"

# ---- config.txt: a URL, clip 1 renamed and moved, clip 3 enabled ----
form="config.txt 作成"
opened_by "$form" 1017
expect "clip 1 from the file" 1 check "$form" 1029
expect "clip 1's start" 2 text "$form" 1022
expect "clip 3's edits disabled" 0 enabled "$form" 1039
click "$form" 1040
expect "clip 3's edits enabled by its box" 1 enabled "$form" 1039
fill "$form" 1028="$clip1" 1039="$clip3" 1030=http://example.jp/ \
    1022=1 1023=500 1021=4 1025=0 1035=6 1036=0 1037=9 1038=0
screenshot "$form" config-form.png
close "$form"
cp932 $'KDDIMU01\r\nhttp://example.jp/\r\nwallpaper.jpg,\r\n001.500,004.000\r\n\r\n006.000,009.000\r\n' \
    | cmp - "$song/config.txt" || fail "config.txt is not what the form holds"

# ---- 開く: notepad on description.txt, the status asks for a reload ----
click "$main" 1013
expect "status while the editor is open" "再読込してください" text "$main" 1010
ask wait "description.txt - メモ帳" >/dev/null || fail "notepad did not open description.txt"
wine taskkill /F /IM notepad.exe >/dev/null 2>&1 || fail "cannot end notepad"
click "$main" 1005
expect "status after 再読込" "あり" text "$main" 1010

# ---- The About box: both versions, the main dialog disabled under it, the update check ----
about="Tessarynのバージョン情報"
opened_by "$about" 1000
expect "the frontend's version" "Tessaryn Frontend 20051018" text "$about" 1033
expect "the packer's version" "Tessaryn 20051110" text "$about" 1006
expect "the main dialog under the About box" 0 enabled "$main"
screenshot "$about" about.png
click "$about" 1032
expect "a newer packer published" $'Tessaryn 20060301 が公開されています\nFrontend 20051018 が公開されています' \
    -t 30 msgbox "最新版 公開情報"
grep -qF "User-Agent: Tessaryn/1.0(20051110; Frontend 20051018)" "$work/update-server.log" \
    || fail "the update server saw no request from the frontend"
close "$about"
expect "the main dialog after the About box" 1 enabled "$main"
