#!/usr/bin/env bash
# Checks the archives of `cmake --workflow --preset release`: what each holds,
# byte for byte where the sources give the bytes; what the Windows programs
# import; that the Linux programs run. Given a second release build of the
# same commit, also that both made the same bytes.
#   check_release.sh SOURCE_DIR RELEASE_BUILD [SECOND_RELEASE_BUILD]
set -euo pipefail

source_dir=$1 first=$2 second=${3:-}
version=$(sed -n 's/^set(TESSARYN_PACKER_DATE \([0-9]*\))$/\1/p' "$source_dir/CMakeLists.txt")
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

expect_listing() {  # ARCHIVE EXPECTED: "mode name" per entry, as the archive stores them
    local got
    case $1 in
        *.zip) got=$(unzip -Z "$1" | awk 'NR > 1 && $1 ~ /^[-d]/ { print $1, $NF }') ;;
        *.tar.gz) got=$(tar -tvzf "$1" | awk '{ print $1, $2, $6 }') ;;
    esac
    [ "$got" = "$2" ] || fail "$(basename "$1") holds:"$'\n'"$got"$'\n'"expected:"$'\n'"$2"
}

pictures() {  # PREFIX: a listing's lines for docs/ and the README's pictures in it
    echo "drwxr-xr-x $1docs/"
    (cd "$source_dir/docs" && ls -- *.png) | LC_ALL=C sort | sed "s|^|-rw-r--r-- $1docs/|"
}
expect_docs() {  # FOLDER: the documents as in the source, and every picture README.md shows beside it
    local file picture
    for file in LICENSE README.md tessaryn.ini.sample $(cd "$source_dir" && echo docs/*.png); do
        cmp -s "$source_dir/$file" "$1/$file" || fail "${1#"$work"/}/$file differs from the source"
    done
    for picture in $(grep -o '!\[[^]]*\]([^)]*)' "$1/README.md" | sed 's/.*(\(.*\))/\1/'); do
        [ -f "$1/$picture" ] || fail "${1#"$work"/}/README.md shows $picture, which its archive lacks"
    done
}

# ---- readme.txt's source tells of the dialogs' button and check box captions, the main ----
# window's labels (frontend.rc) and its statuses and messages: each run of Japanese text.
readme=$source_dir/docs/readme.ja.txt
iconv -f UTF-8 -t UTF-8 "$readme" >/dev/null || fail "docs/readme.ja.txt is not UTF-8"
{
    awk '/^IDD_[A-Z_]+ DIALOGEX/ { dialog = $1 } /^END$/ { dialog = "" }
         dialog && ($1 ~ /PUSHBUTTON$|^CONTROL$/ || (dialog == "IDD_FRONTEND_DIALOG" && /IDC_STATIC/))' \
        "$source_dir/frontend/resources/frontend.rc"
    (cd "$source_dir/frontend" && grep -hv '^\s*//' survey.cpp editors/text_editor.cpp packer_launch.cpp frontend_dlg.cpp)
} | grep -o '"[^"]*"' | sed -e 's/"//g' -e 's/\\n/\n/g' -e 's/%[0-9]*l\?[a-z]/\n/g' | sed 's/^ *//; s/ *$//' \
  | LC_ALL=C grep '[^ -~]' | sort -u >"$work/frontend-texts"
[ -s "$work/frontend-texts" ] || fail "no texts found in the frontend's sources"
while IFS= read -r text; do
    grep -qF -- "$text" "$readme" || fail "docs/readme.ja.txt does not tell of $text"
done <"$work/frontend-texts"

# ---- The Windows archives ----
for arch in win32 win64; do
    archive=$first/packages/tessaryn-$version-$arch.zip top=tessaryn-$version-$arch
    [ -f "$archive" ] || { fail "no $archive"; continue; }
    expect_listing "$archive" "drwxr-xr-x $top/
$(pictures "$top/" | sed -n 1p)
-rw-r--r-- $top/LICENSE
-rw-r--r-- $top/README.md
$(pictures "$top/" | sed 1d)
-rwxr-xr-x $top/frontend.exe
-rw-r--r-- $top/readme.txt
-rwxr-xr-x $top/tessaryn.exe
-rw-r--r-- $top/tessaryn.ini.sample"
    unzip -q -d "$work" "$archive"
    expect_docs "$work/$top"
    sed 's/$/\r/' "$readme" | iconv -f UTF-8 -t CP932 | cmp -s - "$work/$top/readme.txt" \
        || fail "$top/readme.txt is not docs/readme.ja.txt in code page 932 with CR LF"
    case $arch in win32) objdump=i686-w64-mingw32-objdump format=pei-i386 ;; *) objdump=x86_64-w64-mingw32-objdump format=pei-x86-64 ;; esac
    for program in "frontend comdlg32.dll kernel32.dll msvcrt.dll shell32.dll user32.dll version.dll ws2_32.dll" \
        "tessaryn kernel32.dll msvcrt.dll"; do
        read -r exe wanted <<<"$program"
        "$objdump" -f "$work/$top/$exe.exe" | grep -q "file format $format" || fail "$top/$exe.exe is not $format"
        imports=$("$objdump" -p "$work/$top/$exe.exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u | xargs)
        [ "$imports" = "$wanted" ] || fail "$top/$exe.exe imports $imports; expected $wanted"
    done
    banners=$(grep -o -a -F "Tessaryn ($version)" "$work/$top/tessaryn.exe" | wc -l)
    [ "$banners" -eq 1 ] || fail "$top/tessaryn.exe holds the banner $banners times"
done

# ---- The Linux archive ----
archive=$first/packages/tessaryn-$version-linux-x86_64.tar.gz top=tessaryn-$version-linux-x86_64
if [ -f "$archive" ]; then
    expect_listing "$archive" "drwxr-xr-x 0/0 $top/
drwxr-xr-x 0/0 $top/bin/
drwxr-xr-x 0/0 $top/libexec/
drwxr-xr-x 0/0 $top/libexec/tessaryn/
drwxr-xr-x 0/0 $top/share/
drwxr-xr-x 0/0 $top/share/doc/
drwxr-xr-x 0/0 $top/share/doc/Tessaryn/
$(pictures "0/0 $top/share/doc/Tessaryn/" | sed -n 1p)
drwxr-xr-x 0/0 $top/share/man/
drwxr-xr-x 0/0 $top/share/man/man1/
-rwxr-xr-x 0/0 $top/bin/tessaryn
-rwxr-xr-x 0/0 $top/bin/tessaryn-frontend
-rwxr-xr-x 0/0 $top/libexec/tessaryn/frontend.exe
-rwxr-xr-x 0/0 $top/libexec/tessaryn/tessaryn.exe
-rw-r--r-- 0/0 $top/readme.txt
-rw-r--r-- 0/0 $top/share/doc/Tessaryn/LICENSE
-rw-r--r-- 0/0 $top/share/doc/Tessaryn/README.md
$(pictures "0/0 $top/share/doc/Tessaryn/" | sed 1d)
-rw-r--r-- 0/0 $top/share/doc/Tessaryn/tessaryn.ini.sample
-rw-r--r-- 0/0 $top/share/man/man1/tessaryn.1"
    tar -xzf "$archive" -C "$work"
    expect_docs "$work/$top/share/doc/Tessaryn"
    for file in man/tessaryn.1:share/man/man1/tessaryn.1 tools/tessaryn-frontend.sh:bin/tessaryn-frontend \
        docs/readme.ja.txt:readme.txt; do
        cmp -s "$source_dir/${file%%:*}" "$work/$top/${file#*:}" || fail "$top/${file#*:} differs from ${file%%:*}"
    done
    [ "$("$work/$top/bin/tessaryn" --version </dev/null)" = "Tessaryn ($version)" ] || fail "$top/bin/tessaryn --version"
    file "$work/$top/bin/tessaryn" | grep -q "x86-64.*stripped" || fail "$top/bin/tessaryn is not a stripped x86-64 program"
    bash "$source_dir/tests/wine/release_frontend_under_wine.sh" "$archive" \
        "$source_dir/build/win64/tests/tools/dialog_driver/dialog_driver.exe" "$source_dir/examples" "$first/frontend-wine" \
        || case $? in 77) echo "skipped: bin/tessaryn-frontend under Wine" ;; *) fail "bin/tessaryn-frontend under Wine" ;; esac
else
    fail "no $archive"
fi

# ---- Two builds, the same bytes ----
if [ -n "$second" ]; then
    for archive in "$first"/packages/tessaryn-*.zip "$first"/packages/tessaryn-*.tar.gz; do
        cmp "$archive" "$second/packages/$(basename "$archive")" || fail "$(basename "$archive") differs between two builds"
    done
fi

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "the release archives are as they should be"
