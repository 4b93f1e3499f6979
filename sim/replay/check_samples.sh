#!/bin/sh
# Every sample's job, curved and flattened, in every cut order, runs through the simulated machine
# without a single command it would refuse, and ends with the tool at home.
# usage: check_samples.sh SOURCE_DIR VANTREL_CUT VANTREL_SIM_REPLAY
set -eu
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Reordered jobs too: each figure still starts where the machine can take it.
for design in "$1"/samples/*.path; do
  for form in "" --flatten "--order travel" "--order travel --flatten" "--order inside-out"; do
    "$2" $form --wire "$design" -o "$work/job.bin"
    "$3" "$work/job.bin" "$work" >/dev/null || { echo "FAIL: $design $form"; cat "$work/anomalies.txt"; exit 1; }
    tail -n 1 "$work/commands.txt" | grep -qx H || { echo "FAIL: $design $form does not end at home"; exit 1; }
    head -c 8 "$work/toolpath.png" | od -An -c | grep -q 'P   N   G' || { echo "FAIL: no picture"; exit 1; }
  done
done
echo "all samples accepted"
