#!/bin/sh
# tessaryn-frontend: starts Tessaryn's frontend, a Windows program, under Wine.
# The Linux release archive installs this as bin/tessaryn-frontend, beside
# libexec/tessaryn/frontend.exe and the tessaryn.exe it starts.
#
#   tessaryn-frontend [SONG]
#
# The frontend runs in the Japanese locale (Wine takes the code page of its
# texts, 932, from it) in a Wine prefix of its own,
# ${XDG_DATA_HOME:-~/.local/share}/tessaryn/wine, whose fonts for ＭＳ Ｐゴシック
# and the like are set to an installed Japanese font. Arguments that name
# existing files or folders are passed as Wine paths (Z:\...), others as they
# are. When Wine, the locale, a Japanese font or a display is missing, it says
# what to install and ends with status 1.
set -eu

say() { printf 'tessaryn-frontend: %s\n' "$@" >&2; }
missing() { say "$@"; exit 1; }

app=$(dirname "$(readlink -f "$0")")/../libexec/tessaryn
[ -f "$app/frontend.exe" ] && [ -f "$app/tessaryn.exe" ] ||
    missing "$app に frontend.exe と tessaryn.exe がありません。アーカイブを展開し直してください。" \
        "frontend.exe and tessaryn.exe are missing from $app: unpack the archive again."

# Wine's 64-bit loader. Debian's is called directly: its `wine` picks the 32-bit
# loader whenever that is installed too.
loader=${WINE:-}
if [ -z "$loader" ]; then
    for candidate in /usr/lib/wine/wine64 /usr/lib64/wine/wine64; do
        [ -x "$candidate" ] && loader=$candidate && export WINELOADER=$candidate && break
    done
fi
[ -n "$loader" ] || loader=$(command -v wine64 || command -v wine || true)
[ -n "$loader" ] ||
    missing "Wine がありません。入れてください (Debian と Ubuntu: sudo apt install wine64)。" \
        "Wine is not installed. Install it (Debian and Ubuntu: sudo apt install wine64)."

locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\{0,1\}8$' ||
    missing "日本語ロケール ja_JP.UTF-8 がありません。作ってください: sudo localedef -i ja_JP -f UTF-8 ja_JP.UTF-8" \
        "(Debian: パッケージ locales が必要。Ubuntu: sudo locale-gen ja_JP.UTF-8)" \
        "The Japanese locale ja_JP.UTF-8 is missing. Make it: sudo localedef -i ja_JP -f UTF-8 ja_JP.UTF-8" \
        "(Debian: needs the package locales; Ubuntu: sudo locale-gen ja_JP.UTF-8)"

# The Japanese fonts the dialogs' fonts are replaced by: IPA's when installed,
# else the first Japanese font fontconfig knows. Without fontconfig's tools,
# IPA's by name.
japanese_font() {  # PREFERRED_FAMILY
    if ! command -v fc-list >/dev/null || fc-list "$1" family | grep -q .; then
        echo "$1"
    else
        fc-list :lang=ja family | sed -n '1s/,.*//p'
    fi
}
proportional=$(japanese_font IPAPGothic)
fixed=$(japanese_font IPAGothic)
[ -n "$proportional" ] && [ -n "$fixed" ] ||
    missing "日本語フォントがありません。入れてください (Debian と Ubuntu: sudo apt install fonts-ipafont-gothic)。" \
        "No Japanese font is installed. Install one (Debian and Ubuntu: sudo apt install fonts-ipafont-gothic)."

[ -n "${DISPLAY:-}" ] ||
    missing "画面がありません (DISPLAY が空です)。デスクトップの端末から起動してください。" \
        "No display (DISPLAY is empty): start it from a terminal of your desktop."

export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX="${XDG_DATA_HOME:-$HOME/.local/share}/tessaryn/wine"

# The font replacements, written into the prefix (which Wine makes on first
# use) once, and again when other fonts are chosen.
if [ "$(cat "$WINEPREFIX/tessaryn-fonts" 2>/dev/null)" != "$proportional,$fixed" ]; then
    say "Wine の環境を $WINEPREFIX に用意しています…" "Preparing the Wine prefix $WINEPREFIX..."
    mkdir -p "${WINEPREFIX%/*}"
    for pair in "ＭＳ Ｐゴシック=$proportional" "MS UI Gothic=$proportional" "ＭＳ ゴシック=$fixed"; do
        "$loader" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "${pair%%=*}" /d "${pair#*=}" /f >/dev/null 2>&1 ||
            missing "Wine の環境を $WINEPREFIX に用意できませんでした。" "Could not prepare the Wine prefix $WINEPREFIX."
    done
    # Marlett draws the check boxes and caption buttons; a loader called
    # directly does not find Wine's own copy.
    if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
        cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" || true
    fi
    printf '%s' "$proportional,$fixed" >"$WINEPREFIX/tessaryn-fonts"
fi

# Linux paths become Wine paths: / is drive Z: in every prefix Wine makes.
for argument do
    shift
    if [ -e "$argument" ]; then
        folder=$(cd "$(dirname -- "$argument")" && pwd)
        argument=Z:$(printf '%s/%s' "${folder%/}" "$(basename -- "$argument")" | tr / '\\')
    fi
    set -- "$@" "$argument"
done
exec "$loader" "$app/frontend.exe" "$@"
