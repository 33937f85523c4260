# Sourced by frontend_under_wine.sh: the frontend at its limits. Each form
# confirmed for a song whose side file's path is 259 bytes, one short of
# Windows' path limit, writes that file. The update check reads a reply split
# into two sends at every byte from the marker to the end as it reads the reply
# whole, for both layouts (split_reply_peer.py), and a closed port gives
# 通信エラー #1 at once, not after a time-out.

# ---- Forms at the path limit ----
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

rm -f "$work/peer.port"
python3 "$(dirname "$0")/split_reply_peer.py" 20060301 20051018 >"$work/peer.port" &
peer=$!
trap 'kill $update_server $peer 2>/dev/null || true; wine_cleanup' EXIT
for _ in $(seq 300); do [ "$(wc -l 2>/dev/null <"$work/peer.port")" = 2 ] && break; sleep 0.1; done
peer_port=$(sed -n 1p "$work/peer.port") replies=$(sed -n 2p "$work/peer.port")

TESSARYN_UPDATE_SERVER=127.0.0.1:$peer_port start_frontend "$app" "$(windows_path "$(folder_for description.txt)/song.3g2")"
ask click "$main" 1016 >/dev/null && ask wait "description.txt 作成" >/dev/null || fail "the description form did not open"
ask click "description.txt 作成" 1 >/dev/null && ask gone "description.txt 作成" >/dev/null || fail "the form did not close"
head -c 6 "$(folder_for description.txt)/description.txt" 2>/dev/null | grep -q '^title,' \
    || fail "description.txt was not written at 259 bytes"
ask drop "$main" "$(windows_path "$(folder_for config.txt)/song.3g2")" >/dev/null || fail "the drop was not delivered"
ask click "$main" 1017 >/dev/null && ask wait "config.txt 作成" >/dev/null || fail "the config form did not open"
ask click "config.txt 作成" 1 >/dev/null && ask gone "config.txt 作成" >/dev/null || fail "the form did not close"
head -c 8 "$(folder_for config.txt)/config.txt" 2>/dev/null | grep -q '^KDDIMU01' || fail "config.txt was not written at 259 bytes"

# ---- The update check: split replies, then the peer's port closed ----
ask click "$main" 1000 >/dev/null && ask wait "$about" >/dev/null || fail "the About box did not open"
for reply in $(seq "${replies:-0}"); do
    ask click "$about" 1032 >/dev/null
    expect "reply $reply of split_reply_peer.py" $'Tessaryn 20060301 が公開されています\nFrontend 20051018 が公開されています' \
        -t 30 msgbox "最新版 公開情報"
done
wait "$peer" || fail "the split-reply peer ended with an error"
ask click "$about" 1032 >/dev/null
expect "a closed port, within 2 s" "通信エラー #1" -t 2 msgbox "更新チェック"
ask click "$about" 1 >/dev/null && ask gone "$about" >/dev/null || fail "the About box did not close"
close_frontend
