#!/bin/sh
# Every option a program's --help names is described in its manual page, and
# every page says how the program exits.
# usage: manpages.sh MAN_SOURCE_DIR PROGRAM...
set -u
pages=$1
shift
status=0
for program in "$@"; do
    name=$(basename "$program")
    page="$pages/$name.1.scd"
    grep -q '^# EXIT STATUS' "$page" || { echo "$page: no EXIT STATUS section" >&2; status=1; }
    for option in $("$program" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
        grep -q -- "\*$option\*" "$page" || { echo "$page: $option is not described" >&2; status=1; }
    done
done
exit $status
