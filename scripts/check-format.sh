#!/bin/sh
# Fails when a C++ file of the project differs from what clang-format makes
# of it (.clang-format). Fix with: scripts/check-format.sh --fix
set -eu
cd "$(dirname "$0")/.."
files=$(find src tools tests bench \( -name '*.cpp' -o -name '*.h' \) -not -path 'tests/fuzz/seeds/*' | sort)
if [ "${1:-}" = "--fix" ]; then
    # shellcheck disable=SC2086
    clang-format -i $files
    exit 0
fi
# shellcheck disable=SC2086
clang-format --dry-run --Werror $files
