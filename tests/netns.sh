#!/usr/bin/env bash
# Four test hosts on a virtual network of this machine, for tests of what
# crosses a network: namespaces qs-host, qs-p1, qs-p2 and qs-relay with the
# addresses 10.77.0.1, .2, .3 and .4 on the bridge qs-br0.
#   netns.sh up     makes them; prints "netns", or "loopback" when this
#                   machine cannot make them (not root, no namespaces)
#   netns.sh down   removes them
set -u

NAMESPACES=(qs-host qs-p1 qs-p2 qs-relay)

down() {
  for ns in "${NAMESPACES[@]}"; do
    ip netns del "$ns" 2>/dev/null
  done
  ip link del qs-br0 2>/dev/null
  return 0
}

up() {
  down
  if ! { ip link add qs-br0 type bridge && ip link set qs-br0 up; } 2>/dev/null; then
    down
    echo loopback
    return 0
  fi
  local i=1
  for ns in "${NAMESPACES[@]}"; do
    if ! { ip netns add "$ns" &&
           ip link add "qs-veth$i" type veth peer name eth0 netns "$ns" &&
           ip link set "qs-veth$i" master qs-br0 &&
           ip link set "qs-veth$i" up &&
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
  *) echo "usage: $0 up|down" >&2; exit 2 ;;
esac
