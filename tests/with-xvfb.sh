#!/usr/bin/env bash
# Runs a command on a private X server of its own, started and stopped here,
# so tests that need a display run anywhere, side by side.
#   with-xvfb.sh [--screen WxHxD] COMMAND...   (default screen 1024x768x24)
set -euo pipefail

screen=1024x768x24
if [[ "${1:-}" == "--screen" ]]; then
  screen=$2
  shift 2
fi

work=$(mktemp -d)
# -noreset: a test that closes its last connection and opens another must
# not meet the server in the middle of a reset.
Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset 3>"$work/display" 2>"$work/log" &
server=$!
trap 'kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; rm -rf "$work"' EXIT

for _ in $(seq 200); do
  [[ -s "$work/display" ]] && break
  kill -0 "$server" 2>/dev/null || { cat "$work/log" >&2; exit 1; }
  sleep 0.05
done
[[ -s "$work/display" ]] || { echo "with-xvfb: Xvfb did not start" >&2; exit 1; }

export DISPLAY=":$(head -n 1 "$work/display")"
# No sound card on a test machine: SDL's dummy driver takes the effects.
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
"$@"
