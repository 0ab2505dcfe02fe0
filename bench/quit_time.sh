#!/usr/bin/env bash
# How long quitting takes, from the quit command to the process's end, on
# loopback: from the start screen, as a host with a joined player in a game,
# and as that joined player. Prints milliseconds; run after `make build`.
#   bench/quit_time.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
player=${1:-build}/quillstep-headless
# A port of this run's own: never a game someone plays on this machine.
port=$(( 20000 + $$ % 40000 ))

now_ms() { date +%s%3N; }

# Runs the script on a headless player, then times its quit.
timed_quit() {
  local label=$1 script=$2 settle=$3
  coproc RUN { "$player" 2>/dev/null; }
  printf '%b' "$script" >&"${RUN[1]}"
  sleep "$settle"
  local start; start=$(now_ms)
  echo quit >&"${RUN[1]}"
  wait "$RUN_PID" || true
  echo "$label: $(( $(now_ms) - start )) ms"
}

timed_quit "start screen" 'pace off\nframes 5\n' 0.5

# A host and a joined player in a game; each quits in turn.
coproc HOST { "$player" 2>/dev/null; }
printf 'port %s\nhost\nseconds 0.5\n' "$port" >&"${HOST[1]}"
sleep 0.7
coproc JOIN { "$player" 2>/dev/null; }
printf 'port %s\njoin 127.0.0.1\nseconds 1\n' "$port" >&"${JOIN[1]}"
sleep 0.3
printf 'press enter\nseconds 0.2\nrelease enter\nseconds 1.5\n' >&"${HOST[1]}"
sleep 2.5
start=$(now_ms)
echo quit >&"${JOIN[1]}"
wait "$JOIN_PID" || true
echo "joined player in a game: $(( $(now_ms) - start )) ms"
start=$(now_ms)
echo quit >&"${HOST[1]}"
wait "$HOST_PID" || true
echo "host in a game: $(( $(now_ms) - start )) ms"
