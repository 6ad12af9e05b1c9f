#!/bin/sh
# Renews the screenshots in docs/: the window in settings mode with the
# example firmware (every option slot), the same with an invalid relay
# time typed in, shown in red, and the first again in German. Runs under a virtual X server.
# Needs xvfb, xdotool and imagemagick (apt-get install xvfb xdotool imagemagick).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/default}
# The pictures show the firmware in a technician's ~/firmware, not in this
# machine's checkout (making that folder needs root, or SHOT_HOME set).
home=${SHOT_HOME:-/home/technician}
firmware=$home/firmware/reader_v1.00.hex
[ ! -e "$firmware" ] || { echo "$firmware exists: not overwriting it" >&2; exit 1; }
work=$(mktemp -d)
made_home=
[ -d "$home" ] || made_home=yes
mkdir -p "$home/firmware"
cp "$root/examples/reader_v1.00.hex" "$firmware"
trap 'rm -rf "$work" "$firmware"; [ -z "$made_home" ] || rm -rf "$home"' EXIT
cat >"$work/shot.sh" <<SHOT
#!/bin/sh
# English, whatever this desktop's language: the clicks find English places.
export XDG_CONFIG_HOME=$work/config HOME=$home LC_ALL=C.UTF-8 LANGUAGE=
cd "$home"
"$build/src/app/corvant-fwupdate" custcode cf=123 df=4567 gf=12 port=COM1 "$firmware" &
pid=\$!
sleep 3
import -window root "$work/main.png"
# The relay time field sits at the right of the panel, below its caption.
window=\$(xdotool search --name "CORVANT Firmware Update Utility" | head -n 1)
eval \$(xdotool getwindowgeometry --shell "\$window")
xdotool mousemove \$((X + 258)) \$((Y + 195)) click 1
xdotool key ctrl+a type "30"
xdotool mousemove \$((X + 200)) \$((Y + 101)) click 1
sleep 1
import -window root "$work/invalid.png"
kill \$pid
wait \$pid
# The same window in German.
LC_ALL= LANG=de_DE.UTF-8 CORVANT_TRANSLATIONS="$build/translations" \\
    "$build/src/app/corvant-fwupdate" custcode cf=123 df=4567 gf=12 port=COM1 "$firmware" &
pid=\$!
sleep 3
import -window root "$work/german.png"
kill \$pid
SHOT
chmod +x "$work/shot.sh"
xvfb-run -s "-screen 0 800x700x24" "$work/shot.sh"
# The window is centred on the 800 x 700 screen.
convert "$work/main.png" -trim +repage "$root/docs/main-window.png"
convert "$work/invalid.png" -trim +repage "$root/docs/settings-invalid.png"
convert "$work/german.png" -trim +repage "$root/docs/main-window-de.png"
echo "wrote docs/main-window.png, docs/settings-invalid.png and docs/main-window-de.png"
