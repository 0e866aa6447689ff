#!/usr/bin/env bash
# End-to-end benchmark: the real kestrune program on its own Xvfb display, reading a paced pseudo-terminal
# (kestrune-sim) through a private port folder. For each stream it measures the program's CPU time
# per MB from the first byte to a second after the last (and with the display server's CPU added), checks
# that every byte arrived in time and that the window holds the stream's last bytes byte for byte, and
# prints one table row with its target and PASS or FAIL. Also: peak RSS with two windows whose 1023 KB
# loops are full, and the CPU of an idle window. Capture rows (section CAPTURE of the INI file) check the
# capture file byte for byte against the whole stream and their CPU against the same row without capture.
# Exits non-zero when a row fails.
#
#   bench/endtoend/endtoend.sh [--build DIR] [--quick] [--seconds S] [--only REGEX] [--keep]
#     --quick     5 s per stream instead of 20 (the figures are rougher; the start-up cost weighs more)
#     --only      run only the rows whose name matches the extended regular expression
#     --keep      keep the work folder (ini, log, snapshots, stream tails) and print its path
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$root/build
seconds=20
only=
keep=0
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$(cd "$2" && pwd); shift 2 ;;
    --quick) seconds=5; shift ;;
    --seconds) seconds=$2; shift 2 ;;
    --only) only=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    -h|--help) sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "endtoend: unknown option $1" >&2; exit 2 ;;
  esac
done
program=$build/app/kestrune
sim=$build/tools/kestrune-sim
for file in "$program" "$sim"; do
  [ -x "$file" ] || { echo "endtoend: $file missing (cmake --build $build --target kestrune kestrune-sim)" >&2; exit 2; }
done
command -v Xvfb >/dev/null || { echo "endtoend: Xvfb missing (apt-get install xvfb)" >&2; exit 2; }

# The loop holds 1023 KB: what the window keeps of a longer stream.
loop_bytes=$((1023 * 1024))
work=$(mktemp -d "${TMPDIR:-/tmp}/kestrune-endtoend.XXXXXX")
xvfb_pid=
pids=()
cleanup() {
  for pid in "${pids[@]}" $xvfb_pid; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  if [ "$keep" = 1 ]; then echo "work folder kept: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A display of our own: Xvfb picks a free number and tells it through a descriptor.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.05
done
[ -s "$work/display" ] || { echo "endtoend: Xvfb did not start" >&2; exit 2; }
export DISPLAY=:$(head -n1 "$work/display")

write_ini() { # folder port [capture: text or raw]
  local capture=${3:-}
  cat >"$1/Kestrune.ini" <<INI
[COM]
Port=COM$2
BaudRate=115200
ByteSize=8
Parity=0
StopBit=0
[TERM]
MaxBytes=1023
TrapLF=0
TrapCR=0
AddTimestamp=0
TimestampFormat=%H:%M:%S = 
TimestampMinDataInterval=100
FilterByte=0
FilteredBytesList=
AutoSaveFrequency=0
[LOG]
LogFilePath=./Kestrune.log
ArchiveLogFilePath=./ARCH_Kestrune.log
LogLevel=1
INI
  [ -z "$capture" ] || cat >>"$1/Kestrune.ini" <<INI
[CAPTURE]
AutoCapture=1
CaptureFolder=.
CaptureName=capture-%p.log
CaptureRaw=$([ "$capture" = raw ] && echo 1 || echo 0)
INI
}

# Checks that the capture file of COM<port> is the whole stream the writer sent, byte for byte; prints the
# reason when not. With no translation, filter or timestamp the window's shaped text is the stream itself.
capture_matches() { # folder port kind sent_bytes
  local file=$1/capture-COM$2.log mode
  [ -f "$file" ] || { echo "no capture file"; return 1; }
  case $3 in
    lines) mode=(--pattern) ;;
    raw) mode=(--pattern --no-line-ends) ;;
  esac
  local differ
  differ=$("$sim" --stdout "${mode[@]}" --rate 0 --count "$4" | cmp - "$file" 2>&1 | head -n1)
  [ -z "$differ" ] || { echo "capture: $differ"; return 1; }
}

# CPU seconds of the rows without capture, by name, to weigh the capture rows against.
declare -A base_cpu

# User plus system time of a process in clock ticks, empty when it cannot be read.
cpu_ticks() { # pid
  local stat fields
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 0
  read -r -a fields <<<"${stat##*) }"
  # After the command name the fields count from 3 (the state): utime is field 14, stime field 15.
  echo $((fields[11] + fields[12]))
}

