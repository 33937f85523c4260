# Sourced by frontend_under_wine.sh: the frontend at its limits. Each form
# writes a side file whose path is 259 bytes, one short of Windows' limit; a
# reply split into two sends reads as it does whole, for both layouts; a closed
# port gives 通信エラー #1 at once, not after a time-out.

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

# Each form confirmed for a song in its folder (the first given on the command line, the second dropped).
TESSARYN_UPDATE_SERVER=127.0.0.1:$peer_port start_frontend "$app" "$(windows_path "$(folder_for description.txt)/song.3g2")"
for form in "description.txt 1016 title," "config.txt 1017 KDDIMU01"; do
    read -r side button start <<<"$form"
    [ "$side" = description.txt ] || ask drop "$main" "$(windows_path "$(folder_for $side)/song.3g2")" >/dev/null
    ask click "$main" "$button" >/dev/null && ask wait "$side 作成" >/dev/null || fail "the $side form did not open"
    ask click "$side 作成" 1 >/dev/null && ask gone "$side 作成" >/dev/null || fail "the $side form did not close"
    head -c ${#start} "$(folder_for $side)/$side" 2>/dev/null | grep -qx "$start" || fail "$side was not written at 259 bytes"
done

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
