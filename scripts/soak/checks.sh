# The six checks of scripts/soak.sh, sourced by it: each prints its line through report.

# 1. Each fuzz target for many runs under ASan+UBSan; new inputs that add coverage join the kept corpus.
check_fuzz() {
  if ! FUZZ_BUILD_ONLY=1 "$root/fuzz/run-fuzzers.sh" >"$work/fuzz-build.log" 2>&1; then
    report fuzz FAIL "the fuzz targets do not build: $(tail -n1 "$work/fuzz-build.log")"
    return
  fi
  local out=$root/build-fuzz name corpus figures=() ok=1
  for name in ini-fuzzer:ini hexa-fuzzer:hexa; do
    corpus=$root/fuzz/corpus/${name#*:}
    name=${name%%:*}
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
# after each replug is in the window's text (auto-saved every second), in order, once. The device goes
# quiet for a moment before each unplug, so what it sent has been read; it sends again only once the
# program has the port open again. The lines per cycle keep the whole run within the 1023 KB loop.
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
    wait_for_line "$dir/device.out" '^sent' "$cycle" 20 || { failed="cycle $cycle: the batch was not taken"; break; }
    kill -USR1 "$dev"
    wait_for_line "$dir/device.out" '^unplugged' "$cycle" 10 || { failed="cycle $cycle: no unplug"; break; }
    sleep 0.2
    kill -USR2 "$dev"
  done
  [ -n "$failed" ] || wait_for_line "$dir/device.out" '^sent' $((cycles + 1)) 20 || failed="the last batch was not taken"
  local last=$(( (cycles + 1) * per - 1 ))
  # The window's text reaches the file with the next auto-save.
  local deadline=$((SECONDS + 10))
  while [ $SECONDS -lt $deadline ] && ! tail -c 66 "$dir/text.txt" 2>/dev/null | grep -q "^$(printf %08d $last) "; do
    sleep 0.5
  done
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
