#!/usr/bin/env bash
# Checks the house style and runs the static analysis; any finding fails.
#   scripts/lint.sh BUILD_DIR   (a configured build: its compile_commands.json)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}

mapfile -t sources < <(git ls-files 'src/*.cpp' 'src/*.h' 'tools/*.cpp' 'tools/*.h' 'bench/*.cpp' 'tests/*.cpp' 'tests/*.h' 'fuzz/*.cpp' 'fuzz/*.h')
echo "lint: clang-format on ${#sources[@]} files"
clang-format --dry-run --Werror "${sources[@]}"

echo "lint: the simulation includes no graphics, fonts or desktop"
if grep -nE '#include <(GL/|SDL|imgui|backends/|ft2build|fontconfig)' src/{platform,world,rules,net,game,server}/*; then
  echo "lint: only src/draw/ and src/shell/ may include these" >&2
  exit 1
fi

echo "lint: clang-tidy on src/, tools/ and bench/"
run-clang-tidy -p "$build_dir" -quiet -j "$(nproc)" "$PWD/(src|tools|bench)/.*\.cpp$" > "$build_dir/clang-tidy.log" 2>&1 || {
  grep -E "(error|warning):" "$build_dir/clang-tidy.log" | sort -u >&2 || cat "$build_dir/clang-tidy.log" >&2
  echo "lint: clang-tidy found faults (full log: $build_dir/clang-tidy.log)" >&2
  exit 1
}
echo "lint: clean"
