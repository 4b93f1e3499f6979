#!/usr/bin/env bash
# vantrel-cut --list and --send through libusb against the simulated cutter
# faked under umockdev (vantrel-usb-sim), grouped by fault.
#   check_send.sh SOURCE_DIR VANTREL_CUT VANTREL_USB_SIM VANTREL_SIM_REPLAY
set -u
src=$1; tool=$2; usbsim=$3; replay=$4
design=$src/samples/heart.path
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# run NAME EXPECTED-STATUS SIM-OPTIONS... -- TOOL-ARGS...: the record in $work/NAME
run() {
  local name=$1 expected=$2; shift 2
  local simargs=()
  while [ "$1" != "--" ]; do simargs+=("$1"); shift; done
  shift
  timeout 60 "$usbsim" "${simargs[@]}" --out "$work/$name" -- "$tool" "$@" >"$work/$name.out" 2>"$work/$name.err" </dev/null
  local status=$?
  [ $status -eq "$expected" ] || fail "$name: exit status $status, expected $expected ($(tail -1 "$work/$name.err"))"
}
has() { grep -q -- "$3" "$work/$1.$2" || fail "$1: no \"$3\" in its $2: $(cat "$work/$1.$2")"; }
job() { "$tool" --wire "$@" >"$work/job.bin" || fail "job $*"; }
# The machine got the status and identification requests, then the job, whole and once.
got_job() {
  local name=$1 head
  head=$(head -c 5 "$work/$name/received.bin" | od -An -c | tr -s ' ')
  [ "$head" = " 033 005 F G 003" ] || fail "$name: began with$head"
  tail -c +6 "$work/$name/received.bin" | cmp -s - "$work/job.bin" || fail "$name: the job differs from vantrel-cut --wire"
}

# Discovery: the maker's devices, each taken or passed over with the reason.
run list 0 --other-device-id "MFG:Another;MODEL:Printer;" -- --list
has list out "1:2  0b4d:113a  taken"
has list out "1:3  0b4d:1121  passed over: its IEEE 1284 id names no cutter maker"
has list out "IEEE 1284 id: MANUFACTURER:Silhouette;MODEL:CAMEO;"
run two 4 --other-device-id "MANUFACTURER:Graphtec;MODEL:CE;" -- --send "$design"
has two err "2 machines found: pick one with --device BUS:ADDR"
run chosen 0 --other-device-id "MANUFACTURER:Graphtec;MODEL:CE;" -- --send --device 1:2 "$design"
run absent 4 -- --send --device 1:9 "$design"
has absent err "no device of vendor 0b4d at 1:9"
[ ! -s "$work/absent/received.bin" ] || fail "absent: the machine got bytes"

run denied 5 --deny-access -- --send "$design"
has denied err "no permission to open the machine at 1:2: install the udev rule 60-vantrel.rules"
run other 4 --other-device-id "MFG:Another;" -- --send --device 1:3 "$design"
has other err "the device at 1:3 is not taken: its IEEE 1284 id names no cutter maker"

# A cut: the printer driver detached while we hold the interface and given
# back after; the model from the identification sets the job.
run cameo 0 --kernel-driver usblp -- --send "$design"
job --model 2 "$design"; got_job cameo
diff <(printf 'claimed, usblp detached\nGET_DEVICE_ID\nreleased\nusblp given back\nclaimed, usblp detached\nreleased\nusblp given back\n') \
  "$work/cameo/events.txt" >/dev/null || fail "cameo: events $(cat "$work/cameo/events.txt")"
has cameo err "the job was sent: $(stat -c %s "$work/job.bin") bytes"
run portrait 0 --identification " Portrait 1.00 " --busy-ms 600 -- --send "$design"
job --model 3 "$design"
tail -c "$(stat -c %s "$work/job.bin")" "$work/portrait/received.bin" | cmp -s - "$work/job.bin" || fail "portrait: not the model 3 job"

# Print and Cut: the marks not found twice, the carriage home, then the answer.
run declined 9 --search not-found -- --send --cut-type print-and-cut --no "$design"
[ "$(tail -c 2 "$work/declined/received.bin" | od -An -c | tr -s ' ')" = " H 003" ] || fail "declined: not sent home last"
has declined err "registration marks not found: not cut"
run unasked 9 --search not-found -- --send --cut-type print-and-cut "$design"
has unasked err "answer with --yes or --no"
run accepted 0 --search not-found,found -- --send --cut-type print-and-cut "$design"
job --model 2 --cut-type print-and-cut "$design"
tail -c "$(stat -c %s "$work/job.bin")" "$work/accepted/received.bin" | cmp -s - "$work/job.bin" || fail "accepted: not the job"

