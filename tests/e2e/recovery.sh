#!/usr/bin/env bash
# recovery.sh <group> <scanvy> <pagemarkers> <killonwrite> <simulator tools folder>
#
# The real program on a virtual X server and the simulated scanners (the
# environment comes from cmake/run-test.sh), driven by its keys:
#   kill  SIGTERM in the middle of a feeder batch; after the restart, kill -9
#         in the middle of a second batch (a kill after a finished batch is
#         the first kill of "save"); that session is then put where an
#         earlier version kept its folder, under the temporary folder;
#   save  kill -9 the moment a save starts writing one multi-page TIFF, then
#         (restarted) a PDF, then an OFD;
#   stop  Esc on the busy overlay and the window manager's close button
#         during a scan, then closing the window for real;
#   shared  a second copy with another HOME but the same cache folder runs
#         beside the first one.
# Each restart runs on the same home and temporary folders and answers 是.
# At the end the pages are saved as JPEG (a byte copy of each page file) and
# compared with the page files on disk at the last kill: same pages, same
# order, same bytes, the sheet markers of every batch in order. Nothing may
# be written outside the private work folder, the settings folder and the
# save targets.
#
# Every copy of the program runs in its own PID namespace, so that the
# single-instance guard does not see other copies on this machine.
set -u
group=$1; exe=$2; marks=$3; killer=$4; simbin=$5
here=$(cd "$(dirname "$0")" && pwd)

if [ -z "${SCANVY_XSERVER:-}" ]; then
  for tool in Xvfb xdotool import unshare pgrep sha256sum; do
    command -v "$tool" >/dev/null || { echo "recovery: $tool missing (scripts/bootstrap)"; exit 1; }
  done
  unset QT_QPA_PLATFORM
  exec "$here/xserver.sh" "$0" "$@"
fi

NAME=recovery
# shellcheck source=session.sh
. "$here/session.sh"

# A new case: its own home and temporary folders, the settings, the panel's
# scan settings (small colour pages) and the scenario.
new_case() { # name format scenario
  CASE=$1
  export HOME="$root/$CASE/home" TMPDIR="$root/$CASE/tmp" XDG_CACHE_HOME="$root/$CASE/home/.cache"
  mkdir -p "$HOME/.config/com.quvex.zyl.scanvy" "$TMPDIR"
  set_format "$2"
  scan_settings
  scenario "$3"
}

work_dir() { echo "$XDG_CACHE_HOME/scanvy/work"; }
pages_dir() { echo "$(work_dir)/scanimages"; }
complete_pages() { ls "$(pages_dir)" 2>/dev/null | grep -E '^r[0-9]+\.jpg$' | sort; }
count_pages() { complete_pages | wc -l; }

no_box() { # title seconds: no such box shows up meanwhile
  for _ in $(seq 1 $(($2 * 10))); do
    [ -n "$(visible "$1")" ] && fail "unexpected box \"$1\""
    sleep 0.1
  done
}

wait_pages() { # n: complete page files in the work folder
  for _ in $(seq 1 300); do
    [ "$(count_pages)" -ge "$1" ] && return 0
    sleep 0.05
  done
  fail "fewer than $1 pages scanned"
}

# What was on disk when the program died: the complete page files in order,
# their bytes, and their markers (the batches' sheets in scan order).
note_pages() { # expected markers, e.g. "1A 2A 1A "; empty: 1A 2A ... n A
  EXPECTED=$(complete_pages)
  [ -n "$EXPECTED" ] || fail "no page scanned before the kill"
  (cd "$(pages_dir)" && sha256sum $EXPECTED | awk '{print $1}') >"$root/$CASE/expected.sums"
  local got want=${1:-} i=1
  got=$(cd "$(pages_dir)" && "$marks" "$DPI" $EXPECTED | tr '\n' ' ')
  if [ -z "$want" ]; then
    for _ in $EXPECTED; do want="$want${i}A "; i=$((i + 1)); done
  fi
  [ "$got" = "$want" ] || fail "pages on disk read \"$got\", not \"$want\""
  note "$(echo $EXPECTED | wc -w) pages on disk at the kill"
}

pages_unchanged() { # the page files are still those noted, byte for byte
  [ "$(complete_pages)" = "$EXPECTED" ] || fail "the page files changed: $(complete_pages | tr '\n' ' ')"
  (cd "$(pages_dir)" && sha256sum $EXPECTED | awk '{print $1}') | cmp -s - "$root/$CASE/expected.sums" ||
    fail "a page file changed"
}

