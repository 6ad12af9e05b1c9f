#!/bin/sh
# The bash completions answer a table of command lines as intended, and every
# shell's completion of a program knows each option and command its --help
# names; the zsh and fish files parse where those shells are installed.
# usage: completions.sh COMPLETIONS_DIR PROGRAM...
# shellcheck shell=bash disable=SC1090,SC2034,SC2154 # bash below; the table is read by eval
[ -n "${BASH_VERSION-}" ] || exec bash "$0" "$@"
set -u
export LC_ALL=C # one sort order for what is offered and what is expected
completions=$1
shift
framework=/usr/share/bash-completion/bash_completion
[ -r $framework ] || { echo "bash-completion not found: run scripts/install-deps.sh test" >&2; exit 1; }
. $framework
for script in "$completions"/bash/*; do . "$script"; done
status=0
fail() { echo "$*" >&2; status=1; }

# Firmware and other files to pick from; a settings file whose [ports]
# section has two usable names among keys the programs ignore, and one in
# ~/.config for when XDG_CONFIG_HOME is not set.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/files/folder" "$work/config" "$work/home/.config"
cd "$work/files" || exit 1
touch a.hex B.HEX c.ihx notes.txt readers.csv run.json page.html
printf '[settings]\r\ncomport=COM3\r\n[ Ports ]\r\n COM7 = /dev/ttyUSB3\r\n;COM8=/dev/x\r\ncom200=/dev/y\r\nCOM300=/dev/z\r\nLPT1=/dev/w\r\n[ports]\r\nCOM9=/dev/v\r\n' \
    >"$work/config/corvant-fwupdate.ini"
printf '[ports]\nCOM12=/dev/ttyACM0\n' >"$work/home/.config/corvant-fwupdate.ini"
export XDG_CONFIG_HOME=$work/config HOME=$work/home
devices=$(ls -d /dev/ttyS* /dev/ttyUSB* /dev/ttyACM* 2>/dev/null | sort)

# offered WORD...: what bash offers for the last word, sorted, on one line.
offered() {
    COMP_WORDS=("$@") COMP_CWORD=$(($# - 1)) COMP_LINE="$*" COMPREPLY=()
    COMP_POINT=${#COMP_LINE}
    local function
    function=$(complete -p "$1") function=${function#*-F } function=${function%% *}
    "$function" "$1" "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]}"
    printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd ' '
}

# words | what is offered
while IFS= read -r row; do
    eval "words=(${row%%|*}) want=(${row#*|})"
    got=$(offered "${words[@]}")
    [ "$got" = "${want[*]}" ] || fail "${words[*]}: offered '$got', expected '${want[*]}'"
done <<'EOF'
corvant-flash --jo                         | --jobs
corvant-flash --search                     | --search-timeout
corvant-flash -p C                         | COM7
corvant-flash --port=c                     | com200
corvant-flash -p L                         |
corvant-flash -p /dev/tty                  | $devices
corvant-flash ''                           | B.HEX a.hex c.ihx folder report
corvant-flash -p COM7 ''                   | B.HEX a.hex c.ihx folder
corvant-flash --readers ''                 | folder readers.csv
corvant-flash --rerun=''                   | folder run.json
corvant-flash --report ''                  | - folder run.json
corvant-flash --html ''                    | folder page.html
corvant-flash --relay ''                   |
corvant-flash report ''                    | folder run.json
corvant-flash report run.json --           | --html --merge
corvant-flash report run.json --html ''    | folder page.html
corvant-hextool ''                         | --help --version -h decrypt encrypt info patch
corvant-hextool info --                    | --json
corvant-hextool encrypt a.hex ''           | B.HEX a.hex c.ihx folder
corvant-hextool encrypt a.hex b.hex ''     |
corvant-hextool patch a.hex --fa           | --facility
corvant-hextool patch a.hex --relay=''     |
corvant-reader-sim --baud 96               | 9600
corvant-reader-sim --baud=11               | 115200
corvant-reader-sim --dump ''               | B.HEX a.hex folder
corvant-reader-sim --s                     | --silent --split --stray-byte
EOF
got=$(XDG_CONFIG_HOME='' offered corvant-flash -p C)
[ "$got" = COM12 ] || fail "without XDG_CONFIG_HOME: offered '$got', expected COM12 of ~/.config"
# fish's copy of the [ports] reading.
! command -v fish >/dev/null ||
    [ "$(fish -c "source $completions/fish/corvant-flash.fish; complete -C 'corvant-flash -p C'" | cut -f1)" = COM7 ] ||
    fail "fish/corvant-flash.fish: -p C does not offer COM7 alone"

for shell in zsh fish; do
    command -v $shell >/dev/null || echo "$shell not installed: its completions are not checked"
done
for script in "$completions"/zsh/_*; do
    ! command -v zsh >/dev/null || zsh -n "$script" || fail "$script does not parse"
done
for script in "$completions"/fish/*.fish; do
    ! command -v fish >/dev/null || fish --no-execute "$script" || fail "$script does not parse"
done

# Each option and command of --help: offered by bash and fish after "-" (at
# the start and after each command), and named in the zsh file.
for program in "$@"; do
    name=${program##*/}
    help=$("$program" --help) || fail "$name --help failed"
    commands=$(sed -n "s/^.*$name \([a-z][a-z-]*\) .*/\1/p" <<<"$help")
    bash=" $(offered "$name" '') " fish=" "
    for command in '' $commands; do
        bash+=" $(offered "$name" $command -) "
        if command -v fish >/dev/null; then
            fish+=$(fish -c "source $completions/fish/$name.fish; complete -C '$name $command -'; complete -C '$name '" |
                cut -f1 | paste -sd ' ')" "
        fi
    done
    for option in $commands $(grep -oE -- '(^|[][ ,|])--?[a-z][a-z-]*' <<<"$help" | tr -d '][ ,|'); do
        [[ $bash == *" $option "* ]] || fail "bash/$name does not offer $option"
        [[ $fish == " " || $fish == *" $option "* ]] || fail "fish/$name.fish does not offer $option"
        grep -qE -- "(^|[^a-z-])$option([^a-z-]|\$)" "$completions/zsh/_$name" || fail "zsh/_$name does not name $option"
    done
done
exit $status