# A writer: the simulated device on COM<port>, paced from the moment the program opens it, and beside it the
# measurement of the reader: the program's CPU time (and the display server's) from the first byte to a
# second after the last, and its peak resident size, as one "result" line. The stream's tail goes to
# tail-<port>, for comparing with what the window shows. Runs until it is sent SIGTERM.
run_writer() { # folder port kind seconds device-mode...
  local dir=$1 port=$2 kind=$3 seconds=$4
  shift 4
  local out=$dir/device-$port.out
  "$sim" --dir "$dir/ports" --port "$port" --settle-ms 0 "$@" >"$out" 2>/dev/null &
  local device=$!
  trap 'kill $device 2>/dev/null; exit 0' TERM
  local waited=0
  until grep -q "^COM$port " "$out" 2>/dev/null; do
    [ $((waited += 1)) -le 100 ] || { echo "error device-did-not-start"; return 1; }
    sleep 0.05
  done
  echo "ready $dir/ports/COM$port"
  waited=0
  until grep -q '^reader' "$out"; do
    [ $((waited += 1)) -le 3000 ] || { echo "error reader-never-opened"; kill $device; return 1; }
    sleep 0.01
  done
  local pid cpu display start
  pid=$(cat "$dir/program.pid")
  cpu=$(cpu_ticks "$pid"); display=$(cpu_ticks "$xvfb_pid"); start=$(date +%s.%N)
  local bytes=0 elapsed=$seconds
  if [ "$kind" = idle ]; then
    sleep "$seconds"
  else
    until grep -q '^finished' "$out"; do sleep 0.05; done
    read -r _ bytes elapsed < <(grep '^finished' "$out")
  fi
  sleep 1
  local window
  window=$(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN{printf "%.3f", e - s}')
  cpu=$(($(cpu_ticks "$pid") - cpu)); display=$(($(cpu_ticks "$xvfb_pid") - display))
  printf 'result bytes=%s elapsed=%s window=%s cpu=%s display_cpu=%s hwm_kb=%s rss_kb=%s\n' "$bytes" "$elapsed" \
    "$window" "$(awk -v t="$cpu" -v h="$(getconf CLK_TCK)" 'BEGIN{printf "%.3f", t/h}')" \
    "$(awk -v t="$display" -v h="$(getconf CLK_TCK)" 'BEGIN{printf "%.3f", t/h}')" \
    "$(sed -n 's/^VmHWM:[[:space:]]*\([0-9]*\).*/\1/p' "/proc/$pid/status")" \
    "$(sed -n 's/^VmRSS:[[:space:]]*\([0-9]*\).*/\1/p' "/proc/$pid/status")"
  [ "$kind" = idle ] || "$sim" --stdout "$@" --count "$bytes" | tail -c $((2 << 20)) >"$dir/tail-$port"
  wait $device
}

# Starts a writer on COM<port> in the case folder; sets writer_pid. Waits until its link exists.
start_writer() { # folder port kind rate seconds
  local dir=$1 port=$2 kind=$3 rate=$4 mode
  local count
  count=$(awk -v r="$rate" -v s="$5" 'BEGIN{printf "%d", r*s}')
  case $kind in
    lines) mode=(--pattern --rate "$rate" --count "$count") ;;
    raw) mode=(--pattern --no-line-ends --rate "$rate" --count "$count") ;;
    log) mode=(--log --rate "$rate" --count "$count") ;;
    idle) mode=(--file /dev/null --rate 0) ;;
  esac
  run_writer "$dir" "$port" "$kind" "$5" "${mode[@]}" >"$dir/writer-$port.out" 2>&1 &
  writer_pid=$!
  pids+=("$writer_pid")
  for _ in $(seq 100); do
    grep -q '^ready' "$dir/writer-$port.out" 2>/dev/null && return 0
    sleep 0.05
  done
  echo "endtoend: writer on COM$port did not start" >&2
  return 1
}

# Starts the program in the case folder with its snapshot after the given milliseconds; sets program_pid.
start_program() { # folder after_ms
  local dir=$1
  (cd "$dir" && KESTRUNE_PORTS=$dir/ports KESTRUNE_SNAPSHOT_DIR=$dir KESTRUNE_SNAPSHOT_AFTER_MS=$2 \
    exec "$program" >"$dir/program.out" 2>&1) &
  program_pid=$!
  pids+=("$program_pid")
  echo "$program_pid" >"$dir/program.pid"
}

