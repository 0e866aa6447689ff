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

# User plus system time of a process in clock ticks, empty when it cannot be read.
cpu_ticks() { # pid
  local stat fields
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 0
  read -r -a fields <<<"${stat##*) }"
  # After the command name the fields count from 3 (the state): utime is field 14, stime field 15.
  echo $((fields[11] + fields[12]))
}

# CPU seconds the process's threads with the given name have spent since they started, empty when it has none.
thread_cpu() { # pid name
  local task stat fields ticks=
  for task in /proc/"$1"/task/*; do
    [ "$(cat "$task/comm" 2>/dev/null)" = "$2" ] || continue
    stat=$(cat "$task/stat" 2>/dev/null) || continue
    read -r -a fields <<<"${stat##*) }"
    ticks=$((${ticks:-0} + fields[11] + fields[12]))
  done
  [ -z "$ticks" ] || awk -v t="$ticks" -v h="$(getconf CLK_TCK)" 'BEGIN{printf "%.3f", t/h}'
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
  local capture_cpu
  capture_cpu=$(thread_cpu "$pid" capture)
  cpu=$(($(cpu_ticks "$pid") - cpu)); display=$(($(cpu_ticks "$xvfb_pid") - display))
  printf 'result bytes=%s elapsed=%s window=%s cpu=%s display_cpu=%s hwm_kb=%s rss_kb=%s capture_cpu=%s\n' "$bytes" "$elapsed" \
    "$window" "$(awk -v t="$cpu" -v h="$(getconf CLK_TCK)" 'BEGIN{printf "%.3f", t/h}')" \
    "$(awk -v t="$display" -v h="$(getconf CLK_TCK)" 'BEGIN{printf "%.3f", t/h}')" \
    "$(sed -n 's/^VmHWM:[[:space:]]*\([0-9]*\).*/\1/p' "/proc/$pid/status")" \
    "$(sed -n 's/^VmRSS:[[:space:]]*\([0-9]*\).*/\1/p' "/proc/$pid/status")" "$capture_cpu"
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

# Starts one stream into one window in the folder: the writer on COM7, then the program; sets stream_writer
# and program_pid.
stream_start() { # folder kind rate [capture]
  local dir=$1
  mkdir -p "$dir/ports"
  write_ini "$dir" 7 "${4:-}"
  start_writer "$dir" 7 "$2" "$3" "$seconds" || return 1
  stream_writer=$writer_pid
  start_program "$dir" $((seconds * 1000 + 8000))
}

# Waits for a started stream to end and checks it. Sets the figures as s_bytes, s_elapsed, s_window, s_cpu,
# s_xcpu, s_hwm and s_capture_cpu, and s_reason: why the stream failed, empty when it did not.
stream_end() { # folder kind rate writer program [capture]
  local dir=$1 kind=$2 rate=$3 wpid=$4 ppid=$5 capture=${6:-}
  s_reason="" s_bytes="" s_cpu=""
  wait_bounded "$ppid" $((seconds + 40)) || s_reason="program did not end by itself"
  kill "$wpid" 2>/dev/null || true
  wait "$wpid" 2>/dev/null || true
  local out=$dir/writer-7.out
  if ! grep -q '^result' "$out"; then
    s_reason="${s_reason:+$s_reason; }$(tail -n1 "$out")"
    return
  fi
  s_bytes=$(field "$out" bytes); s_elapsed=$(field "$out" elapsed); s_window=$(field "$out" window)
  s_cpu=$(field "$out" cpu); s_xcpu=$(field "$out" display_cpu); s_hwm=$(field "$out" hwm_kb)
  s_capture_cpu=$(field "$out" capture_cpu)
  local expected
  expected=$(awk -v r="$rate" -v s="$seconds" 'BEGIN{printf "%d", r*s}')
  [ "$s_bytes" -eq "$expected" ] || s_reason="${s_reason:+$s_reason; }sent $s_bytes of $expected bytes"
  # Kept up: the last byte left no later than a quarter second after its time.
  if awk -v e="$s_elapsed" -v s="$seconds" 'BEGIN{exit !(e > s + 0.25)}'; then
    s_reason="${s_reason:+$s_reason; }fell behind: $s_elapsed s to send $seconds s of data"
  fi
  # Records are NUL-padded: a drop episode, or a closing record that counts lost bytes.
  if tr '\0' '\n' <"$dir/Kestrune.log" 2>/dev/null |
    grep -a -q -E 'input queue full|closed: [0-9]+ bytes received, [1-9][0-9]* bytes lost'; then
    s_reason="${s_reason:+$s_reason; }the log reports lost bytes"
  fi
  local mismatch
  if ! mismatch=$(window_matches "$dir" 1 7 "$s_bytes"); then s_reason="${s_reason:+$s_reason; }$mismatch"; fi
  if [ -n "$capture" ] && ! mismatch=$(capture_matches "$dir" 7 "$kind" "$s_bytes"); then
    s_reason="${s_reason:+$s_reason; }$mismatch"
  fi
}

# s/MB of the figures stream_end set, and the share of a core.
stream_figures() {
  s_mb=$(awk -v b="$s_bytes" 'BEGIN{printf "%.2f", b/1e6}')
  s_spm=$(awk -v c="$s_cpu" -v b="$s_bytes" 'BEGIN{printf "%.3f", (b > 0) ? c / (b / 1e6) : 0}')
  s_spmx=$(awk -v c="$s_cpu" -v x="$s_xcpu" -v b="$s_bytes" 'BEGIN{printf "%.3f", (b > 0) ? (c + x) / (b / 1e6) : 0}')
  s_core=$(awk -v c="$s_cpu" -v w="$s_window" 'BEGIN{printf "%.2f", 100*c/w}')
  s_rss=$(awk -v k="$s_hwm" 'BEGIN{printf "%.1f", k/1024}')
}

# One stream into one window. The verdict weighs the figure the target names.
stream_case() { # name kind rate target-kind limit
  local name=$1 kind=$2 rate=$3 check=$4 limit=$5 dir=$work/$1
  wanted "$name" || return 0
  stream_start "$dir" "$kind" "$rate" || { row "$name" - - - - - - - "$check" FAIL; return; }
  stream_end "$dir" "$kind" "$rate" "$stream_writer" "$program_pid"
  if [ -z "$s_cpu" ]; then row "$name" - - - - - - - "$check" FAIL; echo "    $s_reason"; return; fi
  stream_figures
  local ok target
  ok=$([ -z "$s_reason" ] && echo 1 || echo 0)
  case $check in
    spm) target="<= $limit s/MB, exact tail" ; awk -v v="$s_spm" -v l="$limit" 'BEGIN{exit !(v <= l)}' || ok=0 ;;
    spmx) target="<= ${limit%/*} s/MB, +X <= ${limit#*/}"
          awk -v v="$s_spm" -v w="$s_spmx" -v l="${limit%/*}" -v m="${limit#*/}" 'BEGIN{exit !(v <= l && w <= m)}' || ok=0 ;;
    core) target="no loss, < $limit% core"; awk -v v="$s_core" -v l="$limit" 'BEGIN{exit !(v < l)}' || ok=0 ;;
    loss) target="no loss, exact tail" ;;
  esac
  row "$name" "$s_mb" "$s_elapsed" "$s_cpu" "$s_spm" "$s_spmx" "$s_core" "$s_rss" "$target" \
    "$([ "$ok" = 1 ] && echo PASS || echo FAIL)"
  [ -z "$s_reason" ] || echo "    $s_reason"
}

