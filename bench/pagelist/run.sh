#!/usr/bin/env bash
# Page-list benchmark on A4 300 dpi pages, colour JPEG and 1-bit TIFF:
# peak memory of the list with every page against the empty workspace, the
# time to add 110 pages of each kind, page switches (single steps and a held
# arrow key) against a full-size decode of the same pages.
#
#   bench/pagelist/run.sh <build-dir> [pages] [steps]
set -euo pipefail
build=${1:?build directory}
pages=${2:-500}
steps=${3:-100}
exe="$build/bench/pagelist/bench_pagelist"
work=$(mktemp -d "${TMPDIR:-/tmp}/scanvy-pagelist.XXXXXX")
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
export HOME="$work/home" TMPDIR="$work/tmp" XDG_RUNTIME_DIR="$work/tmp"
mkdir -p "$HOME" "$TMPDIR"
chmod 700 "$TMPDIR"

"$exe" prepare "$work/jpg" "$pages" jpg
"$exe" prepare "$work/tiff" "$pages" tiff

peak() { grep 'Maximum resident set size' "$1" | awk '{print $NF}'; }

/usr/bin/time -v "$exe" baseline "$work/jpg" 2>"$work/base.time"
base=$(peak "$work/base.time")
echo "baseline peak_rss_kib=$base"

for kind in jpg tiff; do
  echo "== $pages $kind pages"
  /usr/bin/time -v "$exe" pages "$work/$kind" "$steps" 2>"$work/$kind.time"
  full=$(peak "$work/$kind.time")
  echo "peak_rss_kib=$full above_baseline=$((full - base)) ($(((full - base) / 1024)) MiB)"
  "$exe" decode "$work/$kind" 50 2>/dev/null
done

# Adding 110 pages, three times each, the kinds alternating.
echo "== adding 110 pages"
for round in 1 2 3; do
  for kind in jpg tiff; do
    echo -n "$kind round $round: "
    "$exe" add "$work/$kind" 110 2>/dev/null
  done
done
