#!/usr/bin/env bash
# Builds the Debian package of Kestrune: a release build in build-deb/, then CPack, whose dependency list
# comes from dpkg-shlibdeps. The package lands in build-deb/kestrune_<version>_<arch>.deb, and lintian
# checks it: any error or warning fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-deb}
scripts/install-deps.sh lintian
# As in build.sh, a compiler cache, when the machine has one, makes a rebuild cheap.
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKESTRUNE_TESTS=OFF "${launcher[@]}"
cmake --build "$build" -j "$(nproc)" --target kestrune kestrune-sim kestrune_docs
# A package left from an earlier version must not be the one checked.
rm -f "$build"/kestrune_*.deb
(cd "$build" && cpack -G DEB)
package=$(ls "$build"/kestrune_*.deb)
echo "Checking $package with lintian"
lintian --fail-on error,warning "$package"
echo "$package: lintian reports no errors and no warnings"
