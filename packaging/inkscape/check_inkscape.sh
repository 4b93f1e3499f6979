#!/usr/bin/env bash
# Extensions > Vantrel > Send to cutter, end to end: Inkscape runs the
# extension without its dialog (the stored values stand in for it) on a
# drawing with a hidden layer, a clone and text, and the extension's
# vantrel-cut reaches the simulated cutter under umockdev.
#   check_inkscape.sh SOURCE_DIR VANTREL_CUT VANTREL_USB_SIM   (on an X display: xvfb-run -a)
set -u
src=$1; tool=$(realpath "$2"); usbsim=$3
here=$src/packaging/inkscape
drawing=$here/testdata/drawing.svg
extension=org.vantrel.send-to-cutter
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
command -v inkscape >/dev/null || { echo "FAIL: inkscape is not installed (./vantrel deps installs it)"; exit 1; }
# Inkscape's profile is $HOME/.config/inkscape unless these say otherwise.
unset INKSCAPE_PROFILE_DIR XDG_CONFIG_HOME

# A fresh HOME for each run, with the extension installed as inkscape-install
# does (vantrel-cut beside it) and PREFS as the dialog's stored values.
# home NAME PREFS [--without-tool]
home() {
  local ext=$work/$1.home/.config/inkscape/extensions/vantrel
  mkdir -p "$ext" "$work/$1.tmp"
  cp "$here/vantrel_send.inx" "$here/vantrel_marks.inx" "$here/vantrel_inkscape.py" "$ext/"
  [ "${3:-}" = --without-tool ] || ln -s "$tool" "$ext/vantrel-cut"
  printf '<inkscape version="1"><group id="extensions" %s/></inkscape>\n' "$2" >"$work/$1.home/.config/inkscape/preferences.xml"
}

# run NAME PREFS SELECTED-IDS SIM-OPTIONS...: Inkscape with the drawing, the
# objects selected, the extension run; the machine's record in $work/NAME,
# the sentences in $work/NAME.messages.
run() {
  local name=$1 prefs=$2 ids=$3; shift 3
  home "$name" "$prefs"
  cp "${from:-$drawing}" "$work/$name.svg"
  # After the extension, Inkscape writes its document out, to be compared with the drawing before.
  local after="export-plain-svg;export-filename:$work/$name.after.svg;export-do"
  # Inkscape takes about 1.5 s a run on an idle machine; far longer is a hang.
  HOME=$work/$name.home TMPDIR=$work/$name.tmp VANTREL_INKSCAPE_MESSAGES=$work/$name.messages \
    timeout 120 "$usbsim" "$@" --out "$work/$name" -- inkscape --batch-process \
    --actions="${ids:+select-by-id:$ids;}$extension.noprefs;$after" "$work/$name.svg" >"$work/$name.out" 2>&1 </dev/null
  local status=$?
  [ $status -eq 0 ] || fail "$name: exit status $status: $(tail -3 "$work/$name.out")"
  [ -s "$work/$name.messages" ] || fail "$name: no message"
  # The drawing is left as it was, in Inkscape and on disk, and nothing is left behind.
  cmp -s "$work/$name.after.svg" "$work/${control:-control}.svg" || fail "$name: the document in Inkscape changed"
  cmp -s "$work/$name.svg" "${from:-$drawing}" || fail "$name: the file changed"
  [ -z "$(ls -A "$work/$name.tmp")" ] || fail "$name: left in TMPDIR: $(ls -A "$work/$name.tmp")"
}
has() { grep -qF -- "$2" "$work/$1.messages" || fail "$1: no \"$2\" in: $(cat "$work/$1.messages" 2>/dev/null)"; }
job() { "$tool" --wire "$@" >"$work/job.bin" || fail "job $*"; }
# The machine got the status and identification requests, then exactly the job.
got_job() {
  [ "$(head -c 5 "$work/$1/received.bin" | od -An -c | tr -s ' ')" = " 033 005 F G 003" ] || fail "$1: not identified first"
  tail -c +6 "$work/$1/received.bin" | cmp -s - "$work/job.bin" || fail "$1: the job differs from vantrel-cut --wire"
}

# What vantrel-cut is compared with: the drawing as Inkscape writes it, with
# the text as outlines, and plain (for the document left unchanged).
HOME=$work/plain.home inkscape --export-plain-svg --export-filename="$work/control.svg" "$drawing" >/dev/null 2>&1
HOME=$work/plain.home inkscape --export-plain-svg --export-text-to-path --export-filename="$work/outlines.svg" \
  "$drawing" >/dev/null 2>&1
[ -s "$work/outlines.svg" ] || fail "inkscape wrote no outlines"

