#!/usr/bin/env bash
# How much of a core the program uses on its start screen, where it only
# waits for the player, and then behind another window (which has the
# keyboard): it runs on a private X server for a few seconds each and its
# CPU time (user + system, from /proc) is divided by the wall time.
# Prints percentages of one core; run after `make build`.
#   bench/idle_cpu.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
program=${1:-build}/quillstep
seconds=${2:-5}

if [[ -z "${IDLE_CPU_ON_XVFB:-}" ]]; then
  IDLE_CPU_ON_XVFB=1 exec bash tests/with-xvfb.sh bash "$0" "$@"
fi

cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

export XDG_CONFIG_HOME=$(mktemp -d)  # the player's own settings stay out of it
"$program" --windowed &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$XDG_CONFIG_HOME"' EXIT
sleep 1  # start-up is not idling

measure() {
  local before after
  before=$(cpu_ticks "$pid")
  sleep "$seconds"
  after=$(cpu_ticks "$pid")
  awk -v used=$((after - before)) -v hz="$(getconf CLK_TCK)" -v wall="$seconds" -v what="$1" \
    'BEGIN { printf "%s: %.1f%% of a core\n", what, 100 * used / hz / wall }'
}

measure "start screen"
xmessage -geometry 200x100+0+0 "in front" 2>/dev/null &
other=$!
trap 'kill "$pid" "$other" 2>/dev/null || true; rm -rf "$XDG_CONFIG_HOME"' EXIT
front=$(xdotool search --sync --class Xmessage | head -n 1)
xdotool windowfocus --sync "$front"
measure "start screen behind another window"
