#!/bin/sh
# Builds the Debian packages (corvant-tools, corvant-fwupdate and their
# -dbgsym packages) from the default build, builds them again in a second
# folder and compares the bytes, checks them with lintian,
# validates the desktop entry and the AppStream data, installs corvant-tools
# alone and then the window with apt, uses the installed programs (no build
# tree involved), reads a program's symbols from its -dbgsym package, removes
# everything and checks that nothing is left. Needs root (apt-get) and a
# finished default build.
set -eu
cd "$(dirname "$0")/.."
build=build/default
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "== packages"
# Up to date with the last commit (its time is the packages' time).
cmake --build "$build" >/dev/null
rm -f "$build"/corvant-*.deb "$build"/corvant-*.ddeb
(cd "$build" && env -u SOURCE_DATE_EPOCH cpack -G DEB >/dev/null)
tools=$(ls "$build"/corvant-tools_*.deb)
deb=$(ls "$build"/corvant-fwupdate_*.deb)
tools_dbgsym=$(ls "$build"/corvant-tools-dbgsym_*.ddeb)
dbgsym=$(ls "$build"/corvant-fwupdate-dbgsym_*.ddeb)
packages="$tools $deb $tools_dbgsym $dbgsym"
echo "$packages"

echo "== reproducible: packaged again a moment later, the same bytes"
mkdir "$work/first"
cp $packages "$work/first/"
sleep 1.1
(cd "$build" && env -u SOURCE_DATE_EPOCH cpack -G DEB >/dev/null)
for package in $packages; do
    cmp "$work/first/$(basename "$package")" "$package"
done

echo "== reproducible: the same commit built in a second folder, the same packages"
rebuild=$work/rebuild
cmake -S . -B "$rebuild" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANT_BUILD_TESTS=OFF \
    -DCORVANT_BUILD_BENCH=OFF >/dev/null
cmake --build "$rebuild" >/dev/null
(cd "$rebuild" && env -u SOURCE_DATE_EPOCH cpack -G DEB >/dev/null)
for package in $packages; do
    cmp "$package" "$rebuild/$(basename "$package")"
done
rm -rf "$rebuild"

for page in corvant-fwupdate:"$deb" corvant-flash:"$tools" corvant-hextool:"$tools" \
            corvant-reader-sim:"$tools" corvant-label-server:"$deb"; do
    dpkg-deb -c "${page#*:}" | grep "usr/share/man/man1/${page%%:*}.1.gz" >/dev/null
    # The version in the page's footer.
    zcat "$build/packaging/man/${page%%:*}.1.gz" | grep -q '^\.TH .*"corvant [0-9][0-9.]*"'
done

echo "== lintian (errors and warnings fail)"
# shellcheck disable=SC2086
lintian --fail-on error,warning $packages

echo "== corvant-tools pulls no display stack"
# Everything its dependencies pull in, recursively; the window's package is
# the counter-check that this finds the X libraries when they are there.
closure() {
    # shellcheck disable=SC2046
    apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts \
        --no-breaks --no-replaces --no-enhances \
        $(dpkg-deb -f "$1" Depends | sed 's/([^)]*)//g; s/[,|]/ /g' | tr ' ' '\n' | grep -v '^corvant-') \
        | grep -v '^ ' | sort -u
}
display='^(libx11-6|libxcb1|libqt6gui6|libqt6widgets6|libgl1|libegl1|libwayland-client0)$'
if closure "$tools" | grep -E "$display"; then
    echo "corvant-tools pulls in a display library" >&2
    exit 1
fi
closure "$deb" | grep -qE "$display"

echo "== desktop entry and AppStream data"
desktop-file-validate packaging/desktop/org.corvant.fwupdate.desktop
for component in fwupdate tools; do
    appstreamcli validate --no-net --pedantic "$build/packaging/org.corvant.$component.metainfo.xml"
done

echo "== corvant-tools alone"
dpkg -r corvant-fwupdate-dbgsym corvant-tools-dbgsym corvant-fwupdate corvant-tools >/dev/null 2>&1 ||
    { echo "cannot remove the packages installed before" >&2; exit 1; }
DEBIAN_FRONTEND=noninteractive apt-get install -y "./$tools" >/dev/null
if dpkg-query -W -f='${Status}' corvant-fwupdate 2>/dev/null | grep -q "install ok installed"; then
    echo "corvant-tools pulled in corvant-fwupdate" >&2
    exit 1
fi
for program in corvant-flash corvant-hextool corvant-reader-sim; do
    "$program" --version
    if ldd "/usr/bin/$program" | grep -E 'libX|libxcb|libQt6Gui|libQt6Widgets|libGL|libEGL|libwayland'; then
        echo "$program links a display library" >&2
        exit 1
    fi
