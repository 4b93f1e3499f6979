#!/usr/bin/env bash
# Runs vantrel-cut as a user would: jobs known byte for byte, the samples, the
# three ways in and out (file, standard input, -o), and bad input, which must
# get one line on standard error, exit status 2 and no output.
#   check_tool.sh SOURCE_DIR TOOL [RUNNER]   (RUNNER: e.g. cmake/wine-run)
set -u
src=$1; tool=$2; shift 2
runner=("$@")
data=$src/cli/testdata
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
cut() { "${runner[@]}" "$tool" "$@"; }

# expect NAME EXPECTED-FILE ARGS...
expect() {
  local name=$1 expected=$2; shift 2
  if ! cut "$@" >"$work/out" 2>"$work/err"; then fail "$name: exit status $? ($(head -1 "$work/err"))"; return; fi
  cmp -s "$work/out" "$expected" || fail "$name: got $(head -c 400 "$work/out")"
}

# refuse NAME ARGS...: exit 2, one line "vantrel-cut: ...", nothing written.
refuse() {
  local name=$1; shift
  rm -f "$work/refused"
  cut "$@" -o "$work/refused" >"$work/out" 2>"$work/err"
  local status=$?
  [ $status -eq 2 ] || fail "$name: exit status $status, expected 2"
  [ -s "$work/out" ] && fail "$name: wrote to standard output"
  [ -e "$work/refused" ] && fail "$name: wrote the output file"
  [ "$(wc -l <"$work/err")" -eq 1 ] && grep -q '^vantrel-cut: ' "$work/err" || fail "$name: error was: $(cat "$work/err")"
}

expect "wysiwyg job" "$data/triangle.wysiwyg.txt" "$data/triangle.path"
expect "sample with curves" "$data/heart.wysiwyg.txt" "$src/samples/heart.path"
expect "print-and-cut job" "$data/triangle.print-and-cut.txt" --cut-type print-and-cut "$data/triangle.path"
expect "search command" "$data/triangle.search.txt" --cut-type print-and-cut --search-command "$data/triangle.path"
expect "search command 1x1x4x3" "$data/rectangle.search.txt" --cut-type=print-and-cut --search-command "$data/rectangle.path"
expect "search command without mat" "$data/rectangle.search-no-mat.txt" \
  --cut-type print-and-cut --carrier-mat off --search-command "$data/rectangle.path"
expect "fraction resolution" "$data/triangle.wysiwyg.txt" --dpi-x 1016/2 --dpi-y "507 1/1" "$data/triangle.path"
expect "drawing order: today's job" "$data/triangle.wysiwyg.txt" --order drawing "$data/triangle.path"
expect "drawing order: today's curves" "$data/heart.wysiwyg.txt" --order=drawing "$src/samples/heart.path"

# The summary goes to standard error and leaves the job as it was; the preview
# is a picture of the job.
cut --summary --preview "$work/job.png" "$data/triangle.path" >"$work/out" 2>"$work/err" || fail "summary: exit status $?"
cmp -s "$work/out" "$data/triangle.wysiwyg.txt" || fail "summary: different job"
# Windows ends the lines of standard error with CR LF.
tr -d '\r' <"$work/err" >"$work/summary"
grep -qx "  figures     1" "$work/summary" || fail "summary: $(cat "$work/err")"
grep -qx "  job         $(wc -c <"$data/triangle.wysiwyg.txt" | tr -d ' ') bytes" "$work/summary" || fail "summary bytes: $(cat "$work/err")"
grep -q "^  travel      .* in (order: drawing)" "$work/summary" || fail "summary travel: $(cat "$work/err")"
grep -qx "  fits        yes: the machine takes 12.00 in across and 39.37 in along the feed" "$work/summary" ||
  fail "summary fits: $(cat "$work/err")"
# A job beyond the media is written all the same, with a line that says so, and its overhang in red.
printf 'M 1 1 L 4 13.1 L 1 5 Z\n' >"$work/wide.path"
cut --preview "$work/wide.svg" -o "$work/job" "$work/wide.path" 2>"$work/err" || fail "overhang: exit status $?"
grep -q "wide.path: the job does not fit: it reaches 12.94 in across the carriage; the media is 12.00 in wide" "$work/err" ||
  fail "overhang: $(cat "$work/err")"
