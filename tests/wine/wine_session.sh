# Sourced by the Wine checks. Wine's 64-bit loader is called directly: this
# kernel can't run the 32-bit one. A check that can't run here (no Wine, Xvfb,
# locale or build) is skipped (exit 77), but fails under CI=true.
wine_loader=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
wine_skip() {  # WHY: the check can't run here
    [ "${CI:-}" != true ] || { echo "FAIL: $1; CI must run this check"; exit 1; }
    echo "skipped: $1"
    exit 77
}
windows_path() { printf 'Z:%s' "$(printf '%s' "$1" | tr '/' '\\')"; }
wine() { timeout 120 "$wine_loader" "$@"; }  # no call may hang a check

# wine_require FILE...: Wine and the given builds must be there.
wine_require() {
    local file
    for file in "$@"; do [ -f "$file" ] || wine_skip "missing $file: build the win64 preset first"; done
    [ -x "$wine_loader" ] || wine_skip "Wine (wine64) is not installed"
}

wine_japanese_locale() {
    locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$' || localedef -i ja_JP -f UTF-8 ja_JP.UTF-8 2>/dev/null \
        || wine_skip "no ja_JP.UTF-8 locale (run as root to make it)"
}

# wine_session WORK_DIR [display [PREFIX]]: the prefix (made on first use, in
# WORK_DIR unless given) and the environment, with an Xvfb on a free display
# when asked; sets `work` to the absolute folder, which Wine wants.
wine_session() {
    work=$(realpath -m "$1")
    export WINEPREFIX=${3:-$work/wineprefix} WINEDEBUG=-all WINELOADER=$wine_loader WINEDLLOVERRIDES="mscoree,mshtml="
    mkdir -p "$work" "$WINEPREFIX"
    trap wine_cleanup EXIT
    [ "${2:-}" = display ] && wine_display
    [ -f "$WINEPREFIX/system.reg" ] || wine wineboot -i >/dev/null 2>&1 || true
}

wine_display() {
    command -v Xvfb >/dev/null || wine_skip "Xvfb is not installed"
    rm -f "$work/display"
    # Xvfb picks a free display itself and writes its number once it is ready.
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
    xvfb=$!
    for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
    [ -s "$work/display" ] || { echo "Xvfb did not start"; exit 1; }
    export DISPLAY=:$(cat "$work/display")
}

wine_cleanup() {
    "$wineserver" -k >/dev/null 2>&1 || true
    [ -z "${xvfb:-}" ] || { kill "$xvfb" && wait "$xvfb"; } 2>/dev/null || true
}

wine_finish() {  # WHAT: the summary line and the exit status of the check
    [ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
    echo "$1"
}

# wine_desktop: Wine's virtual desktop, which draws title bars on a bare X
# display, for the programs started from now on.
wine_desktop() {
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
    timeout 60 "$wineserver" -w || true
}

# example_song FOLDER [NAME]: the example song (as NAME.3g2) and its four side
# files, from $examples, in FOLDER.
example_song() {
    mkdir -p "$1"
    cp "$examples/song.3g2" "$1/${2:-song}.3g2"
    cp "$examples"/config.txt "$examples"/description.txt "$examples"/jacket.jpg "$examples"/wallpaper.jpg "$1/"
}

# ---- Driving a dialog program with tests/tools/dialog_driver (in $driver); texts are UTF-8

ask() { wine "$driver" "$@" 2>&1; }

# expect WHAT EXPECTED COMMAND...: the driver's answer. A read (text, check,
# enabled) is asked again for up to 15 s (a loaded machine) while the program
# catches up with a drop or a click, unless the control is not there.
expect() {
    local what=$1 expected=$2 answer until=$SECONDS
    shift 2
    case $1 in text | check | enabled) until=$((SECONDS + 15)) ;; esac
    answer=$(ask "$@") || true
    while [ "$answer" != "$expected" ] && [[ $answer != dialog_driver:* ]] && [ "$SECONDS" -lt "$until" ]; do
        sleep 0.25
        answer=$(ask "$@") || true
    done
    [ "$answer" = "$expected" ] || fail "$what: '$answer', expected '$expected'"
}

click() { ask click "$1" "$2" >/dev/null || fail "cannot click $2 in $1"; }
# fill TITLE ID=TEXT...: types each TEXT into its control.
fill() {
    local title=$1 field
    for field in "${@:2}"; do
        ask type "$title" "${field%%=*}" "${field#*=}" >/dev/null \
            || fail "cannot type ${field#*=} into ${field%%=*} in $title"
    done
}
# click_until WINDOW ID QUESTION...: clicks ID in WINDOW until the driver's answer
# to QUESTION is yes, twice at most: on a loaded machine Wine has been seen to
# drop a posted click that arrived while the window was busy.
click_until() {
    local window=$1 id=$2 attempt
    shift 2
    for attempt in 1 2; do
        ask click "$window" "$id" >/dev/null && ask "$@" >/dev/null && return 0
    done
    return 1
}
# opened_by TITLE ID: clicks ID in $main and waits for the window TITLE.
opened_by() { click_until "$main" "$2" wait "$1" || fail "$1 did not open"; }
# close TITLE [ID]: clicks ID (default 1, OK) and waits until the window is gone.
close() { click_until "$1" "${2:-1}" gone "$1" || fail "$1 did not close"; }

# screenshot TITLE FILE: the window as $work/FILE (when xwd and convert are here).
screenshot() {
    command -v xwd >/dev/null && command -v convert >/dev/null || return 0
    sleep 1  # let the window paint
    xwd -silent -id "$(ask xid "$1")" | convert xwd:- "$work/$2" || fail "no screenshot of $1"
    echo "screenshot: $work/$2"
}
