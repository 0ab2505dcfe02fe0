#!/usr/bin/env bash
# Four test hosts on a virtual network of this machine, for tests of what
# crosses a network: namespaces RUN-host, RUN-p1, RUN-p2 and RUN-relay with
# the addresses 10.77.0.1, .2, .3 and .4 on a bridge of their own. RUN names
# one run (at most 12 characters), so two runs, or a run and a game someone
# plays on this machine, never share a network.
#   netns.sh up RUN     makes them; prints "netns", or "loopback" when this
#                       machine cannot make them (not root, no namespaces)
#   netns.sh down RUN   removes them
set -u

run=${2:-}
if [[ ! $run =~ ^[a-z0-9]{1,12}$ ]]; then
  echo "usage: $0 up|down RUN (RUN: 1 to 12 lower-case letters and digits)" >&2
  exit 2
fi
ROLES=(host p1 p2 relay)

down() {
  for role in "${ROLES[@]}"; do
    ip netns del "$run-$role" 2>/dev/null
  done
  ip link del "${run}b" 2>/dev/null
  return 0
}

up() {
  down
  if ! { ip link add "${run}b" type bridge && ip link set "${run}b" up; } 2>/dev/null; then
    down
    echo loopback
    return 0
  fi
  local i=1
  for role in "${ROLES[@]}"; do
    local ns="$run-$role"
    if ! { ip netns add "$ns" &&
           ip link add "${run}v$i" type veth peer name eth0 netns "$ns" &&
           ip link set "${run}v$i" master "${run}b" &&
           ip link set "${run}v$i" up &&
           ip -n "$ns" addr add "10.77.0.$i/24" brd + dev eth0 &&
           ip -n "$ns" link set eth0 up &&
           ip -n "$ns" link set lo up; } 2>/dev/null; then
      down
      echo loopback
      return 0
    fi
    i=$((i + 1))
  done
  echo netns
}

case "${1:-}" in
  up) up ;;
  down) down ;;
  *) echo "usage: $0 up|down RUN" >&2; exit 2 ;;
esac