# Waits for a process to end, at most the given seconds; kills it after that. Fails when it had to.
wait_bounded() { # pid seconds
  local pid=$1 limit=$2 waited=0
  while kill -0 "$pid" 2>/dev/null; do
    if [ "$waited" -ge $((limit * 10)) ]; then
      kill -9 "$pid" 2>/dev/null || true
      wait "$pid" 2>/dev/null || true
      return 1
    fi
    sleep 0.1
    waited=$((waited + 1))
  done
  wait "$pid" 2>/dev/null || true
}

# A field of the writer's result line.
field() { # file name
  sed -n "s/^result .*\b$2=\([^ ]*\).*/\1/p" "$1"
}

status=0
printf '%-22s %10s %8s %8s %8s %8s %8s %9s  %-32s %s\n' row MB sent_s cpu_s s/MB s/MB+X core% rss_MB target result
row() { # name mb sent cpu spm spmx core rss target verdict
  printf '%-22s %10s %8s %8s %8s %8s %8s %9s  %-32s %s\n' "$@"
  [ "${10}" = PASS ] || status=1
}
wanted() { [ -z "$only" ] || [[ $1 =~ $only ]]; }

# Checks that window-N.txt is the last bytes of the stream the writer kept; prints the reason when not.
window_matches() { # folder window port sent_bytes
  local text=$1/window-$2.txt tail=$1/tail-$3 expect
  expect=$(($4 < loop_bytes ? $4 : loop_bytes))
  [ -f "$text" ] || { echo "no window text"; return 1; }
  local have
  have=$(stat -c %s "$text")
  [ "$have" -eq "$expect" ] || { echo "window holds $have bytes, expected $expect"; return 1; }
  local differ
  differ=$(tail -c "$expect" "$tail" | cmp - "$text" 2>&1 | sed -n 's/.*differ: byte \([0-9]*\).*/\1/p')
  [ -z "$differ" ] || { echo "window text differs from the stream's last $expect bytes from byte $differ on"; return 1; }
}

# One stream into one window. The verdict weighs the figure the target names.
stream_case() { # name kind rate target-kind limit [capture base-row]
  local name=$1 kind=$2 rate=$3 check=$4 limit=$5 capture=${6:-} base=${7:-} dir=$work/$1
  wanted "$name" || return 0
  mkdir -p "$dir/ports"
  write_ini "$dir" 7 "$capture"
  start_writer "$dir" 7 "$kind" "$rate" "$seconds" || { row "$name" - - - - - - - "$check" FAIL; return; }
  local wpid=$writer_pid
  start_program "$dir" $((seconds * 1000 + 8000))
  local ok=1 reason=
  wait_bounded "$program_pid" $((seconds + 40)) || { ok=0; reason="program did not end by itself"; }
  kill "$wpid" 2>/dev/null || true
  wait "$wpid" 2>/dev/null || true
  local out=$dir/writer-7.out
  if ! grep -q '^result' "$out"; then
    row "$name" - - - - - - - "$check" FAIL
    echo "    $(tail -n1 "$out")"
    return
  fi
  local bytes elapsed window cpu xcpu hwm
  bytes=$(field "$out" bytes); elapsed=$(field "$out" elapsed); window=$(field "$out" window)
  cpu=$(field "$out" cpu); xcpu=$(field "$out" display_cpu); hwm=$(field "$out" hwm_kb)
  local expected mb spm spmx core rss
  expected=$(awk -v r="$rate" -v s="$seconds" 'BEGIN{printf "%d", r*s}')
  mb=$(awk -v b="$bytes" 'BEGIN{printf "%.2f", b/1e6}')
  spm=$(awk -v c="$cpu" -v b="$bytes" 'BEGIN{printf "%.3f", (b > 0) ? c / (b / 1e6) : 0}')
  spmx=$(awk -v c="$cpu" -v x="$xcpu" -v b="$bytes" 'BEGIN{printf "%.3f", (b > 0) ? (c + x) / (b / 1e6) : 0}')
  core=$(awk -v c="$cpu" -v w="$window" 'BEGIN{printf "%.2f", 100*c/w}')
  rss=$(awk -v k="$hwm" 'BEGIN{printf "%.1f", k/1024}')
  if [ "$bytes" -ne "$expected" ]; then ok=0; reason="sent $bytes of $expected bytes"; fi
  # Kept up: the last byte left no later than a quarter second after its time.
  if awk -v e="$elapsed" -v s="$seconds" 'BEGIN{exit !(e > s + 0.25)}'; then
    ok=0; reason="${reason:+$reason; }fell behind: $elapsed s to send $seconds s of data"
  fi
  # Records are NUL-padded: a drop episode, or a closing record that counts lost bytes.
  if tr '\0' '\n' <"$dir/Kestrune.log" 2>/dev/null |
    grep -a -q -E 'input queue full|closed: [0-9]+ bytes received, [1-9][0-9]* bytes lost'; then
    ok=0; reason="${reason:+$reason; }the log reports lost bytes"
  fi
  local mismatch
  if ! mismatch=$(window_matches "$dir" 1 7 "$bytes"); then ok=0; reason="${reason:+$reason; }$mismatch"; fi
  if [ -n "$capture" ] && ! mismatch=$(capture_matches "$dir" 7 "$kind" "$bytes"); then
    ok=0; reason="${reason:+$reason; }$mismatch"
  fi
  [ -n "$capture" ] || base_cpu[$name]=$cpu
  local target verdict
  case $check in
    spm) target="<= $limit s/MB, exact tail" ; awk -v v="$spm" -v l="$limit" 'BEGIN{exit !(v <= l)}' || ok=0 ;;
    spmx) target="<= ${limit%/*} s/MB, +X <= ${limit#*/}"
          awk -v v="$spm" -v w="$spmx" -v l="${limit%/*}" -v m="${limit#*/}" 'BEGIN{exit !(v <= l && w <= m)}' || ok=0 ;;
    core) target="no loss, < $limit% core"; awk -v v="$core" -v l="$limit" 'BEGIN{exit !(v < l)}' || ok=0 ;;
    loss) target="no loss, exact tail" ;;
    capture) target="no loss, exact file, cpu <= base + 10%"
             if [ -z "${base_cpu[$base]:-}" ]; then
               ok=0; reason="${reason:+$reason; }row $base not run"
             else
               local ratio
               ratio=$(awk -v c="$cpu" -v b="${base_cpu[$base]}" 'BEGIN{printf "%.3f", (b > 0) ? c / b : 99}')
               reason="${reason:+$reason; }cpu ${ratio} x $base (${base_cpu[$base]} s)"
               awk -v r="$ratio" 'BEGIN{exit !(r <= 1.10)}' || ok=0
             fi ;;
  esac
  verdict=$([ "$ok" = 1 ] && echo PASS || echo FAIL)
  row "$name" "$mb" "$elapsed" "$cpu" "$spm" "$spmx" "$core" "$rss" "$target" "$verdict"
  [ -z "$reason" ] || echo "    $reason"
}

