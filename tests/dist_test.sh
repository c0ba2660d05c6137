#!/bin/sh
# dist_test.sh ZIP TESTS.EXE [ARGUMENTS...]: unpacks the download alone, checks its files,
# imports, build paths and guides, then runs the test program that starts its programs.
set -eu
zip=$1 && shift
here=$(cd "$(dirname "$0")/.." && pwd)

fail() { echo "dist_test: $*" >&2; exit 1; }

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
unzip -q "$zip" -d "$folder" || fail "$zip: make dist writes it"

files=$(cd "$folder" && LC_ALL=C ls -A | tr '\n' ' ')
[ "$files" = "LIESMICH.txt PreviewExtractor.exe README.txt tedchunk.exe " ] ||
    fail "the zip holds: $files"

# The DLLs of every Windows; mingw-w64's C++ and threading runtimes are linked in.
present="advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll
  oleaut32.dll shell32.dll shlwapi.dll user32.dll"
for program in PreviewExtractor.exe tedchunk.exe; do
    imports=$(x86_64-w64-mingw32-objdump -p "$folder/$program" |
        sed -n 's/^[[:space:]]*DLL Name: //p' | tr '[:upper:]' '[:lower:]')
    [ -n "$imports" ] || fail "$program: no imports found"
    # shellcheck disable=SC2086 # one name a line
    lacking=$(echo "$imports" | grep -v -x -F "$(printf '%s\n' $present)" || true)
    [ -z "$lacking" ] || fail "$program imports $lacking, which a bare Windows lacks"
    ! grep -q -a -F "$here" "$folder/$program" || fail "$program contains the build path $here"
done

# The guides as Notepad shows them: CRLF, the German one UTF-8 with a BOM, the English ASCII.
! grep -q -v "$(printf '\r')\$" "$folder/README.txt" "$folder/LIESMICH.txt" || fail "a bare LF"
[ "$(head -c 3 "$folder/LIESMICH.txt")" = "$(printf '\357\273\277')" ] || fail "no BOM"
! LC_ALL=C grep -q '[^[:print:][:space:]]' "$folder/README.txt" || fail "README.txt is not ASCII"

# Wine sees the root folder as drive Z:.
export DOWNLOAD_FOLDER="Z:$folder/" PREVIEW_EXTRACTOR="Z:$folder/PreviewExtractor.exe"
"$here/scripts/gui-test" "$@"
