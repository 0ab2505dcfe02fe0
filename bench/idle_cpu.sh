#!/usr/bin/env bash
# How much of a core the program uses on its start screen, where it only
# waits for the player: it runs on a private X server for a few seconds and
# its CPU time (user + system, from /proc) is divided by the wall time.
# Prints a percentage of one core; run after `make build`.
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
before=$(cpu_ticks "$pid")
sleep "$seconds"
after=$(cpu_ticks "$pid")
ticks=$(getconf CLK_TCK)
awk -v used=$((after - before)) -v hz="$ticks" -v wall="$seconds" \
  'BEGIN { printf "start screen: %.1f%% of a core\n", 100 * used / hz / wall }'
