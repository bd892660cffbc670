#!/usr/bin/env bash
# bench/scanloop/run.sh <build-dir> [sheets] [rounds] [formats, e.g. jpg,tiff] [page-delay-ms] [recognition language, e.g. chi_sim+eng]
# Runs the scan-loop benchmark against the simulated scanner with a private
# copy of the simulator's SANE configuration.
set -eu
build=$(cd "$1" && pwd); sheets=${2:-50}; rounds=${3:-3}; formats=${4:-jpg,tiff,pnm}; delay=${5:-0}; language=${6:-}
conf=$(mktemp -d "${TMPDIR:-/tmp}/scanloop-bench.XXXXXX")
trap 'rm -rf "$conf"' EXIT
cp -r "$build/sim/etc/." "$conf/"
export SANE_CONFIG_DIR="$conf"
export LD_LIBRARY_PATH="$build/sim/lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
"$build/bench/scanloop/bench_scanloop" "$sheets" "$rounds" "$formats" "$delay" $language
