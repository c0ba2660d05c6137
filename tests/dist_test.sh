#!/bin/sh
# dist_test.sh ZIP TESTS.EXE [ARGUMENTS...]: checks the unpacked download, then runs its programs.
set -eu
zip=$1 && shift
version=${zip##*-extractor-} && version=${version%-win64.zip}
here=$(cd "$(dirname "$0")/.." && pwd)

fail() { echo "dist_test: $*" >&2; exit 1; }

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
unzip -q "$zip" -d "$folder" || fail "$zip: make dist writes it"

files=$(LC_ALL=C ls -A "$folder" | tr '\n' ' ')
[ "$files" = "LIESMICH.txt PreviewExtractor.exe README.txt tedchunk.exe " ] || fail "holds $files"

# The DLLs of every Windows; mingw-w64's C++ and threading runtimes are linked in.
present=$(printf '%s.dll\n' advapi32 comctl32 comdlg32 gdi32 kernel32 msvcrt ole32 oleaut32 \
    shell32 shlwapi user32)
for program in PreviewExtractor.exe tedchunk.exe; do
    imports=$(x86_64-w64-mingw32-objdump -p "$folder/$program" |
        sed -n 's/^[[:space:]]*DLL Name: //p' | tr '[:upper:]' '[:lower:]')
    ! echo "$imports" | grep -v -x -F "$present" || fail "$program imports these; Windows lacks them"
    ! grep -q -a -F "$here" "$folder/$program" || fail "$program contains the build path $here"
    # What Explorer's properties show: the icon, and the version the zip is named after.
    info=$(x86_64-w64-mingw32-windres -i "$folder/$program" -O rc)
    echo "$info" | grep -q RT_GROUP_ICON || fail "$program has no icon"
    echo "$info" | grep -q -F "\"ProductVersion\", \"$version\"" || fail "$program: no version $version"
done

# The guides as Notepad shows them: CRLF, the German one UTF-8 with a BOM, the English ASCII.
! grep -q -v "$(printf '\r')\$" "$folder/README.txt" "$folder/LIESMICH.txt" || fail "a bare LF"
[ "$(head -c 3 "$folder/LIESMICH.txt")" = "$(printf '\357\273\277')" ] || fail "no BOM"
! LC_ALL=C grep -q '[^[:print:][:space:]]' "$folder/README.txt" || fail "README.txt is not ASCII"

# Wine sees the root folder as drive Z:.
export DOWNLOAD_FOLDER="Z:$folder/" PREVIEW_EXTRACTOR="Z:$folder/PreviewExtractor.exe"
"$here/scripts/gui-test" "$@"
