#!/bin/sh
# isolated.sh FOLDER COMMAND [ARGUMENT...]: runs COMMAND with HOME and every
# XDG folder inside FOLDER, emptied first, so that a test neither reads nor
# writes the user's own: restore points, recovery files, the port table of
# the simulators, the settings of the file dialogs.
set -e
given=$1 root=$1
shift
# FOLDER is emptied: only a folder test-folders/NAME of a build tree is.
case "$root" in
  */test-folders/*/* | */test-folders/ | */test-folders/. | */test-folders/.. | */../* | */./*) root= ;;
  */test-folders/?*) [ -f "${root%/test-folders/*}/CMakeCache.txt" ] || root= ;;
  *) root= ;;
esac
if [ -z "$root" ]; then
  echo "isolated.sh: $given is not a folder test-folders/NAME of a build tree" >&2
  exit 2
fi
rm -rf "$root"
mkdir -p "$root/home" "$root/config" "$root/cache" "$root/data" "$root/state" "$root/runtime"
# Only its owner may enter the runtime folder, where the simulators and the
# program look each other up.
chmod 700 "$root/runtime"
export HOME="$root/home" XDG_CONFIG_HOME="$root/config" XDG_CACHE_HOME="$root/cache" \
  XDG_DATA_HOME="$root/data" XDG_STATE_HOME="$root/state" XDG_RUNTIME_DIR="$root/runtime"
exec "$@"
