#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (in build-fuzz/) and runs each on a
# copy of its seeds for FUZZ_SECONDS (60 by default): those of the
# game-message targets are written from the messages' descriptions, the
# others are checked in under fuzz/corpus/. Any
# crash, assertion, sanitizer report, leak or time-out fails the run; the
# input that caused it is left in build-fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
build=build-fuzz

CC=clang CXX=clang++ cmake -S . -B "$build" -DQUILLSTEP_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)"

mkdir -p "$build/findings"
seeds=$(mktemp -d)
trap 'rm -rf "$seeds"' EXIT
cp -r fuzz/corpus/. "$seeds/"
"$build/fuzz/make_seeds" "$seeds"
failed=()
for target in messages packets executor arbiter map host demo; do
  work=$(mktemp -d)
  cp -r "$seeds/$target/." "$work/"
  echo "fuzz: $target for ${seconds}s"
  # The executor and arbiter read Levels/ from the repository's root.
  if ! "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -artifact_prefix="$build/findings/$target-" -print_final_stats=0 "$work" >"$build/fuzz-$target.log" 2>&1; then
    failed+=("$target")
    tail -n 40 "$build/fuzz-$target.log" >&2
  fi
  grep -E "^Done" "$build/fuzz-$target.log" || true
  rm -rf "$work"
done

if [[ ${#failed[@]} -gt 0 ]]; then
  echo "fuzz: findings in ${failed[*]} (inputs in $build/findings/)" >&2
  exit 1
fi
echo "fuzz: no findings"