# Starts again, answers 是, saves as JPEG: the saved files are the pages.
recover_and_compare() {
  set_format 3
  start
  shot question
  answer '提示'
  press ctrl+shift+s
  answer '提示' # 保存成功
  idle
  local saved
  saved=$(ls "$HOME/out" | grep -E '^r[0-9]+\.jpg$' | sort)
  [ "$(echo $saved | wc -w)" -eq "$(echo $EXPECTED | wc -w)" ] ||
    fail "saved $(echo $saved | wc -w) pages, $(echo $EXPECTED | wc -w) were on disk"
  (cd "$HOME/out" && sha256sum $saved | awk '{print $1}') >"$root/$CASE/saved.sums"
  cmp -s "$root/$CASE/expected.sums" "$root/$CASE/saved.sums" ||
    fail "recovered pages differ from the pages on disk at the kill"
}

# Only the settings folder, the private work folder and the save targets
# (with the writers' hidden files beside a target, reported) may hold files.
only_own_files() {
  local stray
  stray=$(cd "$root/$CASE" && find home tmp -type f |
    grep -vE '^home/\.config/com\.quvex\.zyl\.scanvy/[^/]+$' |
    grep -vE '^home/\.cache/scanvy/work(/|\.lock$)' |
    grep -vE '^home/out/r[0-9]+\.(jpg|tiff|pdf|ofd)$' |
    grep -vE '^home/\.cache/fontconfig/')
  local beside
  beside=$(echo "$stray" | grep -E '^home/out/\.r[0-9]+\.part-')
  [ -n "$beside" ] && note "writers' temporary files left beside a target: $(echo $beside)"
  stray=$(echo "$stray" | grep -vE '^home/out/\.r[0-9]+\.part-' | grep -v '^$')
  [ -z "$stray" ] || fail "files outside the private folder and the targets: $stray"
}

# One session killed twice in turn; each start brings back everything the
# killed copy had on disk.
case_kills() {
  new_case kills 3 'sheets=12\npage-delay-ms=250\nload=1'
  start
  press F5
  wait_pages 2
  shot scanning
  killed TERM # ends at once: no exit question holds it up
  note_pages
  local first
  first=$(echo $EXPECTED | wc -w)
  # Recovered, then a second batch killed half-way.
  scenario 'sheets=12\npage-delay-ms=250\nload=2'
  start
  shot question
  answer '提示'
  press F5
  wait_pages $((first + 2))
  killed KILL
  note_pages "$(batch "$first")$(batch $(($(count_pages) - first)))"
  [ "$(count_pages)" -lt $((first + 12)) ] || fail "the kill came after the batch"
  # The killed session where an earlier version kept it, under the temporary
  # folder: it is brought over and offered; nothing of it stays there.
  mkdir -p "$TMPDIR/zir" && chmod 700 "$TMPDIR/zir" && mv "$(work_dir)" "$TMPDIR/zir/scanvy" ||
    fail "cannot move the session to the earlier place"
  recover_and_compare
  [ ! -e "$TMPDIR/zir" ] || fail "the earlier folder stays: $(find "$TMPDIR/zir" | tr '\n' ' ')"
  close_window
  only_own_files
}

# Kills the moment the save first writes into the save folder: in the middle
# of writing the document, unless the save wins the race. The save folder
# then holds no document or a whole one, and every page is either still a
# page file (offered at the next start) or in that whole document.
kill_during_save() {
  mkdir -p "$HOME/out"
  "$killer" "$HOME/out" "$PID" 30 >"$root/$CASE/killer.out" &
  local watcher=$!
  for _ in $(seq 1 100); do
    grep -q watching "$root/$CASE/killer.out" 2>/dev/null && break
    sleep 0.05
  done
  press ctrl+shift+s
  wait "$watcher" || fail "the save wrote nothing"
  wait "$UPID" 2>/dev/null
  UPID=""; PID=""
  local documents doc got whole=""
  documents=$(ls "$HOME/out" | grep -E '^r[0-9]+\.(tiff|pdf|ofd)$')
  note "killed while $(tail -1 "$root/$CASE/killer.out") was written; documents: ${documents:-none}"
  for doc in $documents; do
    got=$("$marks" "$DPI" "$HOME/out/$doc" | tr '\n' ' ')
    [ "$got" = "$(batch 6)" ] || fail "a broken document is left: $doc reads \"$got\""
    [ "$(stat -c %Y "$HOME/out/$doc")" -ge "$SAVE_STARTED" ] && whole=$doc
  done
  if [ -n "$(complete_pages)" ]; then
    pages_unchanged
  else
    [ -n "$whole" ] || fail "the pages are gone and no document holds them"
    note "the save ended before the kill: $whole holds every page"
    rm -f "$HOME/out/$whole"
  fi
}

# A start with a save format: the pages of the killed copy are taken back,
# or, when its save had ended, a new batch is scanned.
save_step() { # format load
  set_format "$1"
  start
  if [ -n "$(complete_pages)" ]; then
    answer '提示'
  else
    no_box '提示' 1
    scenario "sheets=6\nload=$2"
    press F5
    wait_pages 6
    idle
    note_pages
  fi
  SAVE_STARTED=$(date +%s)
  kill_during_save
}

