# Sourced by frontend_under_wine.sh: each form writes a side file whose path is
# 259 bytes, one short of Windows' limit, and a closed port gives 通信エラー #1
# at once, not after a time-out.

# A folder whose Windows path (Z: and the Unix path) leaves `name` a path of 259 bytes.
folder_for() {  # NAME
    local base=$work/limits/$1
    printf '%s/%s' "$base" "$(printf 'd%.0s' $(seq $((259 - 2 - ${#base} - 2 - ${#1}))))"
}
rm -rf "$work/limits"
for side in description.txt config.txt; do
    long=$(folder_for $side)
    mkdir -p "$long" && cp "$examples/song.3g2" "$long/"
    [ "$(windows_path "$long/$side" | wc -c)" -eq 259 ] || fail "the path of $side is not 259 bytes"
done
# A loopback port that nothing listens on.
closed_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

# Each form confirmed for a song in its folder (the first given on the command line, the second dropped).
TESSARYN_UPDATE_SERVER=127.0.0.1:$closed_port start_frontend "$app" "$(windows_path "$(folder_for description.txt)/song.3g2")"
for form in "description.txt 1016 title," "config.txt 1017 KDDIMU01"; do
    read -r side button start <<<"$form"
    [ "$side" = description.txt ] || ask drop "$main" "$(windows_path "$(folder_for $side)/song.3g2")" >/dev/null
    opened_by "$side 作成" "$button"
    close "$side 作成"
    head -c ${#start} "$(folder_for $side)/$side" 2>/dev/null | grep -qx "$start" || fail "$side was not written at 259 bytes"
done

opened_by "$about" 1000
click "$about" 1032
expect "a closed port, within 2 s" "通信エラー #1" -t 2 msgbox "更新チェック"
close "$about"
close "$main" 2
