#!/usr/bin/env bash
# What a game costs on the wire: a host and two players, joined through the
# project's relay (no loss, 1 ms delay) in network namespaces, pressing keys
# at random and firing for 20 seconds. Prints the bytes per player per
# second each way, IP and UDP headers included. Needs root; run after
# `make build`.
#   bench/traffic.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
seconds=${2:-20}
player=$build/quillstep-headless
run=qsb$$  # test hosts of this run's own
[[ $(bash tests/netns.sh up "$run") == netns ]] || { echo "traffic: needs network namespaces (root)" >&2; exit 1; }
trap 'bash tests/netns.sh down "$run"' EXIT

log=$(mktemp)
coproc RELAY { ip netns exec "$run-relay" "$build/quillstep-relay" 9998 10.77.0.1 9998 0 1 0 1 2>"$log"; }
coproc HOST { ip netns exec "$run-host" "$player" >/dev/null 2>&1; }
printf 'host\nseconds 0.5\n' >&"${HOST[1]}"
sleep 0.7
coproc P1 { ip netns exec "$run-p1" "$player" >/dev/null 2>&1; }
coproc P2 { ip netns exec "$run-p2" "$player" >/dev/null 2>&1; }
printf 'join 10.77.0.4\nseconds 1\n' >&"${P1[1]}"
printf 'join 10.77.0.4\nseconds 1\n' >&"${P2[1]}"
printf 'seconds 0.5\npress enter\nseconds 0.1\nrelease enter\n' >&"${HOST[1]}"
sleep 1.2

keys=(left right up down space)
for (( slice = 0; slice < seconds * 4; ++slice )); do
  for fd in "${HOST[1]}" "${P1[1]}" "${P2[1]}"; do
    for key in "${keys[@]}"; do
      (( RANDOM % 4 == 0 )) && echo "press $key" >&"$fd" || echo "release $key" >&"$fd"
    done
    echo "seconds 0.25" >&"$fd"
  done
  sleep 0.25
done
for fd in "${HOST[1]}" "${P1[1]}" "${P2[1]}"; do echo quit >&"$fd"; done
sleep 1
echo quit >&"${RELAY[1]}"
wait "$RELAY_PID" || true
# The relay counts both players together; each way, per player per second.
# The relay counts both players together; each way, per player per second,
# UDP payload plus 28 bytes of IP and UDP header per datagram.
awk -v s="$seconds" -F'[ ,;:]+' '{
  up = ($5 + 28 * $3) / 2 / s; down = ($11 + 28 * $9) / 2 / s
  printf "per player: %.0f B/s (%.2f kbit/s) to the host, %.0f B/s (%.2f kbit/s) from the host\n",
         up, up * 8 / 1000, down, down * 8 / 1000 }' "$log"
cat "$log"
