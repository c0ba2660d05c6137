#!/bin/sh
# The download as a user gets it: dist_test.sh ZIP DIST_TESTS.EXE [ARGUMENTS...]
# Unpacks the zip into an empty folder, checks what it holds and which DLLs its programs
# import, then runs the Windows test program that starts them from there under Wine, on
# a virtual display.
set -eu
zip=$1
shift
here=$(cd "$(dirname "$0")/.." && pwd)

fail() {
    echo "dist_test: $*" >&2
    exit 1
}

[ -f "$zip" ] || fail "$zip is missing; make dist writes it"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
folder=$work/download
mkdir "$folder"
unzip -q "$zip" -d "$folder"

files=$(cd "$folder" && LC_ALL=C ls -A | tr '\n' ' ')
[ "$files" = "LIESMICH.txt PreviewExtractor.exe README.txt tedchunk.exe " ] ||
    fail "the zip holds: $files"

# The DLLs of every Windows installation; the C++ and threading runtimes of mingw-w64 are
# linked in, not imported.
present="advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll
  ole32.dll oleaut32.dll shell32.dll shlwapi.dll user32.dll"
for program in PreviewExtractor.exe tedchunk.exe; do
    imports=$(x86_64-w64-mingw32-objdump -p "$folder/$program" | sed -n 's/^[[:space:]]*DLL Name: //p')
    [ -n "$imports" ] || fail "$program: no imports found"
    for dll in $imports; do
        lower=$(printf '%s' "$dll" | tr '[:upper:]' '[:lower:]')
        # shellcheck disable=SC2086 # one name a line
        printf '%s\n' $present | grep -q -x -F "$lower" ||
            fail "$program imports $dll, which a bare Windows lacks"
    done
    # No trace of the machine that built it.
    if grep -q -a -F "$here" "$folder/$program"; then
        fail "$program contains the build path $here"
    fi
done

# Wine sees the root folder as drive Z:.
DOWNLOAD_FOLDER="Z:$(printf '%s/' "$folder" | tr / '\\')"
PREVIEW_EXTRACTOR="${DOWNLOAD_FOLDER}PreviewExtractor.exe"
export DOWNLOAD_FOLDER PREVIEW_EXTRACTOR
"$here/scripts/gui-test" "$@"
