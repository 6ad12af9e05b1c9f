#!/bin/sh
# A program's --help and -h: its usage on stdout, starting "usage: NAME",
# nothing on stderr, exit 0, at once (no session bus, no window, no server).
set -u
program=$1
name=$(basename "$program")
err=$(mktemp)
trap 'rm -f "$err"' EXIT
for option in --help -h; do
    out=$(timeout 20 "$program" "$option" 2>"$err")
    status=$?
    [ "$status" -eq 0 ] || { echo "$name $option: exit $status" >&2; exit 1; }
    [ ! -s "$err" ] || { echo "$name $option wrote to stderr:" >&2; cat "$err" >&2; exit 1; }
    case "$out" in
        "usage: $name "*) ;;
        *) echo "$name $option: no usage on stdout: $out" >&2; exit 1 ;;
    esac
    # Written for a terminal of 80 columns, not wrapped by a library.
    printf '%s\n' "$out" | awk 'length > 80 { print; bad = 1 } END { exit bad }' >&2 \
        || { echo "$name $option: lines over 80 columns" >&2; exit 1; }
done
