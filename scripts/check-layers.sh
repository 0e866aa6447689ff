#!/usr/bin/env bash
# check-layers.sh: fails when a folder includes a header of a folder above it or beside it. The product's
# folders and the rooms of the platform layer each have a rank; a file may include its own folder's headers
# and those of lower ranks, never those of another folder of the same rank. Every folder may reach the application object and its string ids (app/main.h,
# app/resource.h), the one way up that the design asks for; the platform layer reaches nothing outside it.
set -euo pipefail
cd "$(dirname "$0")/.."

rank_of() {
  case $1 in
    framework/core/*) echo 0 ;;
    framework/files/* | framework/net/*) echo 1 ;;
    framework/serial/*) echo 2 ;;
    framework/gui/text/*) echo 3 ;;
    framework/gui/drawing/*) echo 4 ;;
    framework/gui/windows/*) echo 5 ;;
    framework/gui/dialogs/*) echo 6 ;;
    framework/gui/docview/*) echo 7 ;;
    framework/gui/printing/*) echo 8 ;;
    framework/gui/textview/*) echo 9 ;;
    framework/gui/app/*) echo 10 ;;
    comm/* | log/*) echo 20 ;;
    settings/*) echo 21 ;;
    reception/*) echo 22 ;;
    print/*) echo 23 ;;
    view/*) echo 24 ;;
    app/*) echo 25 ;;
    *) echo "" ;;
  esac
}

# The folder (or platform room) a file belongs to.
room_of() {
  case $1 in
    framework/gui/*) echo "$1" | cut -d/ -f1-3 ;;
    framework/*) echo "$1" | cut -d/ -f1-2 ;;
    *) echo "${1%%/*}" ;;
  esac
}

status=0
while IFS= read -r file; do
  own=$(rank_of "$file")
  [ -z "$own" ] && continue
  while IFS= read -r header; do
    case $header in app/main.h | app/resource.h) [ "${file#framework/}" = "$file" ] && continue ;; esac
    target=$(rank_of "$header")
    [ -z "$target" ] && continue
    if [ "$target" -gt "$own" ]; then
      echo "layers: $file includes $header, a folder above it" >&2
      status=1
    elif [ "$target" -eq "$own" ] && [ "$(room_of "$file")" != "$(room_of "$header")" ]; then
      echo "layers: $file includes $header, a folder beside it" >&2
      status=1
    fi
  done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
done < <(git ls-files '*.h' '*.cpp')
[ $status -eq 0 ] && echo "layers: every include points down"
exit $status
