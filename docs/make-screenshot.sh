#!/bin/sh
# Renews docs/main-window.png: the window in settings mode with the example
# firmware (every option slot), under a virtual X server.
# Needs xvfb and imagemagick (apt-get install xvfb imagemagick).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/default}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat >"$work/shot.sh" <<SHOT
#!/bin/sh
export XDG_CONFIG_HOME=$work/config
"$build/src/app/corvant-fwupdate" custcode cf=123 df=4567 gf=12 port=COM1 "$root/examples/reader_v1.00.hex" &
pid=\$!
sleep 3
import -window root "$work/screen.png"
kill \$pid
SHOT
chmod +x "$work/shot.sh"
xvfb-run -s "-screen 0 800x700x24" "$work/shot.sh"
# The window is centred on the 800 x 700 screen.
convert "$work/screen.png" -trim +repage "$root/docs/main-window.png"
echo "wrote docs/main-window.png"
