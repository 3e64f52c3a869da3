#!/usr/bin/env bash
# The command-line programs load neither Qt Widgets, Qt Gui nor Qt Charts, so that they
# run on a machine without the desktop libraries.
#   test_no_widgets.sh PROGRAM...
set -uo pipefail
failed=0
for program in "$@"; do
    if ! libs=$(ldd "$program"); then
        echo "FAIL: ldd $program" >&2
        failed=1
        continue
    fi
    # Qt Core is there: the list is one ldd could make.
    grep -q 'libQt6Core' <<<"$libs" || { echo "FAIL: $program shows no Qt Core" >&2; failed=1; }
    if grep -E 'libQt6(Widgets|Gui|Charts)' <<<"$libs"; then
        echo "FAIL: $program loads the libraries above" >&2
        failed=1
    fi
done
[ "$failed" = 0 ] && echo "$* load no Qt Widgets, Gui or Charts"
exit "$failed"
