#!/usr/bin/env bash
# xserver.sh <command> [args...]
# Runs the command with DISPLAY set to a private virtual X server (1280x800,
# 24 bits, or the WxHxD given in XSERVER_SCREEN) and SCANVY_XSERVER=1, and stops the server afterwards; the exit
# status is the command's. The server picks a free display number itself
# (-displayfd), so tests that run side by side never share or steal a
# display, unlike xvfb-run -a, which guesses a number before its server has
# claimed it. -noreset: the server does not reset when its last client
# leaves, so a client that connects right after a check is not refused.
# Only the server's start is retried, never the command.
set -u
out=$(mktemp "${TMPDIR:-/tmp}/xserver.XXXXXX")
server=""
stop() {
  [ -n "$server" ] && { kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; }
  server=""
}
trap 'stop; rm -f "$out" "$out.log"' EXIT
for attempt in 1 2 3; do
  : >"$out"
  Xvfb -displayfd 3 -screen 0 "${XSERVER_SCREEN:-1280x800x24}" -nolisten tcp -noreset 3>"$out" 2>"$out.log" &
  server=$!
  for _ in $(seq 1 100); do
    [ -s "$out" ] && break
    kill -0 "$server" 2>/dev/null || break
    sleep 0.1
  done
  number=$(head -n 1 "$out" 2>/dev/null)
  if [ -n "$number" ] && DISPLAY=:$number xdotool getdisplaygeometry >/dev/null 2>&1; then
    DISPLAY=:$number SCANVY_XSERVER=1 "$@"
    exit $?
  fi
  stop
  echo "xserver: Xvfb did not start (attempt $attempt):" >&2
  sed 's/^/  Xvfb: /' "$out.log" >&2
  sleep 1
done
exit 1
