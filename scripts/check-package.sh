#!/bin/sh
# Builds the Debian package from the default build, checks it with lintian,
# validates the desktop entry and the AppStream data, installs it with apt,
# uses the installed programs (no build tree involved), removes it and checks
# that nothing of it is left. Needs root (apt-get) and a finished default build.
set -eu
cd "$(dirname "$0")/.."
build=build/default
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "== package"
rm -f "$build"/corvant-fwupdate_*.deb
(cd "$build" && env -u SOURCE_DATE_EPOCH cpack -G DEB >/dev/null)
deb=$(ls "$build"/corvant-fwupdate_*.deb)
echo "$deb"

echo "== reproducible: packaged again a moment later, the same bytes"
cp "$deb" "$work/first.deb"
sleep 1.1
(cd "$build" && env -u SOURCE_DATE_EPOCH cpack -G DEB >/dev/null)
cmp "$work/first.deb" "$deb"

for page in corvant-fwupdate corvant-flash corvant-hextool corvant-reader-sim corvant-label-server; do
    dpkg-deb -c "$deb" | grep -q "usr/share/man/man1/$page.1.gz"
    # The version in the page's footer.
    zcat "$build/packaging/man/$page.1.gz" | grep -q '^\.TH .*"corvant [0-9][0-9.]*"'
done

echo "== lintian (errors fail)"
lintian --fail-on error "$deb"

echo "== desktop entry and AppStream data"
desktop-file-validate packaging/desktop/org.corvant.fwupdate.desktop
appstreamcli validate --no-net "$build/packaging/org.corvant.fwupdate.metainfo.xml"

echo "== install"
DEBIAN_FRONTEND=noninteractive apt-get install -y --reinstall "./$deb" >/dev/null
dpkg -L corvant-fwupdate > "$work/files"

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
test -f /usr/share/doc/corvant-fwupdate/examples/60-corvant-serial.rules
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
DEBIAN_FRONTEND=noninteractive apt-get remove -y corvant-fwupdate >/dev/null
left=0
while read -r path; do
    if [ -f "$path" ] || [ -L "$path" ]; then
        echo "left behind: $path" >&2
        left=1
    fi
done < "$work/files"
[ "$left" -eq 0 ]
echo "package installs, runs and removes cleanly"
