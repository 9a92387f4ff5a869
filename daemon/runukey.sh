#!/bin/sh
# Starts the key manager from its own folder with the arguments it is given
# (none, or "-sys" to start hidden in the tray).
here="$(cd "$(dirname "$0")" && pwd)"
cd "$here" || exit 1
exec "$here/tarnukey" "$@"
