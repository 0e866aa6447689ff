#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer (and the address and undefined-behaviour sanitizers) into
# build-fuzz/, then runs each for a few seconds over its seed corpus. FUZZ_SECONDS sets the time per target;
# FUZZ_BUILD_ONLY=1 only builds them (scripts/soak.sh runs them for longer).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build-fuzz
seconds=${FUZZ_SECONDS:-5}
mkdir -p "$out"

flags=(-std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I"$root")

build() {
  local name=$1
  shift
  echo "building $name"
  clang++ "${flags[@]}" -o "$out/$name" "$@"
}

build ini-fuzzer "$root/fuzz/IniFileFuzzer.cpp" "$root/settings/IniFile.cpp"
build hexa-fuzzer "$root/fuzz/HexaStringFuzzer.cpp" "$root/settings/tools.cpp" \
  "$root/settings/StringTokenizer.cpp" "$root/framework/core/StockFont.cpp"
build timestamp-fuzzer "$root/fuzz/TimestampFormatFuzzer.cpp" "$root/reception/TimestampFormat.cpp"
build telnet-fuzzer "$root/fuzz/ComPortTelnetFuzzer.cpp" "$root/framework/net/ComPortTelnet.cpp" \
  "$root/framework/net/RemotePortName.cpp" -ltelnet
build hexbytes-fuzzer "$root/fuzz/HexByteStringFuzzer.cpp" "$root/framework/gui/text/HexByteString.cpp"
build shown-fuzzer "$root/fuzz/ShownDecoderFuzzer.cpp" "$root/framework/gui/text/ShownDecoder.cpp"
build capture-name-fuzzer "$root/fuzz/CaptureNameFuzzer.cpp" "$root/reception/CaptureNames.cpp"

[ "${FUZZ_BUILD_ONLY:-0}" = 1 ] && exit 0

status=0
run() {
  local name=$1 corpus=$2
  # New inputs found go to a scratch copy, so the committed seed corpus stays as it is.
  local work=$out/$name-corpus
  mkdir -p "$work"
  echo "fuzzing $name for ${seconds}s"
  if ! (cd "$out" && "./$name" -max_total_time="$seconds" -max_len=4096 -print_final_stats=0 \
        "$work" "$corpus" >"$out/$name.out" 2>&1); then
    tail -n 40 "$out/$name.out"
    echo "$name: FAILED"
    status=1
  else
    grep -E "^#[0-9]+ +DONE" "$out/$name.out" || tail -n 1 "$out/$name.out"
  fi
}

run ini-fuzzer "$root/fuzz/corpus/ini"
run hexa-fuzzer "$root/fuzz/corpus/hexa"
run timestamp-fuzzer "$root/fuzz/corpus/timestamp"
run telnet-fuzzer "$root/fuzz/corpus/telnet"
run hexbytes-fuzzer "$root/fuzz/corpus/hexbytes"
run shown-fuzzer "$root/fuzz/corpus/shown"
run capture-name-fuzzer "$root/fuzz/corpus/capture-name"
exit $status