# Faults while sending: only what the machine took is reported sent.
run unplugged 3 --unplug-after-bytes 200 -- --send "$design"
job --model 2 "$design"
has unplugged err "the connection was lost after 195 of $(stat -c %s "$work/job.bin") bytes"
head -c 195 "$work/job.bin" | cmp -s - <(tail -c +6 "$work/unplugged/received.bin") || fail "unplugged: not the job's first bytes"
printf 'M 0 0' >"$work/big.path"
for i in $(seq 1 20000); do printf ' L %d.5 %d.25' $((i % 9)) $((i % 7)); done >>"$work/big.path"
run stopped 8 --stop-after-bytes 50000 -- --send --stall-limit 1 "$work/big.path"
has stopped err "the machine stopped taking data for 1 s after 49995 of"
run interrupted 130 --interrupt-after-bytes 40000 --kernel-driver usblp -- --send "$work/big.path"
has interrupted err "interrupted after $(( $(stat -c %s "$work/interrupted/received.bin") - 5 )) of"
grep -v '^exited' "$work/interrupted/events.txt" | tail -2 | tr '\n' ' ' | grep -q "^released usblp given back" || fail "interrupted: not released: $(cat "$work/interrupted/events.txt")"
# Stopped on a command boundary: the job's first bytes, up to an ETX.
ends_on_command() {  # NAME
  job --model 2 "$work/big.path"
  local got=$(( $(stat -c %s "$work/$1/received.bin") - 5 ))
  [ "$(tail -c 1 "$work/$1/received.bin" | od -An -tx1)" = " 03" ] && [ $got -lt "$(stat -c %s "$work/job.bin")" ] &&
    head -c $got "$work/job.bin" | cmp -s - <(tail -c +6 "$work/$1/received.bin") || fail "$1: not the job's first commands"
}
ends_on_command interrupted
# Standard error a pipe closed early: the run ends as on Ctrl-C, never killed
# by SIGPIPE, and writes nothing more.
timeout 60 "$usbsim" --kernel-driver usblp --out "$work/pipe" -- /bin/bash -c \
  'set -o pipefail; "$0" --send "$1" 2>&1 >/dev/null | head -n 1 >/dev/null' "$tool" "$work/big.path" </dev/null
status=$?; [ $status -eq 130 ] || fail "pipe: exit status $status"
grep -v '^exited' "$work/pipe/events.txt" | tail -2 | tr '\n' ' ' | grep -q "^released usblp given back" || fail "pipe: not released: $(cat "$work/pipe/events.txt")"
[ "$(stat -c %s "$work/pipe/received.bin")" -le 5 ] || ends_on_command pipe
# A signal ignored at start (nohup) stays ignored: the job goes whole.
timeout 60 "$usbsim" --busy-ms 600 --signal HUP --signal-after-ms 300 --out "$work/nohup" -- \
  /bin/bash -c 'trap "" HUP; exec "$0" --send "$1"' "$tool" "$design" >/dev/null 2>"$work/nohup.err" </dev/null
status=$?; [ $status -eq 0 ] || fail "nohup: exit status $status ($(tail -1 "$work/nohup.err"))"

# A machine that takes nothing (paused, its buffer full), signalled 1.5 s in:
# exit 130 at once whatever the stage, the device released and the driver
# given back; a second Ctrl-C neither is needed nor breaks the clean-up.
quit_check() {  # NAME STAGE
  has "$1" err "interrupted while $2"
  [ "$(grep -c 'given back' "$work/$1/events.txt")" -eq "$(grep -c 'detached' "$work/$1/events.txt")" ] &&
    grep -q '^released$' "$work/$1/events.txt" || fail "$1: not given back: $(cat "$work/$1/events.txt")"
  local ms; ms=$(sed -n 's/^exited \([0-9]*\) ms after SIG.*/\1/p' "$work/$1/events.txt")
  [ -n "$ms" ] && [ "$ms" -lt 3000 ] || fail "$1: exited ${ms:-?} ms after the signal"
}
run quit-idle 130 --stop-after-bytes 0 --kernel-driver usblp --signal-after-ms 1500,1510 -- --send "$design"
quit_check quit-idle "waiting for the machine to be idle"
before_home=$(( $(stat -c %s "$work/declined/received.bin") - 2 ))
run quit-home 130 --search not-found --stop-after-bytes $before_home --kernel-driver usblp --signal TERM \
  --signal-after-ms 1500 -- --send --cut-type print-and-cut --no "$design"
quit_check quit-home "searching the registration marks"
run quit-job 130 --stop-after-bytes 5 --kernel-driver usblp --signal HUP --signal-after-ms 1500 -- --send "$design"
quit_check quit-job "sending the job; nothing of the job was sent (0 of"

# A stalled endpoint is cleared and the transfer tried again: the job goes whole.
run halted 0 --halt-after-bytes 5 -- --send "$design"
job --model 2 "$design"; got_job halted
grep -q "halt cleared" "$work/halted/events.txt" || fail "halted: $(cat "$work/halted/events.txt")"
# A claim whose alternate setting fails is released, so the driver comes back.
run altsetting 0 --alt-setting-fails --kernel-driver usblp -- --list
has altsetting out "passed over: cannot claim the machine at 1:2"
diff <(printf 'claimed, usblp detached\nalternate setting refused\nreleased\nusblp given back\n') \
  "$work/altsetting/events.txt" >/dev/null || fail "altsetting: events $(cat "$work/altsetting/events.txt")"

