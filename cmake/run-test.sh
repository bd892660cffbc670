#!/usr/bin/env bash
# run-test.sh <sim-conf-dir> <sim-lib-dir> <test-executable> [args...]
# Runs one test in an isolated environment and removes it afterwards.
set -u
conf_src=$1; lib_dir=$2; shift 2

sandbox=$(mktemp -d "${TMPDIR:-/tmp}/scanvy-test.XXXXXX")
trap 'rm -rf "$sandbox"' EXIT
mkdir -p "$sandbox/home" "$sandbox/tmp" "$sandbox/sane"
if [ -d "$conf_src" ]; then
  cp -r "$conf_src"/. "$sandbox/sane/"
fi

export HOME="$sandbox/home"
export TMPDIR="$sandbox/tmp"
export XDG_CONFIG_HOME="$HOME/.config"
export XDG_CACHE_HOME="$HOME/.cache"
export XDG_RUNTIME_DIR="$sandbox/tmp"
export QT_QPA_PLATFORM=offscreen
export SANE_CONFIG_DIR="$sandbox/sane"
export LD_LIBRARY_PATH="$lib_dir${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
unset SANE_DEBUG_DLL

"$@"
