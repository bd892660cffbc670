#!/usr/bin/env bash
# Page-list benchmark: peak memory of 500 A4 300 dpi colour JPEG pages in the
# page list against the empty workspace, resident size across page switches,
# and the time to add the pages against a full-size decode of the same pages.
#
#   bench/pagelist/run.sh <build-dir> [pages] [rounds]
set -euo pipefail
build=${1:?build directory}
pages=${2:-500}
rounds=${3:-2}
exe="$build/bench/pagelist/bench_pagelist"
work=$(mktemp -d "${TMPDIR:-/tmp}/scanvy-pagelist.XXXXXX")
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
export HOME="$work/home" TMPDIR="$work/tmp" XDG_RUNTIME_DIR="$work/tmp"
mkdir -p "$HOME" "$TMPDIR"
chmod 700 "$TMPDIR"

"$exe" prepare "$work/pages" "$pages"

peak() { grep 'Maximum resident set size' "$1" | awk '{print $NF}'; }

/usr/bin/time -v "$exe" baseline "$work/pages" 2>"$work/base.time"
/usr/bin/time -v "$exe" pages "$work/pages" "$rounds" 2>"$work/pages.time"
/usr/bin/time -v "$exe" decode "$work/pages" 2>"$work/decode.time"

base=$(peak "$work/base.time")
full=$(peak "$work/pages.time")
echo "peak_rss_kib baseline=$base with_pages=$full above_baseline=$((full - base)) ($(((full - base) / 1024)) MiB)"
