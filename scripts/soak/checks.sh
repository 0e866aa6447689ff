# The checks of scripts/soak.sh, sourced by it: each prints its line through report.

# 1. Each fuzz target for many runs under ASan+UBSan; new inputs that add coverage join the kept corpus.
check_fuzz() {
  if ! FUZZ_BUILD_ONLY=1 "$root/fuzz/run-fuzzers.sh" >"$work/fuzz-build.log" 2>&1; then
    report fuzz FAIL "the fuzz targets do not build: $(tail -n1 "$work/fuzz-build.log")"
    return
  fi
  local out=$root/build-fuzz name corpus figures=() ok=1
  # Every target: each seed corpus fuzz/corpus/NAME belongs to the target NAME-fuzzer.
  for corpus in "$root"/fuzz/corpus/*; do
    name=$(basename "$corpus")-fuzzer
    local scratch=$work/$name
    mkdir -p "$scratch/new" "$scratch/artifacts"
    local before
    before=$(ls "$corpus" | wc -l)
    (cd "$scratch" && timeout $((fuzz_seconds + 120)) "$out/$name" -runs="$fuzz_runs" \
      -max_total_time="$fuzz_seconds" -max_len=4096 -print_final_stats=1 -artifact_prefix="$scratch/artifacts/" \
      "$scratch/new" "$corpus" >"$scratch/run.log" 2>&1)
    local result=$?
    local runs exec_s cov crashes
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$scratch/run.log")
    exec_s=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$scratch/run.log")
    cov=$(grep -o 'cov: [0-9]*' "$scratch/run.log" | tail -n1 | cut -d' ' -f2)
    crashes=$(ls "$scratch/artifacts" | wc -l)
    # Keep only what adds coverage to the corpus.
    (cd "$scratch" && "$out/$name" -merge=1 "$corpus" "$scratch/new" >"$scratch/merge.log" 2>&1)
    local after
    after=$(ls "$corpus" | wc -l)
    figures+=("$name: ${runs:-?} runs, ${exec_s:-?}/s, cov ${cov:-?}, corpus $before->$after, crashes $crashes")
    if [ "$result" -ne 0 ] || [ "$crashes" -ne 0 ]; then
      ok=0
      mkdir -p "$root/build-fuzz/crashes"
      cp "$scratch"/artifacts/* "$root/build-fuzz/crashes/" 2>/dev/null
      figures+=("(exit $result; inputs in build-fuzz/crashes)")
    fi
  done
  report fuzz "$([ $ok = 1 ] && echo PASS || echo FAIL)" "${figures[*]}"
}

# 2. Unplug and replug during a numbered-line stream at 100 KB/s: every line sent before each unplug and
# after each replug is in the window's text (auto-saved every second), in order, once. Each unplug comes
# once the window holds the whole batch: bytes still in the kernel at an unplug are lost with the device,
# as with real hardware, and on a busy machine the program may not have read them yet. The device sends
# again only once the program has the port open again. The lines per cycle keep the whole run within the
# 1023 KB loop.
check_unplug() {
  local dir=$work/unplug
  mkdir -p "$dir"
  write_ini "$dir" AutoSaveFrequency=1 DefaultBackupPath=./text.txt
  : >"$dir/text.txt"
  local per=$((1000000 / 64 / (cycles + 1)))
  start_device "$dir/device.out" "$dir/ports" --rate 100000 --lines-per-plug "$per" --settle-ms 300 ||
    { report unplug FAIL "the device did not start"; return; }
  local dev=$device_pid
  start_program "$asan/app/kestrune" "$dir" "$dir/ports" QT_QPA_PLATFORM=offscreen
  local prog=$program_pid started=$SECONDS cycle failed=
  for cycle in $(seq "$cycles"); do
    wait_for_line "$dir/device.out" '^sent' "$cycle" 20 || { failed="cycle $cycle: the batch was not sent"; break; }
    text_ends_with_line "$dir/text.txt" $((cycle * per - 1)) 20 ||
      { failed="cycle $cycle: the batch did not reach the window"; break; }
    kill -USR1 "$dev"
    wait_for_line "$dir/device.out" '^unplugged' "$cycle" 10 || { failed="cycle $cycle: no unplug"; break; }
    sleep 0.2
    kill -USR2 "$dev"
  done
  [ -n "$failed" ] || wait_for_line "$dir/device.out" '^sent' $((cycles + 1)) 20 || failed="the last batch was not taken"
  local last=$(( (cycles + 1) * per - 1 ))
  text_ends_with_line "$dir/text.txt" "$last" 10
  sleep 1.5
  cp "$dir/text.txt" "$dir/checked.txt" 2>/dev/null
  local took=$((SECONDS - started))
  kill -TERM "$prog" 2>/dev/null
  wait_bounded "$prog" 20
  kill -TERM "$dev" 2>/dev/null
  wait "$dev" 2>/dev/null
  local figures verdict=PASS
  figures=$("$check" lines "$dir/checked.txt" 0 "$last") || verdict=FAIL
  local log
  log=$("$check" log "$dir/ARCH_Kestrune.log" "$dir/Kestrune.log")
  local errors
  errors=$(sanitizer_errors "$dir/program.out")
  [ "$errors" = 0 ] || verdict=FAIL
  [ -z "$failed" ] || verdict=FAIL
  report unplug $verdict "$cycles cycles in ${took}s, $per lines each; $figures;" \
    "log: lost=$(log_figure "$log" lost) back=$(log_figure "$log" back); sanitizer reports $errors${failed:+; $failed}"
}

# Waits until the auto-saved text ends with the numbered line; false after the seconds.
text_ends_with_line() { # file line-number seconds
  local deadline=$((SECONDS + $3))
  until tail -c 66 "$1" 2>/dev/null | grep -q "^$(printf %08d "$2") "; do
    [ $SECONDS -lt "$deadline" ] || return 1
    sleep 0.2
  done
}

# 3. Overrun: 3 MB/s for a while into a window on an X display, frozen and unfrozen every 5 s with Ctrl+S.
# The freeze button's image must follow each toggle (it is set on the idle pass, so the pass keeps running),
# every toggle must be logged, and the bytes received plus the bytes reported lost must be the bytes sent.
check_overrun() {
  command -v Xvfb >/dev/null && command -v xdotool >/dev/null && command -v import >/dev/null ||
    { report overrun FAIL "needs Xvfb, xdotool and imagemagick"; return; }
  local dir=$work/overrun
  mkdir -p "$dir"
  write_ini "$dir" LogLevel=2
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$dir/display" >"$dir/xvfb.log" 2>&1 &
  local xvfb=$!
  pids+=("$xvfb")
  wait_for_line "$dir/display" '[0-9]' 1 10 || { report overrun FAIL "Xvfb did not start"; return; }
  local display=:$(head -n1 "$dir/display")
  start_device "$dir/device.out" "$dir/ports" --rate 3000000 --settle-ms 500 ||
    { report overrun FAIL "the device did not start"; return; }
  local dev=$device_pid
  local after=$(((overrun_seconds * 3 / 2 + 30) * 1000))
  start_program "$asan/app/kestrune" "$dir" "$dir/ports" DISPLAY="$display" KESTRUNE_SNAPSHOT_DIR="$dir" \
    KESTRUNE_SNAPSHOT_AFTER_MS="$after"
  local prog=$program_pid started=$SECONDS frame=
  for _ in $(seq 100); do
    frame=$(DISPLAY=$display xdotool search --onlyvisible --name Kestrune 2>/dev/null | head -n1)
    [ -n "$frame" ] && break
    sleep 0.2
  done
  [ -n "$frame" ] || { report overrun FAIL "no main window"; kill -9 "$prog"; kill "$xvfb" "$dev"; return; }
  sleep 2
  local toggles=$((overrun_seconds / 5)) toggle frozen=() running=() late=0
  for toggle in $(seq "$toggles"); do
    sleep 4
    local sent=$SECONDS
    DISPLAY=$display xdotool windowfocus "$frame" key ctrl+s
    sleep 1
    local shot
    shot=$(DISPLAY=$display import -window root -crop 24x24+79+22 png:- 2>/dev/null | md5sum | cut -c1-8)
    [ $((SECONDS - sent)) -le 3 ] || late=$((late + 1))
    if [ $((toggle % 2)) = 1 ]; then frozen+=("$shot"); else running+=("$shot"); fi
  done
  [ $((toggles % 2)) = 0 ] || { sleep 1; DISPLAY=$display xdotool windowfocus "$frame" key ctrl+s; }
  # A graceful unplug: the device goes quiet, the program takes what is queued, then the port goes away.
  kill -USR1 "$dev"
  wait_for_line "$dir/device.out" '^unplugged' 1 10
  kill -TERM "$dev"
  wait "$dev" 2>/dev/null
  local sent_bytes
  sent_bytes=$(awk '/^total/ {print $2}' "$dir/device.out")
  local ended=1
  wait_bounded "$prog" $((after / 1000 - (SECONDS - started) + 60)) || ended=0
  kill "$xvfb" 2>/dev/null
  local log
  log=$("$check" log "$dir/ARCH_Kestrune.log" "$dir/Kestrune.log")
  local received lost closed freezes unfreezes verdict=PASS reasons=()
  received=$(log_figure "$log" bytes_received); lost=$(log_figure "$log" bytes_lost)
  closed=$(log_figure "$log" closed); freezes=$(log_figure "$log" freeze); unfreezes=$(log_figure "$log" unfreeze)
  local rate
  rate=$(awk -v b="${sent_bytes:-0}" -v s="$overrun_seconds" 'BEGIN{printf "%.2f", b/1e6/(s+2)}')
  if [ "$closed" = 0 ]; then
    verdict=FAIL; reasons+=("no 'COMn closed: R bytes received, L bytes lost.' record in the log")
  elif [ $((received + lost)) != "${sent_bytes:-x}" ]; then
    verdict=FAIL; reasons+=("received + lost = $((received + lost)) but $sent_bytes sent")
  fi
  local unique_frozen unique_running
  unique_frozen=$(printf '%s\n' "${frozen[@]}" | sort -u | wc -l)
  unique_running=$(printf '%s\n' "${running[@]}" | sort -u | wc -l)
  if [ "$unique_frozen" != 1 ] || [ "$unique_running" != 1 ] || [ "${frozen[0]}" = "${running[0]:-}" ]; then
    verdict=FAIL; reasons+=("the freeze button did not follow the toggles")
  fi
  if [ $((freezes + unfreezes)) -lt "$toggles" ]; then
    verdict=FAIL; reasons+=("$((freezes + unfreezes)) of $toggles toggles logged")
  fi
  [ "$ended" = 1 ] || { verdict=FAIL; reasons+=("the program did not end by itself"); }
  [ "$late" = 0 ] || { verdict=FAIL; reasons+=("$late toggles took over 3 s"); }
  local errors
  errors=$(sanitizer_errors "$dir/program.out")
  [ "$errors" = 0 ] || { verdict=FAIL; reasons+=("$errors sanitizer reports"); }
  report overrun $verdict "${overrun_seconds}s at ${rate} MB/s sent: sent=$sent_bytes received=$received" \
    "lost=$lost (episodes $(log_figure "$log" overrun)); toggles $toggles, logged $freezes+$unfreezes," \
    "button images $unique_frozen/$unique_running${reasons:+; ${reasons[*]}}"
}

# 4. SIGKILL at random moments while the program auto-saves a 1 MB document (every second, while a stream
# comes in): the file is always a whole old or new text, never torn; a clean run afterwards leaves no
# temporary file behind.
check_kills() {
  local dir=$work/kills io=$work/kills-io
  mkdir -p "$dir/logs" "$dir/snap" "$io"
  write_ini "$dir" AutoSaveFrequency=1 DefaultBackupPath=./doc.txt LogFilePath=./logs/Kestrune.log \
    ArchiveLogFilePath=./logs/ARCH_Kestrune.log
  local program_out=$io/program.out
  local kill_number torn=0 during=0 temps_seen=0 failures=() base
  for kill_number in $(seq "$kills"); do
    base=$((kill_number * 100000))
    python3 -c "
import sys; sys.path.insert(0, '$root/scripts/soak'); import check
open('$dir/doc.txt', 'wb').write(b''.join(check.expected_line(n) for n in range($base, $base + 15625)))"
    start_device "$io/device.out" "$dir/ports" --rate 50000 --first-line $((base + 15625)) --settle-ms 1500 ||
      { failures+=("device"); break; }
    local dev=$device_pid
    start_program "$asan/app/kestrune" "$dir" "$dir/ports" QT_QPA_PLATFORM=offscreen
    local prog=$program_pid
    # Armed after a random wait of up to 3 s, so the kills fall on different saves.
    "$helpers/kill-on-save" "$dir" "$prog" $((1500 + RANDOM % 3000)) 20000 15000 "$kill_number" >"$io/kill.out"
    { wait "$prog"; } 2>/dev/null # killed on purpose: no notice of it
    kill -TERM "$dev" 2>/dev/null
    wait "$dev" 2>/dev/null
    grep -q '^killed' "$io/kill.out" && during=$((during + 1))
    ls -A "$dir" | grep -q -v -E '^(doc.txt|Kestrune.ini|logs|snap|ports)$' &&
      temps_seen=$((temps_seen + 1))
    if ! "$check" doc "$dir/doc.txt" "$base" 1000000 >"$io/doc.check"; then
      torn=$((torn + 1))
      cp "$dir/doc.txt" "$io/torn-$kill_number.txt"
      failures+=("kill $kill_number: $(cat "$io/doc.check")")
    fi
  done
  # A clean run: it saves at least twice and ends by itself.
  start_device "$io/device.out" "$dir/ports" --rate 50000 --first-line 99000000 --settle-ms 1500
  local dev=$device_pid
  start_program "$asan/app/kestrune" "$dir" "$dir/ports" QT_QPA_PLATFORM=offscreen KESTRUNE_SNAPSHOT_DIR="$dir/snap" \
    KESTRUNE_SNAPSHOT_AFTER_MS=5000
  wait_bounded "$program_pid" 60 || failures+=("the clean run did not end")
  kill -TERM "$dev" 2>/dev/null
  wait "$dev" 2>/dev/null
  local left
  left=$(ls -A "$dir" | grep -v -E '^(doc.txt|Kestrune.ini|logs|snap|ports)$' | tr '\n' ' ')
  local errors verdict=PASS
  errors=$(sanitizer_errors "$io/program.out")
  [ "$torn" = 0 ] && [ -z "$left" ] && [ ${#failures[@]} = 0 ] || verdict=FAIL
  report kills $verdict "$kills kills, $during while the document was being written, $temps_seen left a" \
    "temporary, $torn torn; after a clean run: ${left:-no stray file}; sanitizer reports $errors" \
    "${failures:+; ${failures[*]}}"
}

# 5. Two, then four copies in one working directory at log level 3 for a while, each on a device of its own
# that is unplugged and replugged, each copy restarted as it ends: log and archive hold every foreseeable
# record exactly once (starts, ends, losses and returns of ports) and every line is 144 bytes.
check_copies() {
  local n figures=() verdict=PASS
  for n in 2 4; do
    local dir=$work/copies-$n
    mkdir -p "$dir"
    write_ini "$dir" LogLevel=3
    local deadline=$((SECONDS + copies_seconds)) k runners=()
    for k in $(seq "$n"); do
      copy_runner "$dir" "$k" "$deadline" &
      runners+=($!)
      pids+=($!)
    done
    wait "${runners[@]}"
    local runs=0 cycles_done=0 bad_runs=0 file
    for file in "$dir"/runner-*.out; do
      runs=$((runs + $(awk '{print $1}' "$file")))
      cycles_done=$((cycles_done + $(awk '{print $2}' "$file")))
      bad_runs=$((bad_runs + $(awk '{print $3}' "$file")))
    done
    local log ok=1
    log=$("$check" log "$dir/ARCH_Kestrune.log" "$dir/Kestrune.log") || ok=0
    local opens closes lost back lines
    opens=$(log_figure "$log" open); closes=$(log_figure "$log" close)
    lost=$(log_figure "$log" lost); back=$(log_figure "$log" back); lines=$(log_figure "$log" lines)
    [ "$opens" = "$runs" ] && [ "$closes" = "$runs" ] && [ "$lost" = "$cycles_done" ] &&
      [ "$back" = "$cycles_done" ] && [ "$bad_runs" = 0 ] || ok=0
    [ $ok = 1 ] || verdict=FAIL
    figures+=("$n copies: $runs runs, $cycles_done unplugs, $lines lines (bad $(log_figure "$log" bad),"
      "stray headers $(log_figure "$log" misplaced_headers)); records open $opens/$runs close $closes/$runs"
      "lost $lost/$cycles_done back $back/$cycles_done; failed runs $bad_runs;")
  done
  report copies $verdict "${figures[*]}"
}

# One copy of check 5: runs of about 20 s until the deadline, two unplug cycles in each. Writes
# "RUNS CYCLES FAILED" to runner-K.out.
copy_runner() { # folder copy deadline
  local dir=$1 k=$2 deadline=$3 runs=0 cycles_done=0 failed=0
  pids=()
  while [ $((SECONDS + 25)) -lt "$deadline" ]; do
    local out=$dir/device-$k.out
    start_device "$out" "$dir/ports-$k" --rate 20000 --settle-ms 300 || { failed=$((failed + 1)); break; }
    local dev=$device_pid
    (cd "$dir" && exec env KESTRUNE_PORTS="$dir/ports-$k" QT_QPA_PLATFORM=offscreen KESTRUNE_SNAPSHOT_DIR="$dir" \
      KESTRUNE_SNAPSHOT_AFTER_MS=20000 "$asan/app/kestrune" >>"$dir/program-$k.out" 2>&1) &
    local prog=$!
    runs=$((runs + 1))
    local cycle
    for cycle in 1 2; do
      sleep 5
      kill -USR1 "$dev"
      wait_for_line "$out" '^unplugged' "$cycle" 10 || { failed=$((failed + 1)); break; }
      sleep 1
      kill -USR2 "$dev"
      cycles_done=$((cycles_done + 1))
    done
    wait_bounded "$prog" 60 || failed=$((failed + 1))
    kill -TERM "$dev" 2>/dev/null
    wait "$dev" 2>/dev/null
  done
  [ "$(sanitizer_errors "$dir/program-$k.out")" = 0 ] || failed=$((failed + 1))
  echo "$runs $cycles_done $failed" >"$dir/runner-$k.out"
}

# 6. A long run at 11.5 KB/s in bursts, with timestamps and auto-save every 10 s (normal build, so that the
# sizes are the program's own): resident size grows less than 5 MB after the first minute and the number
# of open descriptors does not grow.
check_long() {
  local dir=$work/long
  mkdir -p "$dir"
  write_ini "$dir" AddTimestamp=1 AutoSaveFrequency=10 DefaultBackupPath=./long.txt
  : >"$dir/long.txt"
  start_device "$dir/device.out" "$dir/ports" --rate 11520 --burst-ms 250 ||
    { report long FAIL "the device did not start"; return; }
  local dev=$device_pid
  local after=$((long_minutes * 60000))
  start_program "$normal/app/kestrune" "$dir" "$dir/ports" QT_QPA_PLATFORM=offscreen KESTRUNE_SNAPSHOT_DIR="$dir" \
    KESTRUNE_SNAPSHOT_AFTER_MS="$after"
  local prog=$program_pid started=$SECONDS
  # The 1023 KB loop fills in about 91 s at this rate; the size once it is full is shown beside the verdict's.
  local rss_minute= fds_minute= rss_max=0 fds_last=() rss fds rss_full= rss_full_max=0
  while kill -0 "$prog" 2>/dev/null && [ $((SECONDS - started)) -lt $((after / 1000 - 5)) ]; do
    sleep 10
    rss=$(sed -n 's/^VmRSS:[[:space:]]*\([0-9]*\).*/\1/p' "/proc/$prog/status" 2>/dev/null)
    fds=$(ls "/proc/$prog/fd" 2>/dev/null | wc -l)
    [ -n "$rss" ] || break
    if [ $((SECONDS - started)) -ge 60 ] && [ -z "$rss_minute" ]; then
      rss_minute=$rss; fds_minute=$fds
    fi
    [ -z "$rss_minute" ] || [ "$rss" -le "$rss_max" ] || rss_max=$rss
    if [ $((SECONDS - started)) -ge 180 ] && [ -z "$rss_full" ]; then rss_full=$rss; fi
    [ -z "$rss_full" ] || [ "$rss" -le "$rss_full_max" ] || rss_full_max=$rss
    fds_last+=("$fds")
  done
  local ended=1
  wait_bounded "$prog" 60 || ended=0
  kill -TERM "$dev" 2>/dev/null
  wait "$dev" 2>/dev/null
  local verdict=PASS growth fds_end reasons=()
  if [ -z "$rss_minute" ]; then
    report long FAIL "the program ended before a minute had passed"
    return
  fi
  growth=$((rss_max - rss_minute))
  # The fewest descriptors of the last three samples: a save in progress may hold one for a moment.
  fds_end=$(printf '%s\n' "${fds_last[@]: -3}" | sort -n | head -n1)
  [ "$growth" -lt 5120 ] || { verdict=FAIL; reasons+=("RSS grew by $((growth / 1024)) MB"); }
  [ "$fds_end" -le "$fds_minute" ] || { verdict=FAIL; reasons+=("descriptors grew"); }
  [ "$ended" = 1 ] || { verdict=FAIL; reasons+=("the program did not end by itself"); }
  local full_growth="run too short"
  [ -z "$rss_full" ] || full_growth="$((rss_full_max - rss_full)) kB"
  report long $verdict "${long_minutes} min at 11.5 KB/s: RSS at 1 min $((rss_minute / 1024)).$(( (rss_minute % 1024) * 10 / 1024 )) MB," \
    "highest after $((rss_max / 1024)).$(( (rss_max % 1024) * 10 / 1024 )) MB (growth $growth kB;" \
    "from minute 3 on, with the loop full: $full_growth);" \
    "descriptors $fds_minute at 1 min, $fds_end at the end; text kept $(stat -c %s "$dir/window-1.txt" 2>/dev/null || echo 0) bytes" \
    "${reasons:+; ${reasons[*]}}"
}

