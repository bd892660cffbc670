#!/usr/bin/env bash
# bench/session/run.sh <build-dir> [sheets] [work-folder] [steps, e.g. save,after,pages,ocr] [page-delay-ms]
# A whole session through the real main window on the simulated feeder
# (bench_session), then the same saves by the reference command-line tools
# on the same pages, each timed by /usr/bin/time -v (when the steps include
# "save").
set -eu
build=$(cd "$1" && pwd); sheets=${2:-300}
work=${3:-$(mktemp -d "${TMPDIR:-/tmp}/session-bench.XXXXXX")}
steps=${4:-save,after,pages}; delay=${5:-0}
root=$(cd "$(dirname "$0")/../.." && pwd)
rm -rf "$work"; mkdir -p "$work/sane" "$work/ref"
cp -r "$build/sim/etc/." "$work/sane/"
export SANE_CONFIG_DIR="$work/sane"
export LD_LIBRARY_PATH="$build/sim/lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
export PATH="$root/sim/bin:$PATH"
export SCANVY_SIM_BIN="$root/sim/bin"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

# "<label>: <wall s> s, peak <MiB> MiB" from the report of /usr/bin/time -v.
timed() {
  local label=$1; shift
  /usr/bin/time -v -o "$work/time.txt" "$@" >/dev/null
  awk -v l="$label" -F': ' '
    /Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + t[i] }
    /Maximum resident set size/ { m = $2 / 1024 }
    END { printf "%-34s %8.2f s  peak %7.1f MiB\n", l, s, m }' "$work/time.txt"
}

echo "== scanvy: $sheets sheets A4 300 dpi colour, scan + save, per format"
/usr/bin/time -v -o "$work/time-session.txt" "$build/bench/session/bench_session" "$sheets" "$work" "$steps" "$delay"
grep -E "Elapsed|Maximum resident" "$work/time-session.txt" | sed 's/^\s*/whole process: /'
case ",$steps," in *,save,*) ;; *) echo "work folder: $work (remove it when done)"; exit 0 ;; esac

echo "== reference tools on the same $(ls "$work/pages" | wc -l) pages"
pages=("$work"/pages/*.jpg)
timed "decode pages to TIFF (convert)" sh -c 'for p; do convert "$p" -compress none "${p%.jpg}.tif"; done' _ "${pages[@]}"
tifs=("$work"/pages/*.tif)
timed "tiffcp -c jpeg -r 16" tiffcp -c jpeg -r 16 "${tifs[@]}" "$work/ref/all.tiff"
timed "tiff2pdf -j" tiff2pdf -j -o "$work/ref/all.pdf" "$work/ref/all.tiff"
timed "zip -0 of the page files (OFD peer)" zip -q -0 -j "$work/ref/pages.zip" "${pages[@]}"
rm -f "$work/ref/pages.zip"
# Our writers flush to disk before the rename; the same for the peer.
timed "zip -0, then sync of the archive" sh -c 'zip -q -0 -j "$0" "$@" && sync "$0"' "$work/ref/pages.zip" "${pages[@]}"
ls -l "$work/out" "$work/ref"
echo "work folder: $work (remove it when done)"
