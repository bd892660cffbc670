#!/usr/bin/env bash
# start.sh <cmake> <build-dir> <app-id> <smoke.sh> <simulator tools folder>
# Installs the build into a private prefix and starts the program the way the
# applications menu does: the command of the desktop entry's Exec key, looked
# up on a PATH that holds only the prefix's bin folder, with the simulated
# scanners (environment from cmake/run-test.sh). The smoke test then wants a
# main window titled with the entry's Chinese name and of the entry's
# StartupWMClass, the class by which the desktop ties the window to the entry.
set -u
cmake=$1; build=$2; id=$3; smoke=$4; simbin=$5
prefix=$TMPDIR/prefix
if ! "$cmake" --install "$build" --prefix "$prefix" >"$TMPDIR/install.log" 2>&1; then
  cat "$TMPDIR/install.log"
  exit 1
fi
entry=$prefix/share/applications/$id.desktop
[ -f "$entry" ] || { echo "start: no desktop entry $entry"; exit 1; }
key() { sed -n "s/^$1=//p" "$entry" | head -n 1; }
program=$(key Exec)
title=$(key 'Name\[zh_CN\]')
class=$(key StartupWMClass)
exe=$(PATH="$prefix/bin"; command -v "$program") || {
  echo "start: Exec=$program is not a program in $prefix/bin"
  exit 1
}
echo "start: $exe from Exec=$program, window \"$title\" of class \"$class\""
export SCANVY_SMOKE_TITLE=$title SCANVY_SMOKE_CLASS=$class
exec "$smoke" "$exe" "$simbin"
