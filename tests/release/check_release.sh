#!/usr/bin/env bash
# Checks the release archives of `cmake --workflow --preset release`: what each
# holds, byte for byte where the sources give the bytes; what the Windows
# programs import and that the packer's banner is in tessaryn.exe once; that the
# Linux packer runs and its manual page renders without warnings. Given a
# second release build of the same commit, also that both made the same bytes.
#   check_release.sh SOURCE_DIR RELEASE_BUILD [SECOND_RELEASE_BUILD]
set -euo pipefail

source_dir=$1 first=$2 second=${3:-}
version=$(sed -n 's/^set(TESSARYN_PACKER_DATE \([0-9]*\))$/\1/p' "$source_dir/CMakeLists.txt")
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

listing() {  # ARCHIVE: "mode name" per entry, as the archive stores them
    case $1 in
        *.zip) unzip -Z "$1" | awk 'NR > 1 && $1 ~ /^[-d]/ { print $1, $NF }' ;;
        *.tar.gz) tar -tvzf "$1" | awk '{ print $1, $2, $6 }' ;;
    esac
}
expect_listing() {  # ARCHIVE EXPECTED
    local got
    got=$(listing "$1")
    [ "$got" = "$2" ] || fail "$(basename "$1") holds:"$'\n'"$got"$'\n'"expected:"$'\n'"$2"
}

# ---- The Windows archives ----
for arch in win32 win64; do
    archive=$first/packages/tessaryn-$version-$arch.zip top=tessaryn-$version-$arch
    [ -f "$archive" ] || { fail "no $archive"; continue; }
    expect_listing "$archive" "drwxr-xr-x $top/
-rw-r--r-- $top/LICENSE
-rw-r--r-- $top/README.md
-rwxr-xr-x $top/frontend.exe
-rwxr-xr-x $top/tessaryn.exe
-rw-r--r-- $top/tessaryn.ini.sample"
    unzip -q -d "$work" "$archive"
    for file in LICENSE README.md tessaryn.ini.sample; do
        cmp -s "$source_dir/$file" "$work/$top/$file" || fail "$top/$file differs from the source"
    done
    case $arch in win32) objdump=i686-w64-mingw32-objdump format=pei-i386 ;; *) objdump=x86_64-w64-mingw32-objdump format=pei-x86-64 ;; esac
    for exe in frontend tessaryn; do
        "$objdump" -f "$work/$top/$exe.exe" | grep -q "file format $format" || fail "$top/$exe.exe is not $format"
        imports=$("$objdump" -p "$work/$top/$exe.exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u | xargs)
        case $exe in
            frontend) wanted="comdlg32.dll kernel32.dll msvcrt.dll shell32.dll user32.dll version.dll ws2_32.dll" ;;
            tessaryn) wanted="kernel32.dll msvcrt.dll" ;;
        esac
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
drwxr-xr-x 0/0 $top/share/
drwxr-xr-x 0/0 $top/share/doc/
drwxr-xr-x 0/0 $top/share/doc/Tessaryn/
drwxr-xr-x 0/0 $top/share/man/
drwxr-xr-x 0/0 $top/share/man/man1/
-rwxr-xr-x 0/0 $top/bin/tessaryn
-rw-r--r-- 0/0 $top/share/doc/Tessaryn/LICENSE
-rw-r--r-- 0/0 $top/share/doc/Tessaryn/README.md
-rw-r--r-- 0/0 $top/share/doc/Tessaryn/tessaryn.ini.sample
-rw-r--r-- 0/0 $top/share/man/man1/tessaryn.1"
    tar -xzf "$archive" -C "$work"
    for file in LICENSE README.md tessaryn.ini.sample; do
        cmp -s "$source_dir/$file" "$work/$top/share/doc/Tessaryn/$file" || fail "$top's $file differs from the source"
    done
    cmp -s "$source_dir/man/tessaryn.1" "$work/$top/share/man/man1/tessaryn.1" || fail "$top's manual page differs"
    [ "$("$work/$top/bin/tessaryn" --version </dev/null)" = "Tessaryn ($version)" ] || fail "$top/bin/tessaryn --version"
    file "$work/$top/bin/tessaryn" | grep -q "x86-64.*stripped" || fail "$top/bin/tessaryn is not a stripped x86-64 program"
    warnings=$(MANWIDTH=80 man -l "$work/$top/share/man/man1/tessaryn.1" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man warns: $warnings"
else
    fail "no $archive"
fi

# ---- Two builds, the same bytes ----
if [ -n "$second" ]; then
    for archive in "$first"/packages/tessaryn-*.zip "$first"/packages/tessaryn-*.tar.gz; do
        cmp "$archive" "$second/packages/$(basename "$archive")" || fail "$(basename "$archive") differs between two builds"
    done
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "the release archives are as they should be"
