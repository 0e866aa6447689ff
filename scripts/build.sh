#!/usr/bin/env bash
# build.sh DIR [cmake options...]: configures (once) and builds Kestrune into DIR.
set -euo pipefail
dir=$1
shift
# A compiler cache, when the machine has one, makes the three build trees and repeated builds cheap.
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$(dirname "$0")/.." -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
