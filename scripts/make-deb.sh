#!/usr/bin/env bash
# Builds the Debian package of Kestrune: a release build in build-deb/, then CPack, whose dependency list
# comes from dpkg-shlibdeps. The package lands in build-deb/kestrune_<version>_<arch>.deb.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-deb}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKESTRUNE_TESTS=OFF
cmake --build "$build" -j "$(nproc)" --target kestrune kestrune-sim
(cd "$build" && cpack -G DEB)
ls "$build"/kestrune_*.deb