# The CPU a capture adds is a few per cent, less than what the same row moves from one run to the next on a
# shared machine (15-20%, step-wise). So a capture row runs beside a twin: the same stream into a second
# program without capture, started together, so that whatever the machine does weighs on both. Two programs
# side by side still differ by about 5% (and the one started second tends to spend a little more), so the row
# runs twice, the capture started second and then first, and the verdict takes the ratio of the two
# programs' CPU over both rounds. The capture thread's own CPU is shown beside it. The display server serves
# both programs, so its share (s/MB+X) is not given for these rows.
capture_case() { # name kind rate capture
  local name=$1 kind=$2 rate=$3 capture=$4 target="no loss, exact file, cpu <= twin + 10%"
  wanted "$name" || return 0
  local round order side
  tw_reason='' tw_capture=0 tw_twin=0 tw_thread=0
  for round in 1 2; do
    order=$([ "$round" = 1 ] && echo "twin capture" || echo "capture twin")
    declare -A side_writer=() side_program=()
    for side in $order; do
      if ! stream_start "$work/$name/$round-$side" "$kind" "$rate" "$([ "$side" = capture ] && echo "$capture")"; then
        row "$name" - - - - - - - "$target" FAIL
        return
      fi
      side_writer[$side]=$stream_writer side_program[$side]=$program_pid
    done
    for side in twin capture; do
      stream_end "$work/$name/$round-$side" "$kind" "$rate" "${side_writer[$side]}" "${side_program[$side]}" \
        "$([ "$side" = capture ] && echo "$capture")"
      twin_tally "$round" "$side" "$s_cpu" "$s_reason" "$s_capture_cpu"
    done
  done
  if [ -z "$s_cpu" ]; then row "$name" - - - - - - - "$target" FAIL; echo "    $tw_reason"; return; fi
  # The row's figures are the capture's last round, its CPU the mean of both.
  s_cpu=$(awk -v c="$tw_capture" 'BEGIN{printf "%.3f", c / 2}')
  stream_figures
  row "$name" "$s_mb" "$s_elapsed" "$s_cpu" "$s_spm" - "$s_core" "$s_rss" "$target" "$(twin_verdict)"
  twin_explain "capture thread"
}