# Bad input is refused before the machine is touched, as without --send.
printf 'M 0 0 Q' >"$work/bad.path"
run bad 2 -- --send "$work/bad.path"
# The whole job is made first: a value out of range never reaches the machine.
run wide 2 -- --send --media-width 9000000 "$design"
has wide err "media width"
[ ! -s "$work/wide/events.txt" ] || fail "wide: the machine was touched"
[ ! -s "$work/bad/events.txt" ] || fail "bad: the machine was touched"
[ "$(wc -l <"$work/bad.err")" -eq 1 ] || fail "bad: not one line"
printf '<svg xmlns="http://www.w3.org/2000/svg"><text>A</text></svg>' >"$work/text.svg"
run empty 2 -- --send "$work/text.svg"
[ ! -s "$work/empty/events.txt" ] || fail "empty: the machine was touched"
[ "$(cat "$work/empty.err")" = "vantrel-cut: $work/text.svg: nothing to cut (left out: 1 <text>); nothing was sent" ] ||
  fail "empty: $(cat "$work/empty.err")"

# A job too wide for the media of every model is refused before the machine
# is reached; --yes cuts what fits.
printf 'M 1 1 L 4 13.1 L 1 5 Z\n' >"$work/wide.path"
run too-wide 2 -- --send "$work/wide.path"
has too-wide err "the job does not fit: it reaches 1[23].[0-9]* in across the carriage; the media is 12.00 in wide; nothing was sent"
[ ! -s "$work/too-wide/events.txt" ] || fail "too-wide: the machine was touched"
run wide-yes 0 -- --send --yes "$work/wide.path"

# The doctor: one line per finding with its fix, and the status --help gives.
run doctor-ready 0 --kernel-driver usblp -- --doctor --trace "$work/doctor.trace"
has doctor-ready out "^ok: the device at 1:2 (0b4d:113a): ready to cut on"
has doctor-ready out "^note: .*usblp driver is bound to its printer interface: fine"
grep -q '^[0-9]* id .*MODEL:CAMEO;' "$work/doctor.trace" || fail "doctor: no id in the trace: $(cat "$work/doctor.trace")"
mkdir "$work/rules"
VANTREL_UDEV_RULES_DIRS=$work/rules run doctor-denied 5 --deny-access -- --doctor
has doctor-denied out "^problem: .* may not open /dev/bus/usb/001/002 (.*mode 0000), and no udev rule names vendor 0b4d"
grep -qF "fix: echo '$(grep -v '^#' "$src/packaging/linux/60-vantrel.rules")' | sudo tee /etc/udev/rules.d/" \
  "$work/doctor-denied.out" || fail "doctor-denied: not our rule: $(cat "$work/doctor-denied.out")"
cp "$src/packaging/linux/60-vantrel.rules" "$work/rules/"
VANTREL_UDEV_RULES_DIRS=$work/rules run doctor-ruled 5 --deny-access -- --doctor
has doctor-ruled out "^note: the udev rule in $work/rules/60-vantrel.rules line 6 matches this device: mode 0660, the user"
has doctor-ruled out "not been applied to the device; fix: sudo udevadm control --reload-rules"
run doctor-held 6 --held -- --doctor
has doctor-held out "^problem: .*held by another program; fix: find it with: fuser -v /dev/bus/usb/001/002"
FLATPAK_ID=org.inkscape.Inkscape run doctor-none 4 --no-device -- --doctor
has doctor-none out "^problem: no USB device is visible at all"
has doctor-none out "^problem: running inside the Flatpak sandbox of org.inkscape.Inkscape, .*fix: flatpak override --user --device=all org.inkscape.Inkscape"
run doctor-other 4 --usb-id 04a9:1746 -- --doctor
has doctor-other out "^problem: no USB device of vendor 0b4d; the USB devices present: 04a9:1746 at 1:2; fix: "

# A trace changes nothing of the run; replayed, the simulator answers as the
# machine did, and an edited answer is named where it differs.
run traced 0 -- --send --trace "$work/send.trace" "$design"
job --model 2 "$design"; got_job traced
has traced err "the job was sent"
"$replay" "$work/send.trace" >"$work/replay.out" || fail "replay: $(cat "$work/replay.out")"
has replay out " 0 differences"
sed 's/^\([0-9]* < \)CAMEO V1.10    /\1 Portrait 1.00 /' "$work/send.trace" >"$work/edited.trace"
"$replay" "$work/edited.trace" >"$work/edited.out"; status=$?
[ $status -eq 3 ] || fail "edited trace: exit status $status"
has edited out '^line 7, [0-9]* ms: to the identification request (FG) the machine answered " Portrait 1.00 \\x03"'
run badtrace 2 -- --send --trace "$work/none/send.trace" "$design"
[ ! -s "$work/badtrace/events.txt" ] || fail "badtrace: the machine was touched"

[ $failures -eq 0 ] && echo "all passed"
exit $((failures > 0))
