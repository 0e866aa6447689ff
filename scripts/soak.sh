#!/usr/bin/env bash
# Soak run: long fuzzing, unplug cycles, overruns, kills during saves, several copies on one log, a long run
# at a low rate, and message boxes held open during streams. Builds what it needs (the ASan+UBSan tree
# build-asan, the normal tree build, the fuzz targets and its helpers), runs seven checks, prints one line per
# check with its figures and exits non-zero when any fails. Not part of ./test: the full run takes about an
# hour and a half.
#
#   scripts/soak.sh [--quick] [--only LIST] [--keep] [--plain]
#     --quick       every check with small counts and durations (a few minutes in all)
#     --only LIST   only the checks of the comma-separated list: fuzz,unplug,overrun,kills,copies,long,boxes
#     --keep        keep the work folder and print its path
#     --plain       run the program checks on the normal build instead of the sanitizer build
#   Counts and durations (defaults of the full run; --quick lowers them):
#     SOAK_FUZZ_RUNS=10000000 SOAK_FUZZ_SECONDS=300    per fuzz target
#     SOAK_CYCLES=100                                  unplug/replug cycles at 100 KB/s
#     SOAK_OVERRUN_SECONDS=60                          3 MB/s, frozen and unfrozen every 5 s
#     SOAK_KILLS=50                                    SIGKILLs during auto-saves of a 1 MB document
#     SOAK_COPIES_SECONDS=300                          two, then four copies on one log at level 3
#     SOAK_LONG_MINUTES=30                             11.5 KB/s, timestamps, auto-save every 10 s
#     SOAK_BOX_ROUNDS=5 SOAK_BOX_SECONDS=5             Clear Screen questions, each held open that long
#                                                      while COM7 is unplugged and replugged
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
only=fuzz,unplug,overrun,kills,copies,long,boxes
keep=0
quick=0
plain=0
while [ $# -gt 0 ]; do
  case $1 in
    --quick) quick=1; shift ;;
    --only) only=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    --plain) plain=1; shift ;;
    -h|--help) sed -n '2,21p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "soak: unknown option $1" >&2; exit 2 ;;
  esac
done
if [ "$quick" = 1 ]; then
  : "${SOAK_FUZZ_RUNS:=2000000}" "${SOAK_FUZZ_SECONDS:=20}" "${SOAK_CYCLES:=10}" "${SOAK_OVERRUN_SECONDS:=20}"
  : "${SOAK_KILLS:=8}" "${SOAK_COPIES_SECONDS:=40}" "${SOAK_LONG_MINUTES:=3}" "${SOAK_BOX_ROUNDS:=1}"
fi
fuzz_runs=${SOAK_FUZZ_RUNS:-10000000}
fuzz_seconds=${SOAK_FUZZ_SECONDS:-300}
cycles=${SOAK_CYCLES:-100}
overrun_seconds=${SOAK_OVERRUN_SECONDS:-60}
kills=${SOAK_KILLS:-50}
copies_seconds=${SOAK_COPIES_SECONDS:-300}
long_minutes=${SOAK_LONG_MINUTES:-30}
box_rounds=${SOAK_BOX_ROUNDS:-5}
box_seconds=${SOAK_BOX_SECONDS:-5}

asan=$root/build-asan
normal=$root/build
[ "$plain" = 0 ] || asan=$normal
helpers=$root/build-soak
check=$root/scripts/soak/check.py
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
work=$(mktemp -d "${TMPDIR:-/tmp}/kestrune-soak.XXXXXX")
pids=()
status=0

