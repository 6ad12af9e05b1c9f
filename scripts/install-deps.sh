#!/bin/sh
# Installs the Debian 12 packages the project needs, when any is missing.
#   install-deps.sh          what building and running the programs needs
#   install-deps.sh test     also what the tests need (reference tools)
#   install-deps.sh ci       also what CI needs (clang for the fuzz targets,
#                            clang-format for the format check, lintian,
#                            the validators, gio and hardening-check
#                            (devscripts) and gdb for the package check)
set -eu

packages="cmake ninja-build g++ pkg-config qt6-base-dev qt6-serialport-dev qt6-svg-dev qt6-tools-dev qt6-l10n-tools libssl-dev libdbus-1-dev libbenchmark-dev scdoc"
# Reference tools, a real assembler (gputils), a real X server with a window
# manager and xdotool to drive it (xauth for xvfb-run: xvfb only recommends
# it), another X program to switch to and xprop (x11-utils), the bus for the
# label server, PDF text, a JSON Schema validator for the reports, strace, a
# browser for the rollout page, Ansible for rollouts over several sites, the
# three shells whose completions are tested, Qt's own translations for the
# window's German run.
test_packages="bash-completion zsh fish srecord python3-intelhex gputils xvfb xauth openbox xdotool x11-utils fonts-dejavu-core dbus poppler-utils python3-jsonschema strace chromium ansible-core qt6-translations-l10n"
case "${1:-}" in
    "") ;;
    test) packages="$packages $test_packages" ;;
    ci) packages="$packages $test_packages clang libclang-rt-14-dev clang-format lintian desktop-file-utils appstream libglib2.0-bin shared-mime-info devscripts gdb" ;;
    *) echo "usage: $0 [test|ci]" >&2; exit 1 ;;
esac

missing=""
for package in $packages; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $package"
    fi
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
if [ "$(id -u)" -eq 0 ]; then
    sudo=""
else
    sudo="sudo"
fi
$sudo apt-get update
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends $missing