# Nothing selected, the dialog's defaults: the visible layers, text as
# outlines, as vantrel-cut --send cuts them.
run drawing "" ""
job --model 2 "$work/outlines.svg"; got_job drawing
has drawing "Sent to the cutter: \"CAMEO V1.10\" took the whole job, $(stat -c %s "$work/job.bin") bytes in "
! grep -q "Left out" "$work/drawing.messages" || fail "drawing: $(cat "$work/drawing.messages")"
# Both would have changed the job: the hidden layer holds a shape, and text is left out without outlines.
sed 's/display:none//' "$work/outlines.svg" | "$tool" --wire --model 2 - | cmp -s - "$work/job.bin" && fail "drawing: the hidden layer is empty"
"$tool" --wire --model 2 "$drawing" 2>/dev/null | cmp -s - "$work/job.bin" && fail "drawing: the text made no outlines"

# The selection alone: a group and a clone of a shape that is not selected.
run selection "" tag,box-clone
job --model 2 "$here/testdata/selection.svg"; got_job selection

# A shape selected inside Illustrator's switch: the switch still draws its
# artwork once the shapes around the selection are put in defs.
illustrator=$here/testdata/illustrator.svg
HOME=$work/plain.home inkscape --export-plain-svg --export-filename="$work/illustrator-control.svg" "$illustrator" >/dev/null 2>&1
from=$illustrator control=illustrator-control run switch "" chosen
sed -e '/<switch>/,/<\/switch>/{/id="chosen"/!d}' "$illustrator" >"$work/chosen.svg"
job --model 2 "$work/chosen.svg"; got_job switch
grep -q '<circle' "$work/chosen.svg" && fail "switch: the expected job holds the other shape"

# Every other value of the dialog, to a file: the whole drawing although
# something is selected; the machine gets nothing.
p=$extension
run file "$p.scope=\"drawing\" $p.to_file=\"true\" $p.file=\"$work/file.bin\" $p.model=\"3\" $p.cut_type=\"print-and-cut\"
  $p.force=\"20\" $p.speed=\"5\" $p.passes=\"2\" $p.blade_offset=\"false\" $p.carrier_mat=\"false\"
  $p.track_enhancing=\"true\" $p.media_width=\"8.5\" $p.dashes=\"perforate\"" tag
job --model 3 --cut-type print-and-cut --force 20 --speed 5 --passes 2 --blade-offset off --carrier-mat off \
  --track-enhancing on --media-width 8.5 --dashes perforate "$work/outlines.svg"
cmp -s "$work/file.bin" "$work/job.bin" || fail "file: not the job vantrel-cut --wire writes with the same values"
has file "The job was written to $work/file.bin ($(stat -c %s "$work/job.bin") bytes"
[ ! -s "$work/file/received.bin" ] || fail "file: the machine got bytes"

# Failures: one sentence that says what to do, and nothing sent.
run absent "" "" --device-id "MFG:Another;MODEL:Printer;"
has absent "No cutter to send to (no machine found): check that the machine is on"
[ ! -s "$work/absent/received.bin" ] || fail "absent: the machine got bytes"
run narrow "$p.media_width=\"0.5\"" ""
has narrow "Nothing was sent, vantrel-cut refused the drawing or a value: the job does not fit: it reaches "
has narrow " mm across the carriage; the media is 12.70 mm wide."  # the drawing is sized in mm
[ ! -s "$work/narrow/received.bin" ] || fail "narrow: the machine got bytes"

# Print and Cut: Registration marks on a drawing in mm with a transformed
# layer adds vantrel-cut's marks, locked; Send to cutter then searches where
# they are and cuts the drawing where it is, even once it has moved.
marks=$here/testdata/marks.svg
add_marks() {  # NAME DRAWING: Registration marks run on DRAWING, Inkscape's document after it in $work/NAME.svg
  home "$1" ""
  HOME=$work/$1.home TMPDIR=$work/$1.tmp VANTREL_INKSCAPE_MESSAGES=$work/$1.messages timeout 120 inkscape \
    --batch-process --actions="org.vantrel.registration-marks.noprefs;export-filename:$work/$1.svg;export-do" \
    "$2" >"$work/$1.out" 2>&1 </dev/null || fail "$1: exit status $?"
}
add_marks marked "$marks"
has marked "Registration marks added around the visible layers, in the locked layer \"Registration marks\""
[ -z "$(ls -A "$work/marked.tmp")" ] || fail "marked: left in TMPDIR: $(ls -A "$work/marked.tmp")"
"$tool" --marks-svg "$work/expected.svg" --model 2 "$marks" 2>"$work/box" || fail "vantrel-cut --marks-svg"
box=$(sed -n 's/.*the marks span \([^ ]*\) .*/\1/p' "$work/box")
# Read as geometry (relabelled, so cut), the layer Inkscape holds is vantrel-cut's.
for f in marked expected; do
  sed 's/Registration marks/read/' "$work/$f.svg" | "$tool" --wire - >"$work/$f.bin" 2>/dev/null || fail "$f: not read"
