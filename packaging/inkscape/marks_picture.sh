#!/usr/bin/env bash
# The picture of a page with its registration marks in the README: Inkscape,
# with a fresh HOME holding the extension and vantrel-cut, runs Registration
# marks on the Print and Cut test drawing and exports the page as it prints.
#   packaging/inkscape/marks_picture.sh build/native/bin/vantrel-cut docs/inkscape-print-and-cut.png
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
tool=$(realpath "$1"); out=$(realpath "$(dirname "$2")")/$(basename "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ext=$work/.config/inkscape/extensions/vantrel
mkdir -p "$ext"
cp "$here/vantrel_marks.inx" "$here/vantrel_inkscape.py" "$ext/"
ln -s "$tool" "$ext/vantrel-cut"
HOME=$work VANTREL_INKSCAPE_MESSAGES=$work/messages env -u INKSCAPE_PROFILE_DIR -u XDG_CONFIG_HOME \
  xvfb-run -a inkscape --batch-process --actions="org.vantrel.registration-marks.noprefs;export-type:png;\
export-area-page;export-background:#ffffff;export-background-opacity:1;export-width:800;export-filename:$out;export-do" \
  "$here/testdata/marks.svg" >"$work/inkscape.log" 2>&1 </dev/null
cat "$work/messages"
echo "wrote $out"
