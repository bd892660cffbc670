#!/usr/bin/env bash
# bench/scanloop/run.sh <build-dir> [bench_scanloop options: --device test:0, --sheets N,
#   --rounds N, --formats jpg,tiff,pnm, --delay MS, --recognition LANG, --window]
# Runs the scan-loop benchmark with a private copy of the simulator's SANE
# configuration, with libsane's test backend added to it.
set -eu
build=$(cd "$1" && pwd); shift
root=$(cd "$(dirname "$0")/../.." && pwd)
conf=$(mktemp -d "${TMPDIR:-/tmp}/scanloop-bench.XXXXXX")
trap 'rm -rf "$conf"' EXIT
cp -r "$build/sim/etc/." "$conf/"
echo test >>"$conf/dll.conf"
cp "$root/sim/test-backend.conf" "$conf/test.conf"
export SANE_CONFIG_DIR="$conf"
export LD_LIBRARY_PATH="$build/sim/lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
export PATH="$root/sim/bin:$PATH"
export SCANVY_SIM_BIN="$root/sim/bin"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
"$build/bench/scanloop/bench_scanloop" "$@"