done

echo "== symbols from the -dbgsym packages"
# A crash report gives a build-id and addresses: with the -dbgsym package
# installed, the debugger finds the symbols and source lines by that id.
symbols_of() {
    id=$(readelf -n "/usr/bin/$1" | sed -n 's/^ *Build ID: //p')
    test -f "/usr/lib/debug/.build-id/$(echo "$id" | cut -c1-2)/$(echo "$id" | cut -c3-).debug"
    gdb -batch -nx -ex 'info line main' "/usr/bin/$1" 2>&1 | grep "^Line [0-9]* of \".*main\.cpp\""
}
# The counter-check: the packaged program itself is stripped.
if gdb -batch -nx -ex 'info line main' /usr/bin/corvant-flash 2>&1 | grep '^Line'; then
    echo "corvant-flash is not stripped" >&2
    exit 1
fi
dpkg -i "$tools_dbgsym" >/dev/null
symbols_of corvant-flash

echo "== install the window"
DEBIAN_FRONTEND=noninteractive apt-get install -y "./$deb" >/dev/null
dpkg -i "$dbgsym" >/dev/null
symbols_of corvant-fwupdate
symbols_of corvant-label-server
dpkg -L corvant-tools corvant-fwupdate corvant-tools-dbgsym corvant-fwupdate-dbgsym > "$work/files"

echo "== software centres find what the packages provide"
appstreamcli refresh-cache --force >/dev/null
for provided in bin:corvant-fwupdate:fwupdate bin:corvant-label-server:fwupdate \
                dbus:user:org.corvant.LabelServer:fwupdate mediatype:text/x-ihex:fwupdate \
                mediatype:application/x-corvant-encrypted-hex:fwupdate bin:corvant-flash:tools \
                bin:corvant-hextool:tools bin:corvant-reader-sim:tools; do
    item=${provided%:*}
    appstreamcli what-provides "${item%:*}" "${item##*:}" | grep -qx "Identifier: org.corvant.${provided##*:} .*"
done

echo "== the installed programs"
cd "$work"
example=/usr/share/corvant/examples/reader_v1.00.hex
for program in corvant-fwupdate corvant-flash corvant-hextool corvant-reader-sim corvant-label-server; do
    command -v "$program" | grep -q '^/usr/bin/'
    "$program" --version
done
corvant-hextool info "$example"
corvant-hextool info --json "$example" | python3 -c 'import json, sys; assert json.load(sys.stdin)["valid"]'
# Debian's hardening in every program. Control-flow marks are not asked
# for: Debian 12's C runtime objects carry none, so no program linked
# against them can have them whatever it is compiled with.
for program in corvant-fwupdate corvant-flash corvant-hextool corvant-reader-sim corvant-label-server; do
    hardening-check --nocfprotection "/usr/bin/$program"
done
corvant-reader-sim --tcp 0 --once --dump "$work/dump.hex" > "$work/sim.out" 2>/dev/null &
sim=$!
for _ in 1 2 3 4 5 6 7 8 9 10; do
    grep -q listening "$work/sim.out" 2>/dev/null && break
    sleep 0.5
done
port=$(sed -n 's/^listening on 127.0.0.1:\([0-9]*\)$/\1/p' "$work/sim.out")
corvant-flash --quiet --report "$work/report.json" -p "127.0.0.1:$port" "$example"
wait "$sim"
grep -q '"outcome": "Completed"' "$work/report.json"
# The installed schema describes the installed program's report.
/usr/bin/python3 -c 'import json, sys, jsonschema
schema = json.load(open(sys.argv[1]))
jsonschema.validators.validator_for(schema)(schema).validate(json.load(open(sys.argv[2])))' \
    /usr/share/corvant/schemas/flash-report.schema.json "$work/report.json"
test -s "$work/dump.hex"
# A fleet from a readers file, its page, and the Ansible role beside them.
corvant-reader-sim --tcp 0 --count 2 > "$work/rack.out" 2>/dev/null &
rack=$!
for _ in 1 2 3 4 5 6 7 8 9 10; do
    [ "$(grep -c listening "$work/rack.out" 2>/dev/null)" -eq 2 ] && break
    sleep 0.5
