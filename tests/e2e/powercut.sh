#!/usr/bin/env bash
# powercut.sh <group> <scanvy> <pagemarkers> <fsshutdown> <simulator tools folder>
#
# The real program on a virtual X server and the simulated feeder, with the
# power cut under it or the machine's boot cleaning between two runs
# (environment from cmake/run-test.sh):
#
#   cut   HOME, XDG_CACHE_HOME and TMPDIR lie on a small ext4 image mounted
#         through a loop device. Each seed chooses a moment (in the middle
#         of a batch, right after one, while a page is turned, while the
#         session's journal is written, while a save writes its document)
#         and a random delay within it; there the file system is shut down
#         without flushing its log (nothing more reaches the disk), the
#         program is killed, the image is mounted again (its log replayed)
#         and the program restarted and answered 是. Every page the page list
#         held before the cut (its journal, as the program had written it,
#         copied at the cut) must come back whole and in order, the save
#         that follows must succeed, and nothing outside the work folder, the
#         settings and the save targets may have changed.
#         SCANVY_CUTS (default 10) seeds from SCANVY_SEED (default 1);
#         needs root and loop devices, otherwise skipped (status 77).
#         SCANVY_CUT_MOUNT adds mount options: with "sync,dirsync" every
#         write is on the disk before it returns, so nothing can be lost and
#         every seed must pass (a check of the test itself).
#   boot  A session killed during its work, then systemd-tmpfiles --remove
#         --boot over a copy of the system's tmp.conf (a reboot's cleaning of
#         the temporary folder), then a start: the session is offered.
#
# Every copy of the program runs in its own PID namespace, so that the
# single-instance guard does not see other copies on this machine.
set -u
group=$1; exe=$2; marks=$3; cutter=$4; simbin=$5
here=$(cd "$(dirname "$0")" && pwd)

skip() { echo "powercut[$group]: SKIPPED: $*"; exit 77; }

if [ -z "${SCANVY_XSERVER:-}" ]; then
  for tool in Xvfb xdotool unshare pgrep python3; do
    command -v "$tool" >/dev/null || { echo "powercut: $tool missing (scripts/bootstrap)"; exit 1; }
  done
  unshare --pid --fork --mount-proc true 2>/dev/null || skip "cannot make PID namespaces here (needs root)"
  if [ "$group" = cut ]; then
    [ "$(id -u)" -eq 0 ] || skip "the power cut needs root (loop mount, FS_IOC_SHUTDOWN)"
    [ -e /dev/loop-control ] || skip "no loop devices here (/dev/loop-control)"
    command -v mkfs.ext4 >/dev/null || skip "mkfs.ext4 missing (e2fsprogs)"
  else
    command -v systemd-tmpfiles >/dev/null || skip "systemd-tmpfiles missing (package systemd)"
    [ -f /usr/lib/tmpfiles.d/tmp.conf ] || skip "the system has no /usr/lib/tmpfiles.d/tmp.conf"
  fi
  unset QT_QPA_PLATFORM SUDO_UID
  exec "$here/xserver.sh" "$0" "$@"
fi

NAME=powercut
# shellcheck source=session.sh
. "$here/session.sh" # root: not on the cut file system
MNT=""; SEED=""

on_fail() {
  [ -n "$UPID" ] && ps -o pid,stat,wchan:30,args --ppid "$(pgrep -P "$UPID" | head -1)" 2>/dev/null | sed 's/^/  process: /'
  shot failed
  [ -n "$SEED" ] && note "rerun this cut alone: SCANVY_SEED=$SEED SCANVY_CUTS=1 ctest -R e2e_powercut_cut -V"
}

cleanup() {
  [ -n "$UPID" ] && kill -9 "$UPID" 2>/dev/null
  [ -n "$PID" ] && kill -9 "$PID" 2>/dev/null
  wait 2>/dev/null
  [ -n "$MNT" ] && mountpoint -q "$MNT" && umount "$MNT"
}
trap cleanup EXIT
trap "exit 143" TERM INT HUP

# The folders of one case: home (with the cache folder) and temporary folder.
use_folders() { # home temp
  export HOME="$1" XDG_CACHE_HOME="$1/.cache" TMPDIR="$2"
  export XDG_CONFIG_HOME="$HOME/.config"
  mkdir -p "$HOME/.config/com.quvex.zyl.scanvy" "$XDG_CACHE_HOME" "$TMPDIR"
}