# 7. Message boxes left open for a while on an X display, while two windows stream at 300 KB/s: the notice
# the program posts at start (the log archive names the log itself), then rounds of the Clear Screen question,
# each open for a while and answered No, with the first window's device unplugged and replugged meanwhile.
# The windows must go on updating under each box, each must end up holding an unbroken run of its device's
# lines ending with the last one the device sent, the log must count every byte received and none lost, and
# the program must end by itself without a sanitizer report.
check_boxes() {
  command -v Xvfb >/dev/null && command -v xdotool >/dev/null && command -v import >/dev/null ||
    { report boxes FAIL "needs Xvfb, xdotool and imagemagick"; return; }
  local dir=$work/boxes
  mkdir -p "$dir"
  write_ini "$dir" LogLevel=3 LogFilePath=./K.log ArchiveLogFilePath=./K.log
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$dir/display" >"$dir/xvfb.log" 2>&1 &
  local xvfb=$!
  pids+=("$xvfb")
  wait_for_line "$dir/display" '[0-9]' 1 10 || { report boxes FAIL "Xvfb did not start"; return; }
  local display=:$(head -n1 "$dir/display")
  # Window 1 reads COM7; window 2 reads COM3, whose lines are numbered from 50000000 so that neither
  # window can pass for the other.
  local second_first=50000000
  start_device "$dir/device-7.out" "$dir/ports" --rate 300000 ||
    { report boxes FAIL "the device did not start"; kill "$xvfb"; return; }
  local dev7=$device_pid
  "$device" --dir "$dir/ports" --port 3 --pattern --count 0 --first-line "$second_first" --settle-ms 300 \
    --rate 300000 >"$dir/device-3.out" 2>&1 &
  local dev3=$!
  pids+=("$dev3")
  wait_for_line "$dir/device-3.out" '^COM3 ' 1 5 ||
    { report boxes FAIL "the second device did not start"; kill "$xvfb" "$dev7"; return; }
  # The snapshot ends the program well after the steps below, which take about 15 s plus each box's time.
  local after=$(((30 + box_seconds + box_rounds * (box_seconds + 6)) * 1000))
  start_program "$asan/app/kestrune" "$dir" "$dir/ports" DISPLAY="$display" KESTRUNE_SNAPSHOT_DIR="$dir" \
    KESTRUNE_SNAPSHOT_AFTER_MS="$after"
  local failed= held=() updated=0 boxes=0
  box_step notice || failed=$box_failure
  [ -n "$failed" ] || second_window || failed=$box_failure
  local round
  for round in $(seq "$box_rounds"); do
    [ -z "$failed" ] || break
    sleep 2
    box_step question "$round" || failed=$box_failure
  done
  [ -z "$failed" ] && sleep 2
  # A graceful end of both streams: each device completes its line, lets the reader take it, unplugs.
  kill -USR1 "$dev7" "$dev3" 2>/dev/null
  wait_for_line "$dir/device-7.out" '^unplugged' $((box_rounds + 1)) 10
  wait_for_line "$dir/device-3.out" '^unplugged' 1 10
  local early=
  kill -0 "$program_pid" 2>/dev/null || early="the program ended before the streams did"
  kill -TERM "$dev7" "$dev3" 2>/dev/null
  wait "$dev7" "$dev3" 2>/dev/null
  local exit_status=
  wait_bounded "$program_pid" $((after / 1000 + 60)) && exit_status=$ended_status
  kill "$xvfb" 2>/dev/null
  local verdict=PASS reasons=()
  [ -z "$failed" ] || reasons+=("$failed")
  [ -z "$early" ] || reasons+=("$early")
  [ -n "$exit_status" ] || reasons+=("the program did not end by itself")
  [ "${exit_status:-0}" = 0 ] || reasons+=("exit status $exit_status")
  # The windows' texts: unbroken runs of the pattern, each ending with its device's last byte.
  local loop=$((1023 * 1024)) windows=() number=1 port first total out sent=0
  for port in 7 3; do
    first=$([ $port = 7 ] && echo 0 || echo "$second_first")
    total=$(awk '/^total/ {print $2}' "$dir/device-$port.out")
    sent=$((sent + ${total:-0}))
    local text=$dir/window-$number.txt
    if [ ! -f "$text" ]; then
      reasons+=("no snapshot of window $number")
    elif [ -z "$total" ]; then
      reasons+=("COM$port told no total")
    else
      local least=$((total < loop ? total : loop)) last=$((first + (total + 63) / 64 - 1))
      out=$("$check" doc "$text" "$first" "$least") ||
        reasons+=("window $number is not the stream's last $least bytes")
      [ "$(sed -n 's/.* last=\([0-9]*\).*/\1/p' <<<"$out")" = "$last" ] ||
        reasons+=("window $number does not end with line $last, the last COM$port sent")
      cmp -s <(tail -c 64 "$text") <("$device" --stdout --pattern --rate 0 --count "$total" --first-line "$first" |
        tail -c 64) || reasons+=("window $number does not end with COM$port's last bytes")
      windows+=("window $number (COM$port, sent $total): $out;")
    fi
    number=$((number + 1))
  done
  # Every byte sent was received, across the unplugs too. The log keeps only its last 100 records while
  # the archive names it, but the closing records, which count each port's bytes, are among them.
  local log received
  log=$("$check" log "$dir/K.log") || reasons+=("malformed log")
  received=$(log_figure "$log" bytes_received)
  [ "$(log_figure "$log" closed)" = 2 ] || reasons+=("$(log_figure "$log" closed) of 2 ports closed in the log")
  [ "$received" = "$sent" ] || reasons+=("the log counts $received bytes received of $sent sent")
  [ "$(log_figure "$log" bytes_lost)" = 0 ] && [ "$(log_figure "$log" bytes_dropped)" = 0 ] ||
    reasons+=("the log reports lost bytes")
  local reopened
  reopened=$(($(grep -c '^reader' "$dir/device-7.out") - 1))
  [ "$(log_figure "$log" cleared)" = 0 ] || reasons+=("the screen was cleared")
  [ "$updated" = "$boxes" ] || reasons+=("the windows stood still under $((boxes - updated)) of $boxes boxes")
  local errors
  errors=$(sanitizer_errors "$dir/program.out")
  [ "$errors" = 0 ] || reasons+=("$errors sanitizer reports")
  local joined=
  if [ ${#reasons[@]} -gt 0 ]; then
    verdict=FAIL
    joined=$(printf '; %s' "${reasons[@]}")
  fi
  report boxes $verdict "$boxes boxes held ${held[*]:-none} s (the notice, then the Clear Screen question" \
    "$box_rounds times, COM7 unplugged and replugged under each), the windows updating under $updated;" \
    "${windows[*]}" \
    "log: received=$received lost=$(log_figure "$log" bytes_lost) dropped=$(log_figure "$log" bytes_dropped)" \
    "cleared $(log_figure "$log" cleared); COM7 opened again $reopened times;" \
    "exit status ${exit_status:-none}; sanitizer reports $errors$joined"
}

# The steps of check 7 on its display; they share its variables (display, dir, dev7, held, updated, boxes)
# and leave the reason of a failure in box_failure.
on_display() { DISPLAY=$display xdotool "$@" 2>/dev/null; }

# The titles of the windows shown, for the reason of a failure.
shown_windows() {
  local window titles=()
  for window in $(on_display search --onlyvisible --name .); do
    titles+=("\"$(on_display getwindowname "$window")\"")
  done
  echo "windows shown: ${titles[*]:-none}"
}

# Waits for a window whose title matches, at most SECONDS; prints its id.
shown_window() { # title-pattern seconds
  local deadline=$((SECONDS + $2)) window
  while [ $SECONDS -lt "$deadline" ]; do
    window=$(on_display search --onlyvisible --name "$1" | head -n1)
    [ -z "$window" ] || { echo "$window"; return 0; }
    sleep 0.1
  done
  return 1
}

# Part of the text under the boxes, at the top left of the window in front.
text_image() {
  DISPLAY=$display import -window root -crop 360x200+40+110 png:- 2>/dev/null | md5sum | cut -c1-8
}

# A message box, titled with the program's name alone: the notice the program posts by itself, or the Clear
# Screen question asked from the Edit menu, under which COM7 is unplugged and replugged. The box is held open
# box_seconds, then answered (Return takes the notice's OK, N the question's No).
box_step() { # notice | question round
  local kind=$1 round=${2:-} box frame
  if [ "$kind" = question ]; then
    frame=$(shown_window '^Kestrune - ' 5) || { box_failure="no main window; $(shown_windows)"; return 1; }
    on_display windowfocus "$frame" key alt+e
    sleep 0.5
    on_display key s
  fi
  box=$(shown_window '^Kestrune$' $([ "$kind" = notice ] && echo 30 || echo 10)) ||
    { box_failure="no $kind box; $(shown_windows)"; return 1; }
  local opened=$EPOCHREALTIME before
  boxes=$((boxes + 1))
  DISPLAY=$display import -window root "$dir/$kind$round.png" 2>/dev/null
  before=$(text_image)
  sleep 1
  [ "$(text_image)" = "$before" ] || updated=$((updated + 1))
  if [ "$kind" = question ]; then
    kill -USR1 "$dev7"
    wait_for_line "$dir/device-7.out" '^unplugged' "$round" 10 ||
      { box_failure="COM7 did not unplug under question $round"; return 1; }
    sleep 1
    kill -USR2 "$dev7"
    # The program opens the port again while the box is open.
    wait_for_line "$dir/device-7.out" '^reader' $((round + 1)) 15 ||
      { box_failure="COM7 was not opened again under question $round"; return 1; }
  fi
  local elapsed
  elapsed=$(awk -v a="$opened" -v b="$EPOCHREALTIME" 'BEGIN{printf "%d", (b - a) * 1000}')
  [ "$elapsed" -ge $((box_seconds * 1000)) ] ||
    sleep "$(awk -v e="$elapsed" -v s="$box_seconds" 'BEGIN{printf "%.3f", s - e / 1000}')"
  on_display search --onlyvisible --name '^Kestrune$' | grep -qx "$box" ||
    { box_failure="the $kind box closed by itself; $(shown_windows)"; return 1; }
  on_display windowfocus "$box" key "$([ "$kind" = notice ] && echo Return || echo n)"
  local waited
  for waited in $(seq 50); do
    on_display search --onlyvisible --name '^Kestrune$' | grep -qx "$box" || break
    sleep 0.1
  done
  [ "$waited" -lt 50 ] || { box_failure="the $kind box did not close when answered; $(shown_windows)"; return 1; }
  held+=("$(awk -v a="$opened" -v b="$EPOCHREALTIME" 'BEGIN{printf "%.1f", b - a}')")
  # Nothing else may have waited behind the box.
  sleep 0.5
  box=$(on_display search --onlyvisible --name '^Kestrune$' | head -n1)
  if [ -n "$box" ]; then
    DISPLAY=$display import -window root "$dir/unexpected-box.png" 2>/dev/null
    box_failure="a box followed the $kind (unexpected-box.png in the work folder)"
    return 1
  fi
}

# The second window: Ctrl+N, then COM3 typed into the port list of the settings dialog, and OK.
second_window() {
  local frame dialog
  frame=$(shown_window '^Kestrune - ' 5) || { box_failure="no main window; $(shown_windows)"; return 1; }
  on_display windowfocus "$frame" key ctrl+n
  dialog=$(shown_window '^Kestrune: Serial Port Settings$' 10) ||
    { box_failure="no settings dialog after Ctrl+N; $(shown_windows)"; return 1; }
  on_display windowfocus "$dialog" type --delay 50 COM3
  sleep 0.3
  on_display windowfocus "$dialog" key Return
  wait_for_line "$dir/device-3.out" '^reader' 1 10 ||
    { box_failure="the second window did not open COM3; $(shown_windows)"; return 1; }
}
