#!/usr/bin/env bash
# Send to cutter in Inkscape: how soon the job's first byte reaches the
# simulated cutter, from the start of
#   1. vantrel-cut --send on the drawing with its text already as outlines,
#   2. the extension's adapter on its own (Inkscape's extension library, the
#      text turned into outlines by a second Inkscape, vantrel-cut), and on a
#      drawing without text, where it needs no second Inkscape,
#   3. Inkscape running the extension without its dialog, as a user's click does
#      after the document is open (plus Inkscape's own start and the document's
#      loading).
# Interleaved rounds, medians. vantrel-usb-sim notes the time of byte 6, the
# job's first after the status and identification requests.
#   bench/inkscape_first_byte.sh VANTREL_CUT VANTREL_USB_SIM [rounds]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ -z "${DISPLAY:-}" ]; then exec xvfb-run -a "$0" "$@"; fi
tool=$(realpath "$1"); usbsim=$(realpath "$2"); rounds=${3:-7}
drawing=$root/packaging/inkscape/testdata/drawing.svg
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ext=$work/home/.config/inkscape/extensions/vantrel
mkdir -p "$ext"
cp "$root/packaging/inkscape/vantrel_send.inx" "$root/packaging/inkscape/vantrel_inkscape.py" "$ext/"
ln -s "$tool" "$ext/vantrel-cut"
export HOME=$work/home VANTREL_INKSCAPE_MESSAGES=$work/messages
unset INKSCAPE_PROFILE_DIR XDG_CONFIG_HOME
inkscape --export-plain-svg --export-text-to-path --export-filename="$work/outlines.svg" "$drawing" >/dev/null 2>&1

# first_byte COMMAND...: milliseconds from the start to the job's first byte.
first_byte() {
  rm -rf "$work/record"
  "$usbsim" --time-byte 6 --out "$work/record" -- "$@" >/dev/null 2>&1 </dev/null
  sed -nE 's/^byte 6 at ([0-9.]+) ms$/\1/p' "$work/record/events.txt"
}
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

: >"$work/cut"; : >"$work/adapter"; : >"$work/no-text"; : >"$work/inkscape"
for _ in $(seq "$rounds"); do
  first_byte "$tool" --send "$work/outlines.svg" >>"$work/cut"
  first_byte env PYTHONPATH=/usr/share/inkscape/extensions /usr/bin/python3 "$ext/vantrel_inkscape.py" "$drawing" >>"$work/adapter"
  first_byte env PYTHONPATH=/usr/share/inkscape/extensions /usr/bin/python3 "$ext/vantrel_inkscape.py" \
    "$root/packaging/inkscape/testdata/selection.svg" >>"$work/no-text"
  first_byte inkscape --batch-process --actions=org.vantrel.send-to-cutter.noprefs "$drawing" >>"$work/inkscape"
done
cut=$(median <"$work/cut"); adapter=$(median <"$work/adapter"); whole=$(median <"$work/inkscape")
no_text=$(median <"$work/no-text")
printf 'start to first job byte, median of %d (ms):\n' "$rounds"
printf '  vantrel-cut --send           %8.1f\n' "$cut"
printf '  the adapter on its own       %8.1f\n' "$adapter"
printf '    on a drawing without text  %8.1f\n' "$no_text"
printf '  Inkscape with the extension  %8.1f\n' "$whole"