grep -q 'class="overhang".*stroke="#ff0000"' "$work/wide.svg" || fail "overhang: not marked in the preview"
head -c 8 "$work/job.png" | od -An -c | grep -q 'P   N   G' || fail "preview: not a PNG"
cut --preview "$work/job.svg" --order travel "$src/samples/tag.svg" >/dev/null 2>&1 || fail "svg preview: exit status $?"
grep -q 'class="caption".*order: travel' "$work/job.svg" || fail "svg preview: no caption"

# An SVG drawing of the same geometry gives the same job, told by its name or
# by its content; what it cannot cut is listed once per kind on standard error.
expect "svg drawing" "$data/triangle.wysiwyg.txt" "$data/triangle.svg"
gzip -c "$data/triangle.svg" >"$work/triangle.svgz"
expect "compressed svg, told by its bytes" "$data/triangle.wysiwyg.txt" "$work/triangle.svgz"
expect "svg search command" "$data/triangle.search.txt" --cut-type print-and-cut --search-command "$data/triangle.svg"
cut - <"$data/triangle.svg" >"$work/stdin" 2>"$work/err" || fail "svg on standard input: exit status $?"
cmp -s "$work/stdin" "$data/triangle.wysiwyg.txt" || fail "svg on standard input: different job"
[ "$(tr -d '\r' <"$work/err")" = "vantrel-cut: <stdin>: left out, cannot be cut: 1 <text>" ] || fail "svg left out: $(cat "$work/err")"
# A design with nothing to cut: its job is written all the same, and a line says so.
: >"$work/empty.path"
cut -o "$work/job" "$work/empty.path" 2>"$work/err" || fail "empty design: exit status $?"
[[ $(cat "$work/job") == FN0\|*\|H\| ]] || fail "empty design: no job written"
[ "$(tr -d '\r' <"$work/err")" = "vantrel-cut: $work/empty.path: nothing to cut (the design is empty)" ] ||
  fail "empty design: $(cat "$work/err")"

