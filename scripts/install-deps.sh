#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Quillstep need.
# Idempotent: packages already present are left alone, and apt is only touched
# when something is missing. Works as root and through sudo.
set -euo pipefail

packages=(
  # build
  build-essential cmake make pkg-config
  # the game's libraries
  libgl-dev libgl1-mesa-dri libsdl2-dev libenet-dev libimgui-dev
  libfreetype-dev libfontconfig-dev fonts-dejavu-core
  # the command line, the settings file, the manual page
  libcli11-dev libtomlplusplus-dev help2man
  # names and text from the network; the private game's challenge and response
  libutf8proc-dev libsodium-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev
  xvfb xauth xfonts-base xdotool x11-utils imagemagick iproute2
  # lint and fuzzing
  clang-format clang-tidy clang libclang-rt-14-dev
  # the Debian packages: their dependencies (dpkg-shlibdeps, file) and their checks
  dpkg-dev file lintian appstream desktop-file-utils
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done

if [[ ${#missing[@]} -eq 0 ]]; then
  exit 0
fi

if [[ $(id -u) -eq 0 ]]; then
  as_root=()
elif command -v sudo >/dev/null; then
  as_root=(sudo)
else
  echo "install-deps: these packages are missing and neither root nor sudo is available: ${missing[*]}" >&2
  exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
