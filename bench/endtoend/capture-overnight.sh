#!/usr/bin/env bash
# An overnight-style capture run: the real program on Xvfb captures (raw, from the INI file's CAPTURE
# section) a kestrune-sim pattern at 115200 baud for the given minutes, while the device is unplugged and
# plugged back every few minutes and the screen is frozen for a while. At the end the capture file is
# compared byte for byte with everything the device sent. Prints the figures; exits non-zero on a difference.
#
#   bench/endtoend/capture-overnight.sh [--build DIR] [--minutes M] [--keep]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$root/build
minutes=30
keep=0
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$(cd "$2" && pwd); shift 2 ;;
    --minutes) minutes=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    *) echo "capture-overnight: unknown option $1" >&2; exit 2 ;;
  esac
done
program=$build/app/kestrune
sim=$build/tools/kestrune-sim
work=$(mktemp -d "${TMPDIR:-/tmp}/kestrune-capture.XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  if [ "$keep" = 1 ]; then echo "work folder kept: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=:$(head -n1 "$work/display")

rate=11520
seconds=$((minutes * 60))
count=$((rate * (seconds - 30)))
mkdir -p "$work/ports" "$work/captures"
cat >"$work/Kestrune.ini" <<INI
[COM]
Port=COM7
BaudRate=115200
[TERM]
MaxBytes=1023
TrapLF=0
AutoSaveFrequency=0
[LOG]
LogFilePath=.\\Kestrune.log
LogLevel=2
[CAPTURE]
AutoCapture=1
CaptureFolder=.\\captures
CaptureName=%p-overnight.log
CaptureRaw=1
INI
"$sim" --dir "$work/ports" --port 7 --settle-ms 500 --pattern --rate "$rate" --count "$count" >"$work/device.out" 2>&1 &
sim_pid=$!
pids+=($sim_pid)
until grep -q '^COM7 ' "$work/device.out" 2>/dev/null; do sleep 0.05; done
(cd "$work" && KESTRUNE_PORTS=$work/ports KESTRUNE_SNAPSHOT_DIR=$work KESTRUNE_SNAPSHOT_AFTER_MS=$((seconds * 1000)) \
  exec "$program" >"$work/program.out" 2>&1) &
program_pid=$!
pids+=($program_pid)
start=$SECONDS
# Ctrl+S to the main window: freeze, or unfreeze.
press_freeze() {
  local frame
  frame=$(xdotool search --onlyvisible --name Kestrune 2>/dev/null | head -n1) || true
  [ -n "$frame" ] || return 0
  xdotool windowfocus "$frame" 2>/dev/null || true
  sleep 0.2
  xdotool key ctrl+s || true
}
unplugs=0
froze=0
# Every five minutes an unplug of 3 s; at the half, the screen frozen for a minute (the log, at level 2,
# records the freeze and its end).
while kill -0 "$program_pid" 2>/dev/null && [ $((SECONDS - start)) -lt $((seconds - 60)) ]; do
  sleep 20
  elapsed=$((SECONDS - start))
  if [ $((elapsed % 300)) -lt 20 ] && [ "$elapsed" -ge 120 ]; then
    kill -USR1 "$sim_pid"; sleep 3; kill -USR2 "$sim_pid"; unplugs=$((unplugs + 1))
  fi
  if [ "$froze" = 0 ] && [ "$elapsed" -ge $((seconds / 2)) ]; then
    press_freeze; sleep 60; press_freeze; froze=1
  fi
done
wait "$program_pid" || true
kill "$sim_pid" 2>/dev/null || true
wait "$sim_pid" 2>/dev/null || true
total=$(sed -n 's/^total \([0-9]*\)/\1/p' "$work/device.out")
capture=$work/captures/COM7-overnight.log
size=$(stat -c %s "$capture")
"$sim" --stdout --pattern --rate 0 --count "$total" >"$work/sent"
echo "minutes=$minutes rate=$rate unplugs=$unplugs frozen_s=$((froze * 60)) sent=$total captured=$size"
tr '\0' '\n' <"$work/Kestrune.log" | grep -a -E 'Capture|lost|back|freezed' | sed 's/  */ /g' || true
if cmp "$work/sent" "$capture"; then
  echo "window after the freeze: $(stat -c %s "$work/window-1.txt") bytes shown"
  echo "capture equals what was sent, byte for byte"; else exit 1; fi