# Adds one side of a round to the totals of a twin comparison (tw_capture, tw_twin, tw_thread: CPU seconds)
# and its failures to tw_reason.
twin_tally() { # round side cpu reason capture-thread-cpu
  [ -z "$4" ] || tw_reason="${tw_reason:+$tw_reason; }round $1, $2: $4"
  if [ -z "$3" ]; then
    tw_reason="${tw_reason:+$tw_reason; }round $1, $2: no figures"
  elif [ "$2" = twin ]; then
    tw_twin=$(awk -v a="$tw_twin" -v b="$3" 'BEGIN{printf "%.3f", a + b}')
  else
    tw_capture=$(awk -v a="$tw_capture" -v b="$3" 'BEGIN{printf "%.3f", a + b}')
    tw_thread=$(awk -v a="$tw_thread" -v b="${5:-0}" 'BEGIN{printf "%.3f", a + b}')
  fi
}

# PASS when nothing failed and the capture spent at most 10% more CPU than its twin; else FAIL.
twin_verdict() {
  [ -z "$tw_reason" ] && awk -v c="$tw_capture" -v b="$tw_twin" 'BEGIN{exit !(b > 0 && c / b <= 1.10)}' &&
    echo PASS || echo FAIL
}

# The lines under a twin row: the ratio with its figures, then what failed.
twin_explain() { # name-of-the-capture-threads
  echo "    cpu $(awk -v c="$tw_capture" -v b="$tw_twin" 'BEGIN{printf "%.3f", (b > 0) ? c / b : 99}') x the twin" \
    "without capture over two rounds ($tw_capture s against $tw_twin s); $1 $tw_thread s"
  [ -z "$tw_reason" ] || echo "    $tw_reason"
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

# Starts a program with two windows at 1 MB/s each in the folder: COM7 from the INI file, COM1 opened with
# Ctrl+N; sets program_pid and two_writers. Its measurement runs in the background into measure.out.
two_streams_start() { # folder [capture]
  local dir=$1
  mkdir -p "$dir/ports"
  write_ini "$dir" 7 "${2:-}"
  start_writer "$dir" 7 lines 1000000 "$seconds" || return 1
  two_writers=$writer_pid
  start_writer "$dir" 1 lines 1000000 "$seconds" || return 1
  two_writers="$two_writers $writer_pid"
  start_program "$dir" $((seconds * 1000 + 15000))
  local frame=
  for _ in $(seq 100); do
    frame=$(xdotool search --all --onlyvisible --pid "$program_pid" --name Kestrune 2>/dev/null | head -n1) &&
      [ -n "$frame" ] && break
    sleep 0.1
  done
  [ -n "$frame" ] || { echo "no main window" >"$dir/measure.out"; return 1; }
  sleep 1
  xdotool windowfocus "$frame" key ctrl+n; sleep 1.5; xdotool type --delay 50 COM1; sleep 0.3; xdotool key Return
  two_streams_measure "$dir" "$program_pid" >"$dir/measure.out" &
  pids+=($!)
}

# The program's CPU from the moment both ports are read to a second after both streams ended.
two_streams_measure() { # folder pid
  local dir=$1 pid=$2 cpu start window capture_cpu
  until grep -q '^reader' "$dir/device-1.out" 2>/dev/null || ! kill -0 "$pid" 2>/dev/null; do sleep 0.01; done
  cpu=$(cpu_ticks "$pid"); start=$(date +%s.%N)
  until { grep -q '^finished' "$dir/device-7.out" && grep -q '^finished' "$dir/device-1.out"; } ||
    ! kill -0 "$pid" 2>/dev/null; do sleep 0.05; done
  sleep 1
  capture_cpu=$(thread_cpu "$pid" capture)
  cpu=$(awk -v t="$(($(cpu_ticks "$pid") - cpu))" -v h="$(getconf CLK_TCK)" 'BEGIN{printf "%.3f", t/h}')
  window=$(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN{printf "%.3f", e - s}')
  echo "result cpu=$cpu window=$window capture_cpu=$capture_cpu"
}

# Waits for a program with two windows to end and checks it; sets t_total, t_cpu, t_window, t_capture_cpu
# and t_reason (empty when nothing failed).
two_streams_end() { # folder pid writers [capture]
  local dir=$1 pid=$2 writers=$3 capture=${4:-}
  t_reason="" t_total=0
  wait_bounded "$pid" 60 || t_reason="program did not end by itself"
  # shellcheck disable=SC2086 # two process ids
  kill $writers 2>/dev/null || true
  # shellcheck disable=SC2086
  wait $writers 2>/dev/null || true
  t_cpu=$(field "$dir/measure.out" cpu); t_window=$(field "$dir/measure.out" window)
  t_capture_cpu=$(field "$dir/measure.out" capture_cpu)
  [ -n "$t_cpu" ] || t_reason="${t_reason:+$t_reason; }$(tail -n1 "$dir/measure.out" 2>/dev/null)"
  local port number=1 bytes mismatch
  for port in 7 1; do
    bytes=$(field "$dir/writer-$port.out" bytes)
    if [ -z "$bytes" ]; then
      t_reason="${t_reason:+$t_reason; }COM$port: $(tail -n1 "$dir/writer-$port.out")"; continue
    fi
    t_total=$((t_total + bytes))
    [ "$bytes" -eq $((1000000 * seconds)) ] || t_reason="${t_reason:+$t_reason; }COM$port sent $bytes"
    if ! mismatch=$(window_matches "$dir" "$number" "$port" "$bytes"); then
      t_reason="${t_reason:+$t_reason; }window $number: $mismatch"
    fi
    if [ -n "$capture" ] && ! mismatch=$(capture_matches "$dir" "$port" lines "$bytes"); then
      t_reason="${t_reason:+$t_reason; }COM$port $mismatch"
    fi
    number=$((number + 1))
  done
  if tr '\0' '\n' <"$dir/Kestrune.log" 2>/dev/null |
    grep -a -q -E 'input queue full|closed: [0-9]+ bytes received, [1-9][0-9]* bytes lost'; then
    t_reason="${t_reason:+$t_reason; }the log reports lost bytes"
  fi
}

# Two windows at 1 MB/s each, both capturing (text) or neither. The capture row runs beside a twin without
# capture in two rounds, as capture_case does, and weighs its CPU against the twin's.
two_streams_case() { # name capture
  local name=$1 capture=$2 target
  target=$([ -n "$capture" ] && echo "no loss, exact files, cpu <= twin + 10%" || echo "no loss, exact tails")
  wanted "$name" || return 0
  command -v xdotool >/dev/null || { row "$name" - - - - - - - "$target" FAIL; echo "    xdotool missing"; return; }
  if [ -z "$capture" ]; then
    two_streams_start "$work/$name" || { row "$name" - - - - - - - "$target" FAIL; return; }
    two_streams_end "$work/$name" "$program_pid" "$two_writers"
    two_streams_row "$name" "$target" "$([ -z "$t_reason" ] && echo PASS || echo FAIL)" "$t_cpu"
    [ -z "$t_reason" ] || echo "    $t_reason"
    return
  fi
  local round order side
  tw_reason='' tw_capture=0 tw_twin=0 tw_thread=0
  for round in 1 2; do
    order=$([ "$round" = 1 ] && echo "twin capture" || echo "capture twin")
    declare -A side_writers=() side_program=()
    for side in $order; do
      if ! two_streams_start "$work/$name/$round-$side" "$([ "$side" = capture ] && echo "$capture")"; then
        row "$name" - - - - - - - "$target" FAIL
        return
      fi
      side_writers[$side]=$two_writers side_program[$side]=$program_pid
    done
    for side in twin capture; do
      two_streams_end "$work/$name/$round-$side" "${side_program[$side]}" "${side_writers[$side]}" \
        "$([ "$side" = capture ] && echo "$capture")"
      twin_tally "$round" "$side" "$t_cpu" "$t_reason" "$t_capture_cpu"
    done
  done
  two_streams_row "$name" "$target" "$(twin_verdict)" "$(awk -v c="$tw_capture" 'BEGIN{printf "%.3f", c / 2}')"
  twin_explain "capture threads"
}

# The row of a two-window case: its bytes and share of a core from the last two_streams_end, the CPU given.
two_streams_row() { # name target verdict cpu
  local mb spm core
  mb=$(awk -v b="$t_total" 'BEGIN{printf "%.2f", b/1e6}')
  spm=$(awk -v c="${4:-0}" -v b="$t_total" 'BEGIN{printf "%.3f", (b > 0) ? c / (b / 1e6) : 0}')
  core=$(awk -v c="${4:-0}" -v w="${t_window:-1}" 'BEGIN{printf "%.2f", 100*c/w}')
  row "$1" "$mb" - "${4:--}" "$spm" - "$core" - "$2" "$3"
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
capture_case lines-1MB-text-capture lines 1000000 text
capture_case raw-1MB-raw-capture raw 1000000 raw
capture_case lines-2MB-text-capture lines 2000000 text
capture_case raw-2MB-raw-capture raw 2000000 raw
idle_case
two_windows_case
two_streams_case two-1MB ""
two_streams_case two-1MB-text-capture text
exit $status
