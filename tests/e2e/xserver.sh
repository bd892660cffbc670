#!/usr/bin/env bash
# xserver.sh <command> [args...]
# Runs the command with DISPLAY set to a private virtual X server (1280x800,
# 24 bits) and stops the server afterwards; exit status is the command's.
# The server picks a free display number itself (-displayfd), so tests that
# run side by side never share or steal a display, unlike xvfb-run -a, which
# guesses a number before its server has claimed it.
# -noreset: the server does not reset when its last client leaves (a check
# by xdotool, say), so a client that connects at that moment is not refused.
set -u
out=$(mktemp "${TMPDIR:-/tmp}/xserver.XXXXXX")
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$out" 2>"$out.log" &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; rm -f "$out" "$out.log"' EXIT
for _ in $(seq 1 100); do
  [ -s "$out" ] && break
  kill -0 "$server" 2>/dev/null || break
  sleep 0.1
done
number=$(head -n 1 "$out" 2>/dev/null)
if [ -z "$number" ]; then
  echo "xserver: Xvfb did not start:" >&2
  sed 's/^/  Xvfb: /' "$out.log" >&2
  exit 1
fi
DISPLAY=:$number "$@"
