# shellcheck shell=bash disable=SC2154
# Sourced by the scripts that drive the real program on the virtual X server
# (recovery.sh, powercut.sh) once they run under it: the program's settings
# and scenario, starting it in its own PID namespace, keys, boxes, the busy
# overlay, killing and closing it. The script sets NAME (its name in
# messages), exe (the program) and simbin (the simulator's tools) first, and
# may define on_fail, which fail runs before it ends the program.

export PATH="$simbin:$PATH"
root=$TMPDIR # this test's own folder (run-test.sh)
DPI=50
UPID=""; PID=""; MAIN=""; CASE=""

note() { echo "${NAME}[$CASE]: $*"; }

shot() { # name: a screenshot for people to look at, when asked for
  [ -n "${SCANVY_E2E_SHOTS:-}" ] && mkdir -p "$SCANVY_E2E_SHOTS" &&
    import -window root "$SCANVY_E2E_SHOTS/$CASE-$1.png" 2>/dev/null
}

fail() {
  note "FAILED: $*"
  xdotool search --onlyvisible --name . getwindowname %@ 2>/dev/null | sed 's/^/  window: /'
  declare -F on_fail >/dev/null && on_fail
  [ -f "$root/$CASE/scanvy.log" ] && sed 's/^/  scanvy: /' "$root/$CASE/scanvy.log" | tail -20
  [ -n "$UPID" ] && kill -9 "$UPID" 2>/dev/null
  [ -n "$PID" ] && kill -9 "$PID" 2>/dev/null
  exit 1
}

set_format() { # format [save folder, default $HOME/out]
  printf '[Scanner]\nFilePath=%s\nPrefix=r\nScanCount=1\nScanMinCountSize=4\nFileFormat=%s\n' \
    "${2:-$HOME/out}" "$1" >"$HOME/.config/com.quvex.zyl.scanvy/SysConfig.ini" || fail "cannot write the settings"
}

scan_settings() { # the Kx panel's settings: colour pages at $DPI from the feeder
  printf '[ScannerOptions]\nresolution=%s|1\nmode=Color|1\nsource=Adf-front|1\n' "$DPI" \
    >"$HOME/.config/com.quvex.zyl.scanvy/zylkx_KX-8000.ini" || fail "cannot write the scan settings"
}

scenario() { printf '%b\nsource=Adf-front\n' "$1" >"$SANE_CONFIG_DIR/scenario.conf"; }

visible() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1; }

# Starts the program in its own PID namespace; waits for its main window
# (other than the given window of a copy that already runs). Each start
# first runs one more short-lived process inside its namespace than the
# start before, so that the program never gets the process id of the copy
# that was killed: a settings lock left by that copy would otherwise look
# held by a live program (Qt takes such a lock for stale only after 30 s; a
# real restart after a crash or power cut comes later than that).
STARTS=0
start() { # [window of a running copy]
  local other=${1:-none}
  STARTS=$((STARTS + 1))
  unshare --pid --fork --mount-proc --kill-child sh -c \
    'i=0; while [ $i -lt "$1" ]; do /bin/true; i=$((i + 1)); done; "$2" & wait $!' \
    sh "$STARTS" "$exe" >>"$root/$CASE/scanvy.log" 2>&1 &
  UPID=$!
  PID=""; MAIN=""
  local shell="" mains main w width
  for _ in $(seq 1 200); do
    [ -z "$shell" ] && shell=$(pgrep -P "$UPID" | head -1)
    [ -z "$PID" ] && [ -n "$shell" ] && PID=$(pgrep -x -P "$shell" scanvy | head -1)
    kill -0 "$UPID" 2>/dev/null || fail "the program ended during start-up"
    mains=$(xdotool search --onlyvisible --name '^泽科维扫描软件$' 2>/dev/null | grep -vx "$other")
    main=""
    for w in $mains; do
      width=$(xdotool getwindowgeometry "$w" | sed -n 's/.*Geometry: \([0-9]*\)x.*/\1/p')
      [ "${width:-0}" -ge 800 ] && main=$w
    done
    if [ -n "$main" ] && [ "$(echo $mains | wc -w)" -eq 1 ]; then
      MAIN=$main
      break
    fi
    sleep 0.1
  done
  [ -n "$MAIN" ] && [ -n "$PID" ] || fail "no main window"
}

press() { # keys, to the main window
  timeout 5 xdotool windowfocus --sync "$MAIN" 2>/dev/null
  xdotool key --clearmodifiers "$@"
}

await_box() { # title tenths: the box's window, empty when none came in time
  local box=""
  for _ in $(seq 1 "$2"); do
    box=$(visible "$1")
    [ -n "$box" ] && break
    sleep 0.1
  done
  echo "$box"
}

answer_box() { # window [key]: Return (the default button) or the key given in that box, which then goes
  sleep 0.2
  timeout 5 xdotool windowfocus --sync "$1" 2>/dev/null
  xdotool key "${2:-Return}"
  for _ in $(seq 1 50); do
    xdotool getwindowname "$1" >/dev/null 2>&1 || return 0
    [ -z "$(xdotool search --onlyvisible --name . 2>/dev/null | grep -x "$1")" ] && return 0
    sleep 0.1
  done
  fail "a box did not go"
}

answer() { # title [key]: answer_box in the box with that title; fails when none comes
  local box
  box=$(await_box "$1" 150)
  [ -n "$box" ] || fail "no box \"$1\""
  answer_box "$box" "${2:-Return}"
}

idle() { # the busy overlay has gone
  for _ in $(seq 1 300); do
    [ -z "$(visible '正在进行处理')" ] && return 0
    sleep 0.05
  done
  fail "the busy overlay stays"
}

ended() { # what: waits for the program to end; fails unless its status is 0
  for _ in $(seq 1 100); do
    kill -0 "$PID" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$PID" 2>/dev/null && fail "still running 10 s after $1"
  wait "$UPID"
  local status=$?
  UPID=""; PID=""
  [ "$status" -eq 0 ] || fail "exit status $status"
}

killed() { # [signal, default KILL]: ends the program, waits for it
  local signal=${1:-KILL}
  kill "-$signal" "$PID" 2>/dev/null
  for _ in $(seq 1 100); do
    kill -0 "$PID" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$PID" 2>/dev/null && fail "still running 10 s after SIG$signal"
  wait "$UPID" 2>/dev/null
  UPID=""; PID=""
}

close_window() { # closes without a question (nothing left) and exits 0
  python3 "$here/wmclose.py" "$MAIN" || fail "could not ask the window to close"
  ended "the close request"
}

batch() { # n: the markers of one batch of n sheets, "1A 2A ... nA "
  local i out=""
  for i in $(seq 1 "$1"); do out="$out${i}A "; done
  echo -n "$out"
}