# A window on a port that stays silent: its whole cost is the wake-ups.
idle_case() {
  local name=idle dir=$work/idle
  wanted "$name" || return 0
  mkdir -p "$dir/ports"
  write_ini "$dir" 7
  start_writer "$dir" 7 idle 0 "$seconds" || { row "$name" - - - - - - - "< 0.3% core" FAIL; return; }
  local wpid=$writer_pid
  # The measurement starts when the port opens; the first second after start-up is let pass.
  start_program "$dir" $((seconds * 1000 + 6000))
  wait_bounded "$program_pid" $((seconds + 40)) || true
  kill "$wpid" 2>/dev/null || true
  wait "$wpid" 2>/dev/null || true
  local out=$dir/writer-7.out cpu window core
  cpu=$(field "$out" cpu); window=$(field "$out" window)
  if [ -z "$cpu" ]; then row "$name" - - - - - - - "< 0.3% core" FAIL; return; fi
  core=$(awk -v c="$cpu" -v w="$window" 'BEGIN{printf "%.2f", 100*c/w}')
  local verdict
  verdict=$(awk -v v="$core" 'BEGIN{print (v < 0.3) ? "PASS" : "FAIL"}')
  row "$name" 0 "$window" "$cpu" - - "$core" "$(awk -v k="$(field "$out" hwm_kb)" 'BEGIN{printf "%.1f", k/1024}')" \
    "< 0.3% core" "$verdict"
}

