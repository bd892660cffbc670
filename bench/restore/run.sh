#!/usr/bin/env bash
# bench/restore/run.sh <build-dir> [pages] [rounds] [work-folder]
# Brings back a killed session of <pages> A4 300 dpi colour pages through the
# real main window (bench_restore), against the page list filled the way it
# was filled before, in the same process.
set -eu
build=$(cd "$1" && pwd); pages=${2:-1000}; rounds=${3:-3}
work=${4:-$(mktemp -d "${TMPDIR:-/tmp}/restore-bench.XXXXXX")}
mkdir -p "$work/sane"
cp -r "$build/sim/etc/." "$work/sane/"
export SANE_CONFIG_DIR="$work/sane"
export LD_LIBRARY_PATH="$build/sim/lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
nproc_line="$(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "== $pages pages, $rounds rounds ($nproc_line)"
"$build/bench/restore/bench_restore" "$work" "$pages" "$rounds"