done
{ echo "port,name,gf"; sed -n 's/^listening on \(.*\)$/\1,reader,7/p' "$work/rack.out"; } > "$work/readers.csv"
corvant-flash --quiet --readers "$work/readers.csv" --jobs 1 --report "$work/fleet.json" "$example"
kill "$rack"
corvant-flash report "$work/fleet.json" "$work/report.json" --merge "$work/all.json" --html "$work/all.html"
grep -q '<tr class="total"><td>All sites</td><td>3</td><td>3</td>' "$work/all.html"
test -f /usr/share/corvant/ansible/site.yml
for program in corvant-flash corvant-hextool corvant-reader-sim; do
    test -f "/usr/share/bash-completion/completions/$program"
    test -f "/usr/share/zsh/vendor-completions/_$program"
    test -f "/usr/share/fish/vendor_completions.d/$program.fish"
done
test -f /usr/share/doc/corvant-tools/examples/60-corvant-serial.rules
test -f /usr/share/corvant/ansible/roles/corvant_flash/tasks/main.yml
# A sticker to PDF through the installed server, started by a session bus
# from its installed service file.
sed 's|<corvant:output/>|<corvant:output pdf="sticker.pdf"/>|' /usr/share/corvant/quilmar.lbl > "$work/label.lbl"
dbus-run-session -- sh -c '
    call() { dbus-send --session --print-reply=literal --dest=org.corvant.LabelServer \
                 /LabelServer "org.corvant.LabelServer.$@" | tr -d " \n"; }
    [ "$(call OpenLabel "string:$1/label.lbl")" = int320 ]
    [ "$(call SetVariable string:firmware string:reader_v1.00)" = int320 ]
    [ "$(call PrintLabel int32:1)" = int320 ]
' sh "$work"
head -c 5 "$work/sticker.pdf" | grep -q '%PDF-'
cd - >/dev/null

echo "== the installed window speaks the system's language"
german() {
    env -u LC_ALL -u LC_MESSAGES LANGUAGE= LANG=de_DE.UTF-8 XDG_CONFIG_HOME="$work/config-de" "$@"
}
# Started as a technician starts it (the logging rules left alone): its title
# in German on the X server.
german xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
    # On the X server, whatever platform the caller chose (CI: offscreen).
    unset QT_QPA_PLATFORM
    corvant-fwupdate & window=$!
    for _ in $(seq 20); do
        xdotool search --name "^CORVANT Firmware-Update-Programm" && break
        sleep 0.5
    done > "$1"
    kill "$window"' sh "$work/de.window"
test -s "$work/de.window" || { echo "no window titled in German" >&2; exit 1; }
# The files it loads: Qt's and its own, from the installed folders.
german QT_LOGGING_RULES="corvant.window.debug=true" QT_QPA_PLATFORM=offscreen \
    timeout 4 corvant-fwupdate 2>"$work/de.log" || true
grep "translations /usr/share/qt6/translations/qtbase_de.qm /usr/share/qt6/translations/qtserialport_de.qm /usr/share/corvant/translations/corvant_de.qm$" "$work/de.log"

echo "== firmware files are ours in a file manager"
cp "$example" "$work/plain.hex"
corvant-hextool encrypt "$example" "$work/encrypted.hex" >/dev/null
cp "$example" "$work/no-extension"
type_of() { gio info -a standard::content-type "$1" | sed -n 's/^ *standard::content-type: //p'; }
[ "$(type_of "$work/plain.hex")" = text/x-ihex ]
[ "$(type_of "$work/encrypted.hex")" = application/x-corvant-encrypted-hex ]
[ "$(type_of "$work/no-extension")" = text/x-ihex ] # by its content
for type in text/x-ihex application/x-corvant-encrypted-hex; do
    gio mime "$type" | grep -q org.corvant.fwupdate.desktop
done

echo "== the menu entry opens the window with the file it is given"
# A folder whose name holds a command-line word, and a blank in the name.
mkdir "$work/custcode_site"
cp "$example" "$work/custcode_site/reader firmware.hex"
XDG_CONFIG_HOME="$work/config" xvfb-run -a -s "-screen 0 1280x1024x24" \
    scripts/open-menu-entry.sh /usr/share/applications/org.corvant.fwupdate.desktop \
    "$work/custcode_site/reader firmware.hex"
# The window keeps the file it had open in its settings (CR LF lines) when
# it closes.
tr -d '\r' < "$work/config/corvant-fwupdate.ini" | grep -qx "file=$work/custcode_site/reader firmware.hex"

echo "== remove"
DEBIAN_FRONTEND=noninteractive apt-get remove -y corvant-fwupdate-dbgsym corvant-tools-dbgsym \
    corvant-fwupdate corvant-tools >/dev/null
left=0
while read -r path; do
    if [ -f "$path" ] || [ -L "$path" ]; then
        echo "left behind: $path" >&2
        left=1
    fi
done < "$work/files"
[ "$left" -eq 0 ]
echo "package installs, runs and removes cleanly"
