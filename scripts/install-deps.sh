#!/usr/bin/env bash
# install-deps.sh [package...]: installs the Debian packages that building, running and testing Kestrune
# need, and the packages named on the command line, when any is missing.
# As root it installs directly; otherwise through sudo when it is there; else it prints the command and fails.
set -euo pipefail

packages=(
  build-essential cmake pkg-config clang-format
  qt6-base-dev libgl-dev
  libgtest-dev libgmock-dev
  clang libclang-rt-14-dev
  poppler-utils xvfb xauth imagemagick fonts-dejavu-core
  xdg-utils ccache xdotool acl
  desktop-file-utils appstream
  cups-daemon cups-client libcups2-dev locales
  ser2net libtelnet-dev
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  apt-get update
  DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
elif command -v sudo >/dev/null 2>&1; then
  sudo apt-get update
  sudo DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
else
  echo "Please install the missing packages as root:" >&2
  echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
  exit 1
fi