# The program's work folder: below the cache folder, or (older builds) below
# the temporary folder.
work_dir() {
  local dir
  for dir in "$XDG_CACHE_HOME/scanvy/work" "$TMPDIR/zir/scanvy"; do
    [ -d "$dir" ] && { echo "$dir"; return 0; }
  done
  return 1
}

journal_pages() { # journal file: the number of pages it lists (0: none, unreadable)
  python3 -c 'import json, sys; print(len(json.load(open(sys.argv[1]))["pages"]))' "$1" 2>/dev/null || echo 0
}

listed() { # n: waits until the page list's journal lists n pages
  local dir
  for _ in $(seq 1 300); do
    dir=$(work_dir) && [ "$(journal_pages "$dir/session.json")" -ge "$1" ] && return 0
    sleep 0.05
  done
  fail "the page list never held $1 pages"
}

readings() { # folder: the markers of its r*.jpg pages in name order
  local files
  files=$(ls "$1" 2>/dev/null | grep -E '^r[0-9]+\.jpg$' | sort)
  [ -z "$files" ] && return 0
  (cd "$1" && "$marks" "$DPI" $files | tr '\n' ' ')
}

# Starts again (saving as JPEG into $HOME/saved) and takes back what is
# offered; the pages then saved, by their markers.
RECOVERED=""
recover_and_save() {
  set_format 3 "$HOME/saved"
  start
  local box
  box=$(await_box '提示' 80)
  RECOVERED=""
  [ -z "$box" ] && return 0
  answer_box "$box"
  press ctrl+shift+s
  local done=""
  for _ in $(seq 1 150); do
    [ -n "$(visible '错误')" ] && fail "the save after the restart failed (\"错误\")"
    done=$(visible '提示') # 保存成功
    [ -n "$done" ] && break
    sleep 0.1
  done
  [ -n "$done" ] || fail "the save after the restart did not end"
  answer_box "$done"
  idle
  RECOVERED=$(readings "$HOME/saved")
  [ -n "$RECOVERED" ] || fail "pages were offered, but the save that followed wrote none"
}

# ---------------------------------------------------------------- power cut

# Every file of the cut file system with its checksum, outside the places the
# program may write: the settings, the work folder, the save targets.
others() {
  (cd "$MNT" && find . -path ./lost+found -prune -o -type f -print | sed 's|^\./||' |
    grep -vE '^home/\.config/com\.quvex\.zyl\.scanvy/[^/]+$' |
    grep -vE '^home/\.cache/scanvy/' |
    grep -vE '^tmp/zir/scanvy(/|\.lock$)' |
    grep -vE '^home/(out|saved)/' |
    grep -vE '^home/\.cache/fontconfig/' | sort | xargs -r sha256sum)
}

# The program's PID namespace took a copy of the mount, which holds the file
# system (and its loop device) until the namespace has gone; only then is the
# next mount a fresh one rather than the shut-down one again.
unmount() {
  umount "$MNT" || fail "cannot unmount"
  for _ in $(seq 1 100); do
    [ -z "$(losetup -j "$root/disk.img" 2>/dev/null)" ] && return 0
    sleep 0.1
  done
  fail "the image is still in use after it was unmounted: $(losetup -j "$root/disk.img")"
}

mount_image() {
  mount -o "loop${SCANVY_CUT_MOUNT:+,$SCANVY_CUT_MOUNT}" "$root/disk.img" "$MNT" || fail "cannot mount the image"
}

fresh_disk() {
  rm -f "$root/disk.img"
  truncate -s 96M "$root/disk.img"
  mkfs.ext4 -q -F "$root/disk.img" || fail "mkfs.ext4 failed"
  mount_image
  use_folders "$MNT/home" "$MNT/tmp"
  # Files of other programs beside ours, which must stay as they are.
  mkdir -p "$HOME/Documents" "$TMPDIR/other" "$XDG_CACHE_HOME/other"
  echo "a letter" >"$HOME/Documents/letter.txt"
  echo "another program's file" >"$TMPDIR/other/file"
  echo "another program's cache" >"$XDG_CACHE_HOME/other/cache"
  scan_settings
  sync -f "$MNT" # what exists before the program starts is on the disk
  others >"$root/$CASE/others.before"
}

# Cuts the power now, or at the event given (fsshutdown's options); keeps
# the journal as the program had written it.
cut() { # fsshutdown options...
  local dir
  dir=$(work_dir) || fail "no work folder"
  "$cutter" "$MNT" --keep "$dir/session.json" "$root/$CASE/journal.json" "$@" >"$root/$CASE/cut.out" ||
    fail "no cut: $(tail -1 "$root/$CASE/cut.out")"
}

