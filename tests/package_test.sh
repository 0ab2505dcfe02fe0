#!/usr/bin/env bash
# The Debian packages as make package writes them (cmake/Packaging.cmake):
# what each holds, what it depends on, and what lintian, appstreamcli and
# desktop-file-validate say of them. It packages into a folder of its own in
# the build folder and leaves the packages there, unpacked beside them.
#   package_test.sh BUILD SOURCE
set -u
build=$(cd "${1:?the build folder}" && pwd)
source=${2:?the source folder}
work=$build/package-test
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

rm -rf "$work" && mkdir -p "$work"
if ! (cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1); then
  cat "$work/cpack.log" >&2
  exit 1
fi

version=$(sed -n 's/.*QUILLSTEP_VERSION = "\(.*\)".*/\1/p' "$source/src/game/CommandLine.h")
arch=$(dpkg --print-architecture)
declare -A deb=([quillstep]="quillstep_${version}_$arch.deb" [quillstep-server]="quillstep-server_${version}_$arch.deb"
                [quillstep-data]="quillstep-data_${version}_all.deb")
for package in "${!deb[@]}"; do
  [[ -f $work/${deb[$package]} ]] || { fail "no ${deb[$package]}: $(ls "$work")"; exit 1; }
  dpkg-deb -x "$work/${deb[$package]}" "$work/$package"
done

# Which package holds what. dpkg refuses to install two packages that hold
# the same file, and a LAN host often has the game and the server both.
holds() {
  local package=$1 file
  shift
  for file in "$@"; do
    [[ -f $work/$package/$file ]] || fail "$package lacks $file"
  done
}
holds quillstep usr/games/quillstep usr/share/applications/quillstep.desktop \
  usr/share/icons/hicolor/scalable/apps/quillstep.svg usr/share/metainfo/io.github.quillstep.Quillstep.metainfo.xml \
  usr/share/man/man6/quillstep.6.gz
holds quillstep-server usr/games/quillstep-server usr/games/quillstep-headless \
  usr/lib/systemd/system/quillstep-server.service usr/share/man/man6/quillstep-server.6.gz \
  usr/share/doc/quillstep-server/examples/server.toml.example usr/lib/sysctl.d/50-quillstep-server.conf
for map in "$source"/Levels/*.raw; do
  cmp -s "$map" "$work/quillstep-data/usr/share/quillstep/Levels/${map##*/}" ||
    fail "quillstep-data does not hold ${map##*/} as Levels/ has it"
done
shared=$(for package in "${!deb[@]}"; do (cd "$work/$package" && find . -type f); done | sort | uniq -d)
[[ -z $shared ]] || fail "files in more than one package: $shared"

# The unit starts the server where the package puts it, not where make
# install would have.
unit=$work/quillstep-server/usr/lib/systemd/system/quillstep-server.service
program=$(sed -n 's/^ExecStart=\([^ ]*\).*/\1/p' "$unit")
[[ -f $work/quillstep-server$program && -x $work/quillstep-server$program ]] || fail "the unit starts $program, which quillstep-server does not hold"

# The socket buffer caps reach what a full host asks (src/net/NetHost.cpp),
# and the package applies them when it is installed.
asked=$(sed -n 's/.*MAX_SOCKET_BUFFER *= *\([0-9]*\) \* \([0-9]*\) \* \([0-9]*\);.*/\1*\2*\3/p' "$source/src/net/NetHost.cpp")
for key in net.core.rmem_max net.core.wmem_max; do
  value=$(sed -n "s/^$key *= *\([0-9]*\)$/\1/p" "$work/quillstep-server/usr/lib/sysctl.d/50-quillstep-server.conf")
  [[ -n $asked && -n $value ]] && ((value >= asked)) || fail "the sysctl file sets $key to '$value', not the host's $asked"
done
dpkg-deb --ctrl-tarfile "$work/${deb[quillstep-server]}" | tar -xO ./postinst 2>/dev/null | grep -q 50-quillstep-server.conf ||
  fail "quillstep-server's postinst does not apply its sysctl file"

# One version everywhere: the program's, the packages', the changelog's and
# the software centre's. Only the first two follow by themselves.
for package in "${!deb[@]}"; do
  [[ $(dpkg-deb -f "$work/${deb[$package]}" Version) == "$version" ]] || fail "$package is not version $version"
done
zcat "$work/quillstep/usr/share/doc/quillstep/changelog.gz" | head -1 | grep -q "^quillstep ($version)" ||
  fail "the changelog's last entry is not $version"
grep -q "<release version=\"$version\"" "$work/quillstep/usr/share/metainfo/"*.metainfo.xml ||
  fail "the metainfo has no release $version"

# Dependencies, as dpkg-shlibdeps found them in the programs.
depends() { dpkg-deb -f "$work/${deb[$1]}" Depends; }
for package in quillstep quillstep-server; do
  [[ $(depends "$package") == *"quillstep-data (= $version)"* ]] || fail "$package does not depend on quillstep-data $version"
done
[[ $(depends quillstep) == *libsdl2* ]] || fail "quillstep does not depend on SDL 2: $(depends quillstep)"
graphics=$(depends quillstep-server | tr ',' '\n' | grep -E '^ *lib(gl[0-9]|gles|glx|opengl|egl|sdl|freetype|fontconfig)' || true)
[[ -z $graphics ]] || fail "quillstep-server depends on graphics:" $graphics

# Lintian: no error, and no warning but those README.md explains.
explained='^W: quillstep-server: no-manual-page \[usr/games/quillstep-headless\]$'
if lintian --fail-on none "${deb[@]/#/$work/}" >"$work/lintian.log" 2>&1; then
  unexplained=$(grep -E '^[EW]: ' "$work/lintian.log" | grep -Ev "$explained" || true)
  [[ -z $unexplained ]] || fail "lintian: $unexplained"
else
  fail "lintian did not run: $(cat "$work/lintian.log")"
fi

# The desktop files, as software centres and menus read them; the tree lets
# appstreamcli check that the launchable names the installed desktop entry.
# --no-net: the screenshot's address is not fetched.
appstreamcli validate-tree --no-net "$work/quillstep" >"$work/appstream.log" 2>&1 ||
  fail "appstreamcli: $(cat "$work/appstream.log")"
desktop-file-validate "$work/quillstep/usr/share/applications/quillstep.desktop" || fail "desktop-file-validate"

if ((failures > 0)); then
  echo "$failures failed; the packages are in $work" >&2
  exit 1
fi
echo "the packages in $work hold what they should and depend on what they should"
