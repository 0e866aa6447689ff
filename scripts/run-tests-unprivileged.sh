#!/usr/bin/env bash
# run-tests-unprivileged.sh BUILD_DIR [ctest options...]: runs the tests of BUILD_DIR through ctest as an
# ordinary user. Started by an ordinary user it simply runs them as that user. Started as root it runs them
# as the throw-away account kestrune-test (made when missing), with a fresh writable home and temporary
# folder: root passes the terminal's exclusive flag and every file permission, so a suite run as root would
# hide what ordinary users meet. The build itself stays root's; the account gets write access to the build
# tree and, where the checkout sits below a folder it cannot enter (such as /root), just the right to pass
# through each such folder.
set -euo pipefail
dir=$(cd "$1" && pwd)
shift

if [ "$(id -u)" -ne 0 ]; then
  exec ctest --test-dir "$dir" "$@"
fi

user=kestrune-test
if ! id "$user" >/dev/null 2>&1; then
  useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user"
fi

# Lets the account pass through every folder from / down to $1 that it cannot enter now.
grant_traversal() {
  local path=$1 prefix=""
  local IFS=/
  for part in $path; do
    [ -z "$part" ] && continue
    prefix="$prefix/$part"
    if ! runuser -u "$user" -- test -x "$prefix" 2>/dev/null; then
      setfacl -m "u:$user:x" "$prefix"
    fi
  done
}

source_dir=$(cd "$(dirname "$0")/.." && pwd)
grant_traversal "$source_dir"
grant_traversal "$dir"
# Tests write their results and scratch files in the build tree; new files there stay writable too.
setfacl -R -m "u:$user:rwX" -m "d:u:$user:rwX" "$dir"
# The sources and their fixtures are read, never written.
if ! runuser -u "$user" -- test -r "$source_dir/CMakeLists.txt"; then
  setfacl -R -m "u:$user:rX" "$source_dir"
fi

scratch=$(mktemp -d /tmp/kestrune-test-run.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/home" "$scratch/tmp"
chown -R "$user:" "$scratch"

status=0
runuser -u "$user" -- env HOME="$scratch/home" TMPDIR="$scratch/tmp" XDG_CONFIG_HOME="$scratch/home/.config" \
  XDG_RUNTIME_DIR="$scratch/tmp" USER="$user" LOGNAME="$user" \
  ctest --test-dir "$dir" "$@" || status=$?
exit $status