cut_on() { # folder name-part options...: arms the cut on a write, in the background
  local folder=$1 part=$2 dir
  shift 2
  dir=$(work_dir) || fail "no work folder"
  "$cutter" "$MNT" --keep "$dir/session.json" "$root/$CASE/journal.json" \
    --watch "$folder" "$part" "$@" >"$root/$CASE/cut.out" &
  CUTTER=$!
  for _ in $(seq 1 100); do
    grep -q watching "$root/$CASE/cut.out" 2>/dev/null && return 0
    sleep 0.05
  done
  fail "the cut was not armed"
}

cut_done() { wait "$CUTTER" || fail "no cut: $(tail -1 "$root/$CASE/cut.out")"; }

msleep() { sleep "$(printf '%d.%03d' $(($1 / 1000)) $(($1 % 1000)))"; }

# The moments. Each leaves SHEETS (the batch) and SHOWN (pages the list held
# before the cut, from the journal kept at the cut).
moment_batch() {
  SHEETS=20
  scenario "sheets=$SHEETS\npage-delay-ms=60\nload=$SEED"
  start
  local delay=$((200 + RANDOM % 1400))
  press F5
  msleep "$delay"
  cut
  note "cut ${delay} ms into a batch"
}

moment_after_batch() {
  SHEETS=$((3 + RANDOM % 6))
  scenario "sheets=$SHEETS\nload=$SEED"
  start
  press F5
  listed "$SHEETS"
  local delay=$((RANDOM % 400))
  msleep "$delay"
  cut
  note "cut ${delay} ms after a batch of $SHEETS"
}

moment_turn() {
  SHEETS=$((2 + RANDOM % 5))
  scenario "sheets=$SHEETS\nload=$SEED"
  start
  press F5
  listed "$SHEETS"
  idle
  # A turn is the page's angle in the journal: the cut follows the
  # journal's first or second write after the turn (no write: the turn was
  # not recorded, which fails).
  local dir skip=$((RANDOM % 2)) delay=$((RANDOM * 8))
  dir=$(work_dir) || fail "no work folder"
  cut_on "$dir" session.json --skip "$skip" --delay-us "$delay" --timeout 10
  # The edit menu opens on its first enabled entry (撤销, the scan); two
  # down is a turn (旋转180°).
  press alt+e
  sleep 0.3
  press Down Down Return
  cut_done
  note "cut ${delay} us after journal write $skip of a turn ($(tail -1 "$root/$CASE/cut.out"))"
}

moment_journal() {
  SHEETS=$((3 + RANDOM % 8))
  scenario "sheets=$SHEETS\nload=$SEED"
  start
  local dir skip=$((RANDOM % (3 * SHEETS))) delay=$((RANDOM % 3000))
  dir=$(work_dir) || fail "no work folder"
  cut_on "$dir" session.json --skip "$skip" --delay-us "$delay"
  press F5
  cut_done
  note "cut ${delay} us after journal event $skip ($(tail -1 "$root/$CASE/cut.out"))"
}

moment_save() {
  SHEETS=$((2 + RANDOM % 5))
  local formats=(1 6 8) format
  format=${formats[$((RANDOM % 3))]}
  set_format "$format" "$HOME/out"
  scenario "sheets=$SHEETS\nload=$SEED"
  start
  press F5
  listed "$SHEETS"
  idle
  mkdir -p "$HOME/out"
  local skip=$((RANDOM % 4)) delay=$((RANDOM * 12))
  cut_on "$HOME/out" "" --skip "$skip" --delay-us "$delay"
  press ctrl+shift+s
  cut_done
  note "cut ${delay} us after save event $skip of format $format ($(tail -1 "$root/$CASE/cut.out"))"
}

# After the cut: the documents of an interrupted save are whole or absent,
# and the pages are either all back or all in one whole document.
check_save() {
  local doc got whole=""
  for doc in $(ls "$HOME/out" 2>/dev/null | grep -E '^r[0-9]+\.(tiff|pdf|ofd)$'); do
    got=$("$marks" "$DPI" "$HOME/out/$doc" | tr '\n' ' ')
    [ "$got" = "$(batch "$SHEETS")" ] || fail "a broken document after the cut: $doc reads \"$got\""
    whole=$doc
  done
  if [ -z "$whole" ]; then
    [ -n "$RECOVERED" ] || fail "the pages are gone and no document holds them"
    [ "$RECOVERED" = "$(batch "$SHEETS")" ] || fail "pages back after the cut read \"$RECOVERED\""
  elif [ -n "$RECOVERED" ]; then
    # Saved whole: some of the pages may still be offered (a cut while the
    # saved pages were being removed), whole and in order.
    local last=0 page number
    for page in $RECOVERED; do
      number=${page%A}
      [ "$number" -gt "$last" ] 2>/dev/null && [ "$number" -le "$SHEETS" ] ||
        fail "pages back after the cut read \"$RECOVERED\""
      last=$number
    done
  fi
  note "after the cut: ${whole:-no document}, ${RECOVERED:-no pages} back"
}

