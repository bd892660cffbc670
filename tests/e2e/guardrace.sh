#!/usr/bin/env bash
# guardrace.sh <scanvy executable> <simulator tools folder>
# Two starts of the real program at the same moment, sharing one HOME, each
# in its own PID namespace so that neither sees the other's process: exactly
# one must run (its main window shows) and the other must refuse with the
# "错误" box and end with status 0 once the box is answered. Environment from
# cmake/run-test.sh; exit status 77 when namespaces cannot be made here.
set -u
exe=$1; simbin=$2
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${SCANVY_XSERVER:-}" ]; then
  for tool in Xvfb xdotool unshare; do
    command -v "$tool" >/dev/null || { echo "guardrace: $tool missing (scripts/bootstrap)"; exit 1; }
  done
  if ! unshare --pid --fork --mount-proc true 2>/dev/null; then
    echo "guardrace: cannot make PID namespaces here (needs root)"
    exit 77
  fi
  unset QT_QPA_PLATFORM SUDO_UID
  exec "$here/xserver.sh" "$0" "$@"
fi
export PATH="$simbin:$PATH"

# Both starts wait at a FIFO and are let go by one write, so they reach the
# guard together. --kill-child ends each copy when its unshare is killed.
gate=$TMPDIR/race.gate
mkfifo "$gate"
pids=()
for n in 1 2; do
  unshare --pid --fork --mount-proc --kill-child \
    sh -c 'exec 3<"$1"; exec 3<&-; exec "$2"' race "$gate" "$exe" >"$TMPDIR/scanvy$n.log" 2>&1 &
  pids+=($!)
done
sleep 0.5
exec 4>"$gate"
exec 4>&-

fail() {
  echo "guardrace: $*"
  xdotool search --name . getwindowname %@ 2>/dev/null | sed 's/^/  window: /'
  for n in 1 2; do sed "s/^/  scanvy$n: /" "$TMPDIR/scanvy$n.log"; done
  kill "${pids[@]}" 2>/dev/null
  exit 1
}

alive() { kill -0 "$1" 2>/dev/null; }

# Wait for the winner's main window and the loser's box.
main=""; box=""
for _ in $(seq 1 150); do
  for p in "${pids[@]}"; do
    alive "$p" || { wait "$p"; fail "a copy ended on its own with status $? before any box was answered"; }
  done
  main=""
  for w in $(xdotool search --onlyvisible --name '泽科维扫描软件' 2>/dev/null); do
    width=$(xdotool getwindowgeometry "$w" | sed -n 's/.*Geometry: \([0-9]*\)x.*/\1/p')
    if [ "${width:-0}" -ge 800 ]; then main="$main $w"; fi
  done
  boxes=$(xdotool search --onlyvisible --name '^错误$' 2>/dev/null)
  mains=$(echo $main | wc -w); nboxes=$(echo $boxes | wc -w)
  if [ "$mains" -ge 1 ] && [ "$nboxes" -ge 1 ]; then box=$boxes; break; fi
  sleep 0.2
done
[ -n "$box" ] || fail "no refusal box next to a main window within 30 s (main windows:${main:- none})"
sleep 1
[ "$(echo $main | wc -w)" -eq 1 ] || fail "more than one main window:$main"
[ "$(xdotool search --onlyvisible --name '^错误$' 2>/dev/null | wc -l)" -eq 1 ] || fail "more than one refusal box"
echo "guardrace: one main window ($main), one refusal box ($box)"

python3 "$here/wmclose.py" "$box" || fail "could not answer the box"
loser=""; winner=""
for _ in $(seq 1 100); do
  for i in 0 1; do
    if ! alive "${pids[$i]}"; then loser=${pids[$i]}; winner=${pids[$((1 - i))]}; fi
  done
  [ -n "$loser" ] && break
  sleep 0.1
done
[ -n "$loser" ] || fail "the refusing copy still runs 10 s after its box was answered"
wait "$loser"
status=$?
[ "$status" -eq 0 ] || fail "the refusing copy ended with status $status"
alive "$winner" || fail "the running copy ended together with the refusing one"
echo "guardrace: the refusing copy ended with status 0; the other runs on"

python3 "$here/wmclose.py" $main || fail "could not ask the main window to close"
for _ in $(seq 1 100); do
  alive "$winner" || break
  sleep 0.1
done
alive "$winner" && fail "the running copy still runs 10 s after its close request"
wait "$winner"
status=$?
[ "$status" -eq 0 ] || fail "the running copy ended with status $status"
echo "guardrace: the running copy closed with status 0"