# Two windows whose loops are full: the first on the INI's COM7, the second opened with Ctrl+N on COM1 (the
# first entry of the settings dialog's port list). Peak RSS is read just before the snapshot.
two_windows_case() {
  local name=two-windows dir=$work/two-windows target="peak RSS <= 60 MB, exact tails"
  wanted "$name" || return 0
  if ! command -v xdotool >/dev/null; then
    row "$name" - - - - - - - "$target" FAIL
    echo "    xdotool missing (apt-get install xdotool)"
    return
  fi
  mkdir -p "$dir/ports"
  write_ini "$dir" 7
  local fill=3 # seconds at 500 KB/s: 1.5 MB, past each 1023 KB loop
  start_writer "$dir" 7 raw 500000 "$fill" || { row "$name" - - - - - - - "$target" FAIL; return; }
  local first=$writer_pid
  start_writer "$dir" 1 lines 500000 "$fill" || { row "$name" - - - - - - - "$target" FAIL; return; }
  local second=$writer_pid
  local after=$((fill * 1000 + 12000))
  start_program "$dir" "$after"
  local started=$SECONDS reason=
  # The second window: once the first is open, Ctrl+N, then COM1 typed into the port box, Return is OK.
  local frame=
  for _ in $(seq 100); do
    frame=$(xdotool search --onlyvisible --name Kestrune 2>/dev/null | head -n1) && [ -n "$frame" ] && break
    sleep 0.1
  done
  sleep 1
  if [ -n "$frame" ]; then
    xdotool windowfocus "$frame" key ctrl+n
    sleep 1.5
    xdotool type --delay 50 COM1
    sleep 0.3
    xdotool key Return
  else
    reason="no main window"
  fi
  # Peak RSS a moment before the snapshot, when both loops have long been full.
  while [ $((SECONDS - started)) -lt $((after / 1000 - 2)) ] && kill -0 "$program_pid" 2>/dev/null; do
    sleep 0.2
  done
  local hwm
  hwm=$(sed -n 's/^VmHWM:[[:space:]]*\([0-9]*\) kB/\1/p' "/proc/$program_pid/status" 2>/dev/null || true)
  wait_bounded "$program_pid" 40 || reason="${reason:+$reason; }program did not end by itself"
  kill "$first" "$second" 2>/dev/null || true
  wait "$first" "$second" 2>/dev/null || true
  local ok=1 mismatch port number=1 bytes
  for port in 7 1; do
    bytes=$(field "$dir/writer-$port.out" bytes)
    if [ -z "$bytes" ]; then
      ok=0; reason="${reason:+$reason; }COM$port: $(tail -n1 "$dir/writer-$port.out")"
    elif ! mismatch=$(window_matches "$dir" "$number" "$port" "$bytes"); then
      ok=0; reason="${reason:+$reason; }window $number: $mismatch"
    fi
    number=$((number + 1))
  done
  [ -z "$reason" ] || ok=0
  local rss=-
  [ -z "$hwm" ] || rss=$(awk -v k="$hwm" 'BEGIN{printf "%.1f", k/1024}')
  [ "$rss" != - ] && awk -v v="$rss" 'BEGIN{exit !(v <= 60)}' || ok=0
  row "$name" 3.00 - - - - - "$rss" "$target" "$([ "$ok" = 1 ] && echo PASS || echo FAIL)"
  [ -z "$reason" ] || echo "    $reason"
}