# After the cut: the pages back are the batch's first pages, whole, in
# order, and at least every page the list held.
check_pages() { # turned: 1 when one page may read turned
  local got=$RECOVERED
  if [ "$1" = 1 ]; then
    [ "$(echo "$got" | grep -o '@' | wc -l)" -le 1 ] || fail "more than one page turned: \"$got\""
    got=$(echo "$got" | sed 's/@[0-9]*//g')
  fi
  local back
  back=$(echo $got | wc -w)
  [ "$got" = "$(batch "$back")" ] || fail "pages back after the cut read \"$got\""
  [ "$back" -ge "$SHOWN" ] || fail "$SHOWN pages were listed before the cut, $back came back"
  [ "$back" -le "$SHEETS" ] || fail "more pages back than scanned"
  note "$SHOWN pages listed before the cut, $back back: $RECOVERED"
}

one_cut() { # seed
  SEED=$1
  CASE=cut-$SEED
  RANDOM=$SEED
  mkdir -p "$root/$CASE"
  fresh_disk
  set_format 3 "$HOME/out"
  local moment=$((SEED % 5))
  case $moment in
  0) moment_batch ;;
  1) moment_after_batch ;;
  2) moment_turn ;;
  3) moment_journal ;;
  4) moment_save ;;
  esac
  killed
  SHOWN=$(journal_pages "$root/$CASE/journal.json")
  unmount
  mount_image # replays the file system's log
  use_folders "$MNT/home" "$MNT/tmp"
  recover_and_save
  if [ "$moment" = 4 ]; then
    check_save
  else
    check_pages "$([ "$moment" = 2 ] && echo 1 || echo 0)"
  fi
  close_window
  others >"$root/$CASE/others.after"
  cmp -s "$root/$CASE/others.before" "$root/$CASE/others.after" ||
    fail "files outside the work folder, the settings and the targets changed: $(diff "$root/$CASE/others.before" "$root/$CASE/others.after" | grep '^[<>]' | tr '\n' ' ')"
  unmount
  rm -rf "$root/$CASE"
}

case_cut() {
  MNT=$root/mnt
  mkdir -p "$MNT"
  local first=${SCANVY_SEED:-1} count=${SCANVY_CUTS:-10} seed
  CASE=probe
  mkdir -p "$root/$CASE"
  truncate -s 16M "$root/disk.img" && mkfs.ext4 -q -F "$root/disk.img" &&
    mount -o loop "$root/disk.img" "$MNT" 2>/dev/null || skip "cannot mount a loop device here"
  umount "$MNT"
  for seed in $(seq "$first" $((first + count - 1))); do
    one_cut "$seed"
  done
  SEED=""
  CASE=cut
  note "$count cuts from seed $first passed"
}

# ----------------------------------------------------------- boot cleaning

case_boot() {
  CASE=boot
  local sysroot=$root/boot-root
  mkdir -p "$root/$CASE" "$sysroot/usr/lib/tmpfiles.d"
  cp /usr/lib/tmpfiles.d/tmp.conf "$sysroot/usr/lib/tmpfiles.d/"
  use_folders "$sysroot/home/user" "$sysroot/tmp"
  scan_settings
  set_format 3 "$HOME/out"
  SHEETS=4
  scenario "sheets=$SHEETS\nload=1"
  start
  press F5
  listed "$SHEETS"
  idle
  killed
  systemd-tmpfiles --remove --boot --root="$sysroot" || fail "systemd-tmpfiles failed"
  [ -z "$(ls -A "$TMPDIR")" ] || fail "the boot cleaning left the temporary folder: $(ls -A "$TMPDIR")"
  recover_and_save
  [ -n "$RECOVERED" ] || fail "the killed session was not offered after the boot cleaning"
  [ "$RECOVERED" = "$(batch "$SHEETS")" ] || fail "pages back after the boot cleaning read \"$RECOVERED\""
  close_window
  note "the session came back after the boot cleaning"
}

case $group in
cut) case_cut ;;
boot) case_boot ;;
*)
  echo "powercut: unknown group $group"
  exit 2
  ;;
esac
echo "powercut: $group passed"
