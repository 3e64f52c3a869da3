#!/usr/bin/env bash
# The adapter's udev rule passes scripts/check-udev-rule, and the check fails
# when a line is spoiled or one of the adapter settings is missing.
#   test_udev_rule.sh SOURCE_DIR
set -uo pipefail
src=${1:?usage: test_udev_rule.sh SOURCE_DIR}
check=$src/scripts/check-udev-rule
rule=$src/packaging/70-orvo-adapter.rules
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0

"$check" "$rule" || failed=1

# name|sed expression that spoils the rule
while IFS='|' read -r name spoil; do
    sed -e "$spoil" "$rule" >"$work/spoiled.rules"
    if cmp -s "$rule" "$work/spoiled.rules"; then
        echo "FAIL: \"$name\" left the rule unchanged" >&2
        failed=1
    elif "$check" "$work/spoiled.rules" 2>/dev/null; then
        echo "FAIL: the check passed a rule with $name" >&2
        failed=1
    fi
done <<'CASES'
ModemManager not kept away|s/, ENV{ID_MM_DEVICE_IGNORE}="1"//
ModemManager ignore tested, not set|s/ENV{ID_MM_DEVICE_IGNORE}="1"/ENV{ID_MM_DEVICE_IGNORE}=="1"/
latency timer left at 16 ms|s/ATTR{latency_timer}="1"/ATTR{latency_timer}="16"/
latency timer on the wrong device|s/SUBSYSTEM=="usb-serial"/SUBSYSTEM=="tty"/
no stable name|s/, SYMLINK+="orvo-$attr{serial}"//
an unclosed quote|s/TAG+="uaccess"/TAG+="uaccess/
a missing comma|s/", TAG/" TAG/
CASES

[ "$failed" = 0 ] && echo "udev rule checks passed"
exit "$failed"