case_saves() {
  new_case saves 1 'sheets=6\nload=1'
  DPI=200 # pages big enough that writing them takes a moment
  scan_settings
  save_step 1 1 # multi-page TIFF
  save_step 6 2 # PDF
  save_step 8 3 # OFD
  if [ -n "$(complete_pages)" ]; then
    recover_and_compare
  else
    set_format 3
    start
    no_box '提示' 1
  fi
  close_window
  only_own_files
  DPI=50
}

case_stop() {
  new_case stop 3 'sheets=30\npage-delay-ms=300\nload=1'
  start
  press F5
  wait_pages 2
  shot overlay
  # Esc on the overlay stops the scan: the pages so far stay, no error.
  local masker
  masker=$(visible '正在进行处理')
  [ -n "$masker" ] || fail "no busy overlay during the scan"
  timeout 5 xdotool windowfocus --sync "$masker" 2>/dev/null
  xdotool key Escape
  idle
  no_box '错误' 1
  local first
  first=$(count_pages)
  [ "$first" -lt 30 ] || fail "Esc did not stop the scan"
  [ -z "$(ls "$(pages_dir)" | grep '\.part$')" ] || fail "the cut-off page was kept"
  note "Esc stopped the scan after $first pages"
  # The window's close button during a scan stops it as well; the window stays.
  scenario 'sheets=30\npage-delay-ms=300\nload=2'
  press F5
  wait_pages $((first + 2))
  python3 "$here/wmclose.py" "$MAIN" || fail "could not ask the window to close"
  idle
  no_box '错误' 1
  [ -z "$(visible '提示')" ] || fail "a question during the scan"
  kill -0 "$PID" 2>/dev/null || fail "the window closed during the scan"
  local second
  second=$(count_pages)
  [ "$second" -lt $((first + 30)) ] || fail "the close button did not stop the scan"
  note "the close button stopped the second scan at $second pages"
  shot stopped
  # Closing again asks; 是 (its key Y: 否 is the default) ends the program,
  # and nothing is left to recover.
  python3 "$here/wmclose.py" "$MAIN" || fail "could not ask the window to close"
  answer '提示' y
  ended "the exit was confirmed"
  [ -z "$(find "$(work_dir)" -type f)" ] || fail "files left after a clean exit"
  only_own_files
}

# Two copies, each in its own PID namespace (the single-instance guard sees
# neither), with their own HOME but one cache folder: the second finds the
# work folder in use and works in a private folder of its own; it scans,
# saves and ends. The first copy's pages stay byte for byte and its save
# has them all.
case_shared() {
  new_case shared 3 'sheets=3\nload=1'
  start
  press F5
  wait_pages 3
  idle
  note_pages
  local first_main=$MAIN first_pid=$PID first_upid=$UPID first_home=$HOME
  export HOME="$root/$CASE/home2"
  mkdir -p "$HOME/.config/com.quvex.zyl.scanvy"
  set_format 3
  cp "$first_home/.config/com.quvex.zyl.scanvy/zylkx_KX-8000.ini" "$HOME/.config/com.quvex.zyl.scanvy/"
  scenario 'sheets=2\nload=2'
  start "$first_main"
  grep -q 'session lock held elsewhere' "$root/$CASE/scanvy.log" || fail "the second copy took the folder in use"
  local own
  own=$(ls -d "$(work_dir)"-?????? 2>/dev/null)
  [ -n "$own" ] || fail "the second copy has no private folder"
  press F5
  for _ in $(seq 1 300); do
    [ "$(ls "$own/scanimages" 2>/dev/null | grep -cE '^r[0-9]+\.jpg$')" -ge 2 ] && break
    sleep 0.05
  done
  idle
  pages_unchanged
  press ctrl+shift+s
  answer '提示' # 保存成功
  idle
  [ "$(ls "$HOME/out" | grep -cE '^r[0-9]+\.jpg$')" -eq 2 ] || fail "the second copy saved $(ls "$HOME/out")"
  close_window
  [ ! -e "$own" ] && [ ! -e "$own.lock" ] || fail "the second copy's private folder stays"
  pages_unchanged
  export HOME=$first_home
  MAIN=$first_main PID=$first_pid UPID=$first_upid
  press ctrl+shift+s
  answer '提示' # 保存成功
  idle
  local saved
  saved=$(ls "$HOME/out" | grep -E '^r[0-9]+\.jpg$' | sort)
  (cd "$HOME/out" && sha256sum $saved | awk '{print $1}') >"$root/$CASE/saved.sums"
  cmp -s "$root/$CASE/expected.sums" "$root/$CASE/saved.sums" ||
    fail "the first copy's save differs from its pages"
  close_window
  only_own_files
}

case $group in
kill)
  case_kills
  ;;
save)
  case_saves
  ;;
stop)
  case_stop
  ;;
shared)
  case_shared
  ;;
*)
  echo "recovery: unknown group $group"
  exit 2
  ;;
esac
echo "recovery: $group passed"
