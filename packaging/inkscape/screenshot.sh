#!/usr/bin/env bash
# The picture of the Send to cutter dialog in the README: Inkscape under Xvfb,
# with a fresh HOME holding the extension, opens the test drawing; the dialog
# is opened through Inkscape's actions on D-Bus, as the menu opens it, and its
# window is cut out of the screen.
#   packaging/inkscape/screenshot.sh docs/inkscape-send-to-cutter.png
# Needs xvfb, dbus-daemon, libglib2.0-bin (gdbus), x11-utils (xwininfo) and python3-pil.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if [ -z "${VANTREL_SCREENSHOT_X:-}" ]; then
  exec env VANTREL_SCREENSHOT_X=1 xvfb-run -a -s '-screen 0 1280x1024x24' dbus-run-session "$0" "$(realpath "$1")"
fi
out=$1
work=$(mktemp -d)
pid=
trap 'if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi; rm -rf "$work"' EXIT
ext=$work/.config/inkscape/extensions/vantrel
mkdir -p "$ext"
cp "$here/vantrel_send.inx" "$here/vantrel_inkscape.py" "$ext/"

window() { xwininfo -root -tree | grep -F "\"$1\"" || true; }
wait_for() { for _ in $(seq 120); do [ -n "$(window "$1")" ] && return 0; sleep 0.5; done; echo "no window \"$1\"" >&2; exit 1; }

HOME=$work GTK_THEME=Adwaita env -u INKSCAPE_PROFILE_DIR -u XDG_CONFIG_HOME inkscape "$here/testdata/drawing.svg" >"$work/inkscape.log" 2>&1 &
pid=$!
# The action needs the document's window: run before it, Inkscape 1.2 crashes.
wait_for "drawing.svg - Inkscape"
gdbus call --session --dest org.inkscape.Inkscape --object-path /org/inkscape/Inkscape \
  --method org.gtk.Actions.Activate org.vantrel.send-to-cutter [] {} >/dev/null &
wait_for "Send to cutter"
sleep 2  # drawn
# xwininfo's line ends in WIDTHxHEIGHT+X+Y  +X+Y
read -r width height x y < <(window "Send to cutter" | sed -E 's/.* ([0-9]+)x([0-9]+)\+(-?[0-9]+)\+(-?[0-9]+) .*/\1 \2 \3 \4/')
/usr/bin/python3 - "$out" "$x" "$y" "$width" "$height" <<'EOF'
import os, sys
from PIL import ImageGrab
out, x, y, w, h = sys.argv[1], *map(int, sys.argv[2:])
ImageGrab.grab(xdisplay=os.environ["DISPLAY"]).crop((x, y, x + w, y + h)).save(out, optimize=True)
EOF
echo "wrote $out (${width}x${height})"
