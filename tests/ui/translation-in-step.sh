#!/usr/bin/env bash
# The window's translations are in step with its sources: lupdate, run as the build's update
# target (mervane_ui_lupdate) runs it but into a copy of each .ts file, finds no text without a
# translation and none that the sources lost. A text added to the window without its translation
# fails here, naming the text.
#
#   translation-in-step.sh LUPDATE PROJECT.cmake GenerateLUpdateProject.cmake TS...
#                                           exit 0 in step, 1 not
set -euo pipefail
lupdate=$1
project=$2
generate=$3
shift 3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# The sources and include paths the build knows, as lupdate reads them.
cmake -DIN_FILE="$project" -DOUT_FILE="$scratch/project.json" -P "$generate"
status=0
for ts in "$@"; do
    copy="$scratch/$(basename "$ts")"
    cp "$ts" "$copy"
    "$lupdate" -silent -locations none -project "$scratch/project.json" -ts "$copy"
    if grep -q 'type="\(unfinished\|vanished\|obsolete\)"' "$copy"; then
        echo "FAIL: $(basename "$ts") is not in step with the sources (update it with" \
            "'cmake --build --preset default --target mervane_ui_lupdate' and translate):" >&2
        grep -B2 'type="\(unfinished\|vanished\|obsolete\)"' "$copy" | grep '<source>' >&2
        status=1
    fi
done
exit "$status"