done
cmp -s "$work/marked.bin" "$work/expected.bin" || fail "marked: the marks are not where vantrel-cut puts them"
grep -q 'sodipodi:insensitive="true"' "$work/marked.svg" || fail "marked: the layer is not locked"
HOME=$work/plain.home inkscape --export-plain-svg --export-filename="$work/marked-control.svg" "$work/marked.svg" >/dev/null 2>&1
"$tool" --cut-type print-and-cut --model 2 --search-command "$marks" | tr '|' '\003' >"$work/search.bin"
# sent NAME: the machine got the search those marks give, then exactly the job.
sent() {
  LC_ALL=C grep -qaF "$(cat "$work/search.bin")" "$work/$1/received.bin" || fail "$1: not the marks' search"
  tail -c "$(stat -c %s "$work/job.bin")" "$work/$1/received.bin" | cmp -s - "$work/job.bin" || fail "$1: not the job"
}
from=$work/marked.svg control=marked-control run printed "$p.cut_type=\"print-and-cut\"" ""
job --model 2 --cut-type print-and-cut --marks-at "$box" "$marks"; sent printed
cmp -s "$work/job.bin" <("$tool" --wire --model 2 --cut-type print-and-cut "$marks") || fail "printed: --marks-at changed the job"
sed 's/translate(30 25)/translate(40 25)/' "$work/marked.svg" >"$work/shifted.svg"
HOME=$work/plain.home inkscape --export-plain-svg --export-filename="$work/shifted-control.svg" "$work/shifted.svg" >/dev/null 2>&1
from=$work/shifted.svg control=shifted-control run moved "$p.cut_type=\"print-and-cut\"" ""
cp "$work/job.bin" "$work/unmoved.bin"
job --model 2 --cut-type print-and-cut --marks-at "$box" "$work/shifted.svg"; sent moved
cmp -s "$work/job.bin" "$work/unmoved.bin" && fail "moved: the cut did not move"
from=$work/marked.svg control=marked-control run declined "$p.cut_type=\"print-and-cut\" $p.device=\"1:2\" $p.stall_limit=\"5\"" "" --search not-found
has declined "Registration marks not found, so nothing was cut: load the printed page"
[ "$(tail -c 2 "$work/declined/received.bin" | od -An -c | tr -s ' ')" = " H 003" ] || fail "declined: not sent home last"
[ "$(stat -c %s "$work/declined/received.bin")" -lt "$(stat -c %s "$work/job.bin")" ] || fail "declined: the job was sent"
run doctor "$p.check_connection=\"true\"" "" --held
has doctor "The cutter cannot be used yet; what vantrel-cut finds"
has doctor "problem: the device at 1:2 (0b4d:113a): its printer interface is held by another program; fix: "
[ ! -s "$work/doctor/received.bin" ] || fail "doctor: the machine got bytes"
# No marks on the page, a layer of marks emptied, marks off the page: a sentence, nothing sent.
python3 -c "import re,sys; t=open(sys.argv[1]).read(); i=t.index('Registration marks'); j=t.index('</g>', i)
print(t[:i] + re.sub(r'<path[^>]*>', '', t[i:j]) + t[j:])" "$work/marked.svg" >"$work/emptied.svg"
for f in drawing emptied; do
  [ $f = drawing ] && src=$drawing || src=$work/$f.svg
  HOME=$work/plain.home inkscape --export-plain-svg --export-filename="$work/$f-control.svg" "$src" >/dev/null 2>&1
  from=$src control=$f-control run "refused-$f" "$p.cut_type=\"print-and-cut\" $p.cut_without_marks=\"true\"" ""
  [ ! -s "$work/refused-$f/received.bin" ] || fail "refused-$f: the machine got bytes"
done
has refused-drawing "Nothing was sent: Print and Cut needs the registration marks on the page; add them with Extensions > Vantrel > Registration marks"
has refused-emptied "Nothing was sent: the layer \"Registration marks\" holds no marks"
sed 's/translate(30 25)/translate(15 25)/' "$marks" >"$work/edge-drawing.svg"
add_marks edge "$work/edge-drawing.svg"
has edge "Mind: the marks come within a quarter inch of the page's edge"

# Inkscape 1.0 has svg.selected (an ordered mapping of ids), not svg.selection.
PYTHONDONTWRITEBYTECODE=1 PYTHONPATH=/usr/share/inkscape/extensions:$here /usr/bin/python3 -c 'import vantrel_inkscape as v
class Inkscape10: selected = {"tag": None, "box": None}
assert v.selected_ids(Inkscape10()) == ["tag", "box"]' || fail "Inkscape 1.0: the selection is not read"

# No vantrel-cut anywhere: the message says where the extension looked.
home missing "" --without-tool
(cd "$work" && HOME=$work/missing.home PATH=/usr/bin:/bin PYTHONPATH=/usr/share/inkscape/extensions \
  VANTREL_INKSCAPE_MESSAGES=$work/missing.messages /usr/bin/python3 \
  "$work/missing.home/.config/inkscape/extensions/vantrel/vantrel_inkscape.py" "$drawing")
has missing "vantrel-cut was not found: not beside the extension ($work/missing.home/.config/inkscape/extensions/vantrel/vantrel-cut), not on PATH (/usr/bin:/bin), and VANTREL_CUT is not set"

[ $failures -eq 0 ] && echo "all passed"
exit $((failures > 0))