# Two windows at 1 MB/s each, both capturing (text) or neither: the program's CPU from the moment both ports
# are read to a second after both streams ended. The capture row weighs it against the row without.
two_streams_case() { # name capture
  local name=$1 capture=$2 dir=$work/$1 target
  target=$([ -n "$capture" ] && echo "no loss, exact files, cpu <= base + 10%" || echo "no loss, exact tails")
  wanted "$name" || return 0
  command -v xdotool >/dev/null || { row "$name" - - - - - - - "$target" FAIL; echo "    xdotool missing"; return; }
  mkdir -p "$dir/ports"
  write_ini "$dir" 7 "$capture"
  start_writer "$dir" 7 lines 1000000 "$seconds" || { row "$name" - - - - - - - "$target" FAIL; return; }
  local first=$writer_pid
  start_writer "$dir" 1 lines 1000000 "$seconds" || { row "$name" - - - - - - - "$target" FAIL; return; }
  local second=$writer_pid
  start_program "$dir" $((seconds * 1000 + 15000))
  local frame= reason=
  for _ in $(seq 100); do
    frame=$(xdotool search --onlyvisible --name Kestrune 2>/dev/null | head -n1) && [ -n "$frame" ] && break
    sleep 0.1
  done
  sleep 1
  if [ -n "$frame" ]; then
    xdotool windowfocus "$frame" key ctrl+n; sleep 1.5; xdotool type --delay 50 COM1; sleep 0.3; xdotool key Return
  else
    reason="no main window"
  fi
  until grep -q '^reader' "$dir/device-1.out" 2>/dev/null || ! kill -0 "$program_pid" 2>/dev/null; do sleep 0.01; done
  local cpu start
  cpu=$(cpu_ticks "$program_pid"); start=$(date +%s.%N)
  until { grep -q '^finished' "$dir/device-7.out" && grep -q '^finished' "$dir/device-1.out"; } ||
    ! kill -0 "$program_pid" 2>/dev/null; do sleep 0.05; done
  sleep 1
  cpu=$(awk -v t="$(($(cpu_ticks "$program_pid") - cpu))" -v h="$(getconf CLK_TCK)" 'BEGIN{printf "%.3f", t/h}')
  local window
  window=$(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN{printf "%.3f", e - s}')
  wait_bounded "$program_pid" 60 || reason="${reason:+$reason; }program did not end by itself"
  kill "$first" "$second" 2>/dev/null || true
  wait "$first" "$second" 2>/dev/null || true
  local ok=1 port number=1 bytes total=0 mismatch
  for port in 7 1; do
    bytes=$(field "$dir/writer-$port.out" bytes)
    if [ -z "$bytes" ]; then
      ok=0; reason="${reason:+$reason; }COM$port: $(tail -n1 "$dir/writer-$port.out")"; continue
    fi
    total=$((total + bytes))
    [ "$bytes" -eq $((1000000 * seconds)) ] || { ok=0; reason="${reason:+$reason; }COM$port sent $bytes"; }
    if ! mismatch=$(window_matches "$dir" "$number" "$port" "$bytes"); then
      ok=0; reason="${reason:+$reason; }window $number: $mismatch"
    fi
    if [ -n "$capture" ] && ! mismatch=$(capture_matches "$dir" "$port" lines "$bytes"); then
      ok=0; reason="${reason:+$reason; }COM$port $mismatch"
    fi
    number=$((number + 1))
  done
  if tr '\0' '\n' <"$dir/Kestrune.log" 2>/dev/null |
    grep -a -q -E 'input queue full|closed: [0-9]+ bytes received, [1-9][0-9]* bytes lost'; then
    ok=0; reason="${reason:+$reason; }the log reports lost bytes"
  fi
  if [ -z "$capture" ]; then
    base_cpu[$name]=$cpu
  elif [ -n "${base_cpu[two-1MB]:-}" ]; then
    local ratio
    ratio=$(awk -v c="$cpu" -v b="${base_cpu[two-1MB]}" 'BEGIN{printf "%.3f", (b > 0) ? c / b : 99}')
    reason="${reason:+$reason; }cpu ${ratio} x two-1MB (${base_cpu[two-1MB]} s)"
    awk -v r="$ratio" 'BEGIN{exit !(r <= 1.10)}' || ok=0
  else
    ok=0; reason="${reason:+$reason; }row two-1MB not run"
  fi
  local mb spm core
  mb=$(awk -v b="$total" 'BEGIN{printf "%.2f", b/1e6}')
  spm=$(awk -v c="$cpu" -v b="$total" 'BEGIN{printf "%.3f", (b > 0) ? c / (b / 1e6) : 0}')
  core=$(awk -v c="$cpu" -v w="$window" 'BEGIN{printf "%.2f", 100*c/w}')
  row "$name" "$mb" - "$cpu" "$spm" - "$core" - "$target" "$([ "$ok" = 1 ] && echo PASS || echo FAIL)"
  [ -z "$reason" ] || echo "    $reason"
}

stream_case lines-11.5KB lines 11520 spm 1.0
stream_case raw-11.5KB raw 11520 spm 1.0
stream_case lines-92KB lines 92160 spm 0.2
stream_case raw-92KB raw 92160 spm 0.2
stream_case coloured-92KB log 92160 loss -
stream_case coloured-300KB log 300000 spm 0.08
stream_case lines-300KB lines 300000 spmx 0.07/0.08
stream_case raw-300KB raw 300000 spmx 0.07/0.08
stream_case lines-1MB lines 1000000 core 15
stream_case raw-1MB raw 1000000 core 15
stream_case lines-2MB lines 2000000 loss -
stream_case raw-2MB raw 2000000 loss -
stream_case lines-1MB-text-capture lines 1000000 capture - text lines-1MB
stream_case raw-1MB-raw-capture raw 1000000 capture - raw raw-1MB
stream_case lines-2MB-text-capture lines 2000000 capture - text lines-2MB
stream_case raw-2MB-raw-capture raw 2000000 capture - raw raw-2MB
idle_case
two_windows_case
two_streams_case two-1MB ""
two_streams_case two-1MB-text-capture text
exit $status
