#!/usr/bin/env bash
# A game hosted on the game's own port in this machine's own network while
# the tests run, as a game someone plays here would be: the tests must never
# join it. CTest starts it before the first test that needs the network and
# checks it after the last.
#   sentinel.sh up FOLDER SERVER   hosts it with the program SERVER, its log in FOLDER
#   sentinel.sh check FOLDER       ends it; fails if anybody joined
set -u
command=${1:-}
folder=${2:-}
[[ -n $folder ]] || { echo "usage: $0 up FOLDER SERVER | check FOLDER" >&2; exit 2; }

case "$command" in
  up)
    server=${3:?the server program}
    rm -rf "$folder" && mkdir -p "$folder"
    if ss -Hlun 'sport = :9998' | grep -q .; then
      echo "port 9998 is taken on this machine (a game may be playing here): no sentinel this run"
      exit 0
    fi
    # Should anybody join and play, its demo stays with the log.
    XDG_DATA_HOME="$folder" nohup "$server" >"$folder/log" 2>&1 </dev/null &
    echo $! >"$folder/pid"
    for _ in $(seq 100); do
      grep -q "Hosting on UDP port 9998" "$folder/log" && { echo "sentinel game hosted on 9998"; exit 0; }
      sleep 0.1
    done
    echo "the sentinel game could not be hosted:" >&2
    cat "$folder/log" >&2
    exit 1
    ;;
  check)
    [[ -f $folder/pid ]] || { echo "no sentinel this run"; exit 0; }
    pid=$(cat "$folder/pid")
    kill -TERM "$pid" 2>/dev/null
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    cat "$folder/log"
    if grep -q " joined " "$folder/log"; then
      echo "a test joined the game on this machine's own port 9998" >&2
      exit 1
    fi
    ;;
  *) echo "usage: $0 up FOLDER SERVER | check FOLDER" >&2; exit 2 ;;
esac
