#!/usr/bin/env bash
# build.sh DIR [cmake options...]: configures (once) and builds Kestrune into DIR.
set -euo pipefail
dir=$1
shift
cmake -S "$(dirname "$0")/.." -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