# Print and Cut from a terminal: the marks to print, from the layout the search
# uses; the marked page cuts as the design alone, and the marks' box given
# back changes no byte. Marks a printer leaves out are refused unless --yes.
cut --marks-svg "$work/marks.svg" "$data/triangle.svg" 2>"$work/err" || fail "marks svg: exit status $? ($(cat "$work/err"))"
[ "$(grep -c 'fill:#000000' "$work/marks.svg")" -eq 3 ] || fail "marks svg: not three black marks"
box=$(sed -n 's/.*the marks span \([^ ]*\) .*/\1/p' "$work/err")
expect "marks at their own box" "$data/triangle.print-and-cut.txt" --cut-type print-and-cut --marks-at "$box" "$data/triangle.svg"
expect "marked page cuts the design alone" "$data/triangle.wysiwyg.txt" "$work/marks.svg"
cut --cut-type print-and-cut --preview "$work/marks-preview.svg" "$data/triangle.path" >/dev/null 2>&1
[ "$(grep -c 'class="marks"' "$work/marks-preview.svg")" -eq 3 ] || fail "print-and-cut preview: no marks"
printf 'M 0.3 1 L 3 1 L 2 2 Z\n' >"$work/edge.path"
for how in --marks-svg --send; do
  [ "$how" = --send ] && [ ${#runner[@]} -gt 0 ] && continue  # no USB link under Wine
  args=(--marks-svg "$work/edge.svg"); [ "$how" = --send ] && args=(--send --cut-type print-and-cut --no)
  cut "${args[@]}" "$work/edge.path" >/dev/null 2>"$work/err"; status=$?
  [ $status -eq 2 ] && grep -q 'registration marks fall at negative coordinates' "$work/err" && [ ! -e "$work/edge.svg" ] ||
    fail "$how: marks off the page: status $status, $(cat "$work/err")"
done
cut --marks-svg "$work/edge.svg" --yes "$work/edge.path" 2>/dev/null && [ -s "$work/edge.svg" ] || fail "--yes: marks not written"
refuse "marks box of three numbers" --cut-type print-and-cut --marks-at 1,2,3 "$data/triangle.path"

tr '|' '\003' <"$data/triangle.wysiwyg.txt" >"$work/wire"
expect "wire bytes" "$work/wire" --wire "$data/triangle.path"
cut - <"$data/triangle.path" >"$work/stdin" 2>/dev/null || fail "standard input: exit status $?"
cmp -s "$work/stdin" "$data/triangle.wysiwyg.txt" || fail "standard input: different job"
cut -o "$work/job" "$data/triangle.path" >"$work/out" 2>&1 || fail "-o: exit status $?"
cmp -s "$work/job" "$data/triangle.wysiwyg.txt" || fail "-o: different job"
[ -s "$work/out" ] && fail "-o: also wrote to standard output"
[ -e "$work/job.partial" ] && fail "-o: left its partial file"

for sample in "$src"/samples/*.path "$src"/samples/*.svg; do
  name=$(basename "$sample")
  for form in "" --flatten "--order travel" "--order inside-out --flatten"; do
    if ! cut $form "$sample" >"$work/out" 2>"$work/err"; then fail "$name $form: $(cat "$work/err")"; continue; fi
    job=$(cat "$work/out")
    [[ $job == FN0\|FN1\|FJ\|FC18\|TB99\|FM1\|TB50,1\|FO20000\|* ]] || fail "$name $form: header ${job:0:60}"
    [[ $job == *\|M0,0\|M*\|\&1,1,1\|TB50,0\|FO0\|H\| ]] || fail "$name $form: no body or trailer"
    if [[ $form == *--flatten* ]]; then [[ $job != *BZ1* ]] || fail "$name: curves left in the flattened job"; fi
  done
done

# Dashed lines: cut solid and counted, perforated, or left out.
printf '<svg xmlns="http://www.w3.org/2000/svg" width="4in" height="4in" viewBox="0 0 4 4">
<path d="M0 1H3" stroke="#000" stroke-dasharray="1"/></svg>\n' >"$work/fold.svg"
cut -o "$work/job" "$work/fold.svg" 2>"$work/err" || fail "dashes: exit status $?"
grep -q "fold.svg: 1 dashed line cut solid (--dashes perforate" "$work/err" || fail "dashes solid: $(cat "$work/err")"
cut --summary --dashes perforate -o "$work/job" "$work/fold.svg" 2>"$work/err" || fail "perforate: exit status $?"
tr -d '\r' <"$work/err" | grep -qx "  figures     2" || fail "perforate: $(cat "$work/err")"
grep -q "^  cut         2.00 in" "$work/err" || fail "perforate length: $(cat "$work/err")"
cut --dashes skip -o "$work/job" "$work/fold.svg" 2>"$work/err" || fail "skip: exit status $?"
grep -q "fold.svg: nothing to cut (1 dashed line left out by --dashes skip)" "$work/err" || fail "skip: $(cat "$work/err")"

printf 'M 1 1 L 2 x\n' >"$work/malformed.path"
printf 'M 1 1 L 1e30 1\n' >"$work/far.path"
printf 'M 1 1 L 2 2\n' >"$work/not-xml.svg"
printf '<html><body/></html>\n' >"$work/no-root.svg"
printf '<svg xmlns="http://www.w3.org/2000/svg">\n<path d="M 1 1 L 2"/></svg>\n' >"$work/broken.svg"
printf '<svg xmlns="http://www.w3.org/2000/svg" width="1in" viewBox="0 0 1 1"><circle r="20000"/></svg>\n' >"$work/far.svg"
refuse "svg: not XML" "$work/not-xml.svg"
refuse "svg: no svg root" "$work/no-root.svg"
refuse "svg: broken path" "$work/broken.svg"
grep -q 'broken.svg: line 2, column 19: d: a number is missing' "$work/err" || fail "svg: broken path: $(cat "$work/err")"
refuse "svg: out of range" "$work/far.svg"
# Drawings made to fail are refused where they fail, before they take the
# stack or the memory they ask for.
svgs=$src/tests/data/svg
refuse "svg: fault in a file of one attribute a line" "$svgs/inkscape-fault.svg"
grep -q 'inkscape-fault.svg: line 20, column 33: d: unknown path command' "$work/err" || fail "svg: one attribute a line: $(cat "$work/err")"
refuse "svg: groups chained deep by use" "$svgs/use-chain-deep.svg"
grep -q 'use-chain-deep.svg: line 6, column 18: elements are nested too deep' "$work/err" || fail "svg: deep use chain: $(cat "$work/err")"
refuse "svg: use nested ten by ten" "$svgs/use-bomb.svg"
grep -q 'use-bomb.svg: line 15, column 18: .*use copies too much' "$work/err" || fail "svg: use bomb: $(cat "$work/err")"
head -c 60 "$work/triangle.svgz" >"$work/cut-short.svgz"
refuse "compressed svg cut short" "$work/cut-short.svgz"
printf '\211PNG\r\n\032\n' >"$work/photo.svg"
refuse "a picture named .svg" "$work/photo.svg"
grep -q 'photo.svg: this looks like a PNG image; Vantrel reads SVG' "$work/err" || fail "png: $(cat "$work/err")"
refuse "svg: use fanning out to missing targets" "$svgs/use-fanout-missing.svg"
grep -q 'use-fanout-missing.svg: line 1, column 1276: .*use copies too much' "$work/err" || fail "svg: fan-out: $(cat "$work/err")"
# Places count characters, as editors show them, also inside a value of many lines.
printf '<svg xmlns="http://www.w3.org/2000/svg">\n<!-- a -->\n<g>\n  <path d="M 1 1\n    L 2 2\n    L 3 x"/>\n</g></svg>\n' >"$work/lines.svg"
printf '<svg xmlns="http://www.w3.org/2000/svg"><title>\303\234berschrift \342\200\223 \303\237</title><path id="\303\244" d="M1 x"/></svg>\n' >"$work/utf8.svg"
refuse "svg: fault in a value of many lines" "$work/lines.svg"
grep -q 'lines.svg: line 6, column 9: d: a number is expected' "$work/err" || fail "svg: many lines: $(cat "$work/err")"
refuse "svg: fault after non-ASCII text" "$work/utf8.svg"
grep -q 'utf8.svg: line 1, column 90: d: a number is expected' "$work/err" || fail "svg: non-ASCII: $(cat "$work/err")"
# Inkscape's own example of tiled clones (where Inkscape is installed) cuts whole.
eastern=/usr/share/inkscape/examples/eastern-motive-P4G.svg
if [ -f "$eastern" ]; then
  cut --summary "$eastern" >/dev/null 2>"$work/err" || fail "svg: tiled clones: $(cat "$work/err")"
  grep -q "^  figures  *5712" "$work/err" || fail "svg: tiled clones: $(cat "$work/err")"
fi
refuse "missing design file" "$work/none.path"
refuse "malformed path data" "$work/malformed.path"
refuse "coordinate out of range" "$work/far.path"
refuse "force above 33" --force 34 "$data/triangle.path"
refuse "resolution 0" --dpi-x 0 "$data/triangle.path"
refuse "resolution 1e8" --dpi-y 1e8 "$data/triangle.path"
refuse "resolution 1e-30" --dpi-y 1e-30 "$data/triangle.path"
refuse "search without print-and-cut" --search-command "$data/triangle.path"
refuse "unknown order" --order shortest "$data/triangle.path"
refuse "preview of another kind" --preview "$work/job.jpg" "$data/triangle.path"
refuse "no design" --force 12
refuse "option without value" "$data/triangle.path" --force
refuse "trace without send" --trace "$work/trace" "$data/triangle.path"
refuse "doctor with a design" --doctor "$data/triangle.path"

# A refused run leaves an existing output file as it was.
printf 'keep' >"$work/kept"
cut --force 99 -o "$work/kept" "$data/triangle.path" 2>/dev/null
[ "$(cat "$work/kept")" = keep ] || fail "a refused run replaced the existing output file"

if [ $failures -ne 0 ]; then echo "$failures check(s) failed"; exit 1; fi
echo "all vantrel-cut checks passed"