cleanup() {
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${pids[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  if [ "$keep" = 1 ]; then echo "work folder kept: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

wanted() { [[ ,$only, == *,$1,* ]]; }
report() { # check verdict figures...
  local name=$1 verdict=$2
  shift 2
  printf '%-8s %-4s %s\n' "$name" "$verdict" "$*"
  [ "$verdict" = PASS ] || status=1
}

# --- building -------------------------------------------------------------------------------------------
launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
build_tree() { # dir [cmake options]
  local dir=$1
  shift
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null || return 1
  fi
  cmake --build "$dir" -j "$(nproc)" --target kestrune kestrune-sim >"$work/build-$(basename "$dir").log" 2>&1 ||
    { tail -n 20 "$work/build-$(basename "$dir").log"; return 1; }
}
need_program=0
for name in unplug overrun kills copies boxes; do wanted $name && need_program=1; done
if [ "$need_program" = 1 ] && [ "$plain" = 0 ]; then
  echo "building $asan (ASan+UBSan)"
  build_tree "$asan" -DKESTRUNE_SANITIZE=address || { echo "soak: the sanitizer build failed" >&2; exit 2; }
fi
if [ "$plain" = 1 ]; then
  echo "building $normal (the program checks run without sanitizers)"
  build_tree "$normal" || { echo "soak: the build failed" >&2; exit 2; }
fi
if wanted long && [ "$plain" = 0 ]; then
  echo "building $normal"
  build_tree "$normal" || { echo "soak: the build failed" >&2; exit 2; }
fi
# The simulated device comes from the tree of the program under test.
device=$asan/tools/kestrune-sim
[ "$need_program" = 1 ] || device=$normal/tools/kestrune-sim
mkdir -p "$helpers"
g++ -std=c++17 -O2 -Wall -Wextra -Werror -o "$helpers/kill-on-save" "$root/scripts/soak/kill-on-save.cpp" ||
  { echo "soak: cannot build kill-on-save" >&2; exit 2; }

# --- shared pieces --------------------------------------------------------------------------------------
write_ini() { # folder, then KEY=VALUE overrides in section order
  local dir=$1
  shift
  local -A v=([Port]=COM7 [MaxBytes]=1023 [TrapLF]=0 [AddTimestamp]=0 [AutoSaveFrequency]=0
    [DefaultBackupPath]=./Kestrune.txt [LogFilePath]=./Kestrune.log [ArchiveLogFilePath]=./ARCH_Kestrune.log
    [LogLevel]=1)
  local pair
  for pair in "$@"; do v[${pair%%=*}]=${pair#*=}; done
  cat >"$dir/Kestrune.ini" <<INI
[COM]
Port=${v[Port]}
BaudRate=115200
ByteSize=8
Parity=0
StopBit=0
[TERM]
MaxBytes=${v[MaxBytes]}
TrapLF=${v[TrapLF]}
TrapCR=0
AddTimestamp=${v[AddTimestamp]}
TimestampFormat=%H:%M:%S = 
TimestampMinDataInterval=100
FilterByte=0
FilteredBytesList=
AutoSaveFrequency=${v[AutoSaveFrequency]}
DefaultBackupPath=${v[DefaultBackupPath]}
[LOG]
LogFilePath=${v[LogFilePath]}
ArchiveLogFilePath=${v[ArchiveLogFilePath]}
LogLevel=${v[LogLevel]}
INI
}

# Starts the simulated device on COM7: the numbered-line pattern, sent once a reader has settled for 300 ms
# (the options override that); sets device_pid. Its standard output goes to the given file.
start_device() { # output ports-folder device-options...
  local out=$1 ports=$2
  shift 2
  mkdir -p "$ports"
  "$device" --dir "$ports" --port 7 --pattern --count 0 --settle-ms 300 "$@" >"$out" 2>&1 &
  device_pid=$!
  pids+=("$device_pid")
  wait_for_line "$out" '^COM7 ' 1 5
}

# Starts the program in a folder; sets program_pid. Extra environment as NAME=VALUE arguments. Its output
# goes to program.out in the folder, or to $program_out when set.
start_program() { # program folder ports NAME=VALUE...
  local program=$1 dir=$2 ports=$3
  shift 3
  (cd "$dir" && exec env KESTRUNE_PORTS="$ports" "$@" "$program" >>"${program_out:-$dir/program.out}" 2>&1) &
  program_pid=$!
  pids+=("$program_pid")
}

# Waits until the file holds at least COUNT lines matching the pattern, at most SECONDS.
wait_for_line() { # file pattern count seconds
  local deadline=$((SECONDS + $4))
  local found
  while found=$(grep -c -- "$2" "$1" 2>/dev/null); [ "${found:-0}" -lt "$3" ]; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.05
  done
}

# Waits for a process to end within SECONDS; kills it after that and fails. Its exit status goes to
# ended_status.
wait_bounded() { # pid seconds
  local pid=$1 deadline=$((SECONDS + $2))
  while kill -0 "$pid" 2>/dev/null; do
    if [ $SECONDS -ge $deadline ]; then
      kill -9 "$pid" 2>/dev/null
      wait "$pid" 2>/dev/null
      return 1
    fi
    sleep 0.1
  done
  wait "$pid" 2>/dev/null
  ended_status=$?
  return 0
}

# The sanitizers' complaints in a program's output, if any.
sanitizer_errors() { # file
  grep -c -E 'ERROR: AddressSanitizer|runtime error:|ERROR: LeakSanitizer' "$1" 2>/dev/null || true
}

log_figure() { # "key=value ..." key
  sed -n "s/.*\b$2=\([0-9]*\).*/\1/p" <<<"$1"
}

source "$root/scripts/soak/checks.sh"

for name in fuzz unplug overrun kills copies long boxes; do
  wanted $name || continue
  "check_$name"
done
exit $status
