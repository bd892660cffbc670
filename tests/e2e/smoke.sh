#!/usr/bin/env bash
# smoke.sh <scanvy executable> <simulator tools folder>
# Starts the real program on a virtual X server with the simulated scanners
# (environment from cmake/run-test.sh), waits for its main window, takes a
# screenshot that must not be blank, closes the window the way a window
# manager does and expects exit status 0.
# SCANVY_SMOKE_TITLE: the main window's title (default 泽科维扫描软件);
# SCANVY_SMOKE_CLASS: when set, the class part of the main window's WM_CLASS.
set -u
exe=$1; simbin=$2
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${SCANVY_XSERVER:-}" ]; then
  for tool in Xvfb xdotool xprop import identify; do
    command -v "$tool" >/dev/null || { echo "smoke: $tool missing (scripts/bootstrap)"; exit 1; }
  done
  unset QT_QPA_PLATFORM
  exec "$here/xserver.sh" "$0" "$@"
fi

export PATH="$simbin:$PATH"
# The single-instance guard holds its lock in this test's own HOME, so other
# copies running on the machine (other builds' tests) do not refuse the start.
title=${SCANVY_SMOKE_TITLE:-泽科维扫描软件}
command -v unshare >/dev/null || { echo "smoke: unshare missing (scripts/bootstrap)"; exit 1; }
shot=${SCANVY_SMOKE_SHOT:-$TMPDIR/smoke.png}
log=$TMPDIR/scanvy.log
# In its own PID namespace: the single-instance guard sees no other copy of
# the program on this machine (another build's test, say), and other tests'
# guards do not see this one.
unshare --pid --fork --mount-proc --kill-child "$exe" >"$log" 2>&1 &
pid=$!

fail() {
  echo "smoke: $*"
  xdotool search --name . getwindowname %@ 2>/dev/null | sed 's/^/  window: /'
  sed 's/^/  scanvy: /' "$log"
  kill "$pid" 2>/dev/null
  exit 1
}

# The main window: the program's visible window that is wider than the splash.
main=""
for _ in $(seq 1 150); do
  if ! kill -0 "$pid" 2>/dev/null; then
    wait "$pid"
    fail "scanvy ended during start-up with status $?"
  fi
  for w in $(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null); do
    width=$(xdotool getwindowgeometry "$w" | sed -n 's/.*Geometry: \([0-9]*\)x.*/\1/p')
    if [ "${width:-0}" -ge 800 ]; then main=$w; fi
  done
  visible=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | wc -l)
  # Connected: the splash is gone and only the main window is left.
  [ -n "$main" ] && [ "$visible" -eq 1 ] && break
  main=""
  sleep 0.2
done
[ -n "$main" ] || fail "no main window titled \"$title\" within 30 s"
if [ -n "${SCANVY_SMOKE_CLASS:-}" ]; then
  # WM_CLASS(STRING) = "instance", "class"; compared exactly (xdotool's
  # search ignores case).
  class=$(xprop -id "$main" WM_CLASS 2>/dev/null | sed -n 's/^WM_CLASS([A-Z_]*) = ".*", "\(.*\)"$/\1/p')
  [ "$class" = "$SCANVY_SMOKE_CLASS" ] ||
    fail "the main window's class is \"$class\", not \"$SCANVY_SMOKE_CLASS\""
  echo "smoke: main window of class $class"
fi
sleep 1

for _ in 1 2 3; do
  import -window root "$shot" 2>"$TMPDIR/import.err" && break
  sleep 0.5
done
[ -s "$shot" ] || fail "no screenshot: $(cat "$TMPDIR/import.err")"
colours=$(identify -format '%k' "$shot")
echo "smoke: main window $main, screenshot $shot with $colours colours"
[ "${colours:-0}" -ge 16 ] || fail "blank screenshot ($colours colours)"

python3 "$here/wmclose.py" "$main" || fail "could not ask the window to close"
for _ in $(seq 1 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "still running 10 s after the close request"
wait "$pid"
status=$?
[ "$status" -eq 0 ] || fail "exit status $status"
echo "smoke: closed with status 0"
