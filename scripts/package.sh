#!/usr/bin/env bash
# Makes the Debian package: a Release build in build-release/, then CPack's
# build-release/bralmond_VERSION_ARCH.deb (dependencies read off the
# binaries by dpkg-shlibdeps), and lintian's report on it. With --check (as
# root, on a machine that may be changed) it also installs the package with
# apt, plays a moment of the show headless from a fresh folder, removes the
# package and checks that nothing of it is left.
#   scripts/package.sh [--check]
set -euo pipefail
cd "$(dirname "$0")/.."
[ -x build/datagen ] || scripts/setup.sh

JOBS=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build build-release -j "$JOBS" >/dev/null
(cd build-release && cpack -G DEB >/dev/null)
deb=$(ls -t build-release/bralmond_*.deb | head -n 1)
echo "built $deb ($(du -k "$deb" | cut -f1) KiB)"
contents=$(dpkg-deb --contents "$deb")
for file in usr/bin/bralmond usr/bin/bralmond-datagen usr/share/bralmond/Data/Soundtrack.mp3 \
            usr/share/applications/bralmond.desktop usr/share/icons/hicolor/256x256/apps/bralmond.png \
            usr/share/man/man6/bralmond.6.gz usr/share/man/man6/bralmond-datagen.6.gz \
            usr/share/doc/bralmond/README.md usr/share/doc/bralmond/copyright usr/share/doc/bralmond/changelog.gz; do
  grep -q " \./$file\$" <<<"$contents" || { echo "package.sh: the package lacks /$file" >&2; exit 1; }
done
[ "$(grep -c ' \./usr/share/bralmond/Data/.' <<<"$contents")" -eq 24 ] ||
  { echo "package.sh: the package lacks some of the 24 data files" >&2; exit 1; }
lintian --tag-display-limit 0 "$deb" || { echo "package.sh: lintian found errors" >&2; exit 1; }

if [ "${1:-}" = "--check" ]; then
  [ "$(id -u)" -eq 0 ] || { echo "package.sh: --check installs the package, as root" >&2; exit 1; }
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y -qq "./$deb" >/dev/null
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  (cd "$work" && HOME="$work" bralmond --headless --start 44 --until 44.2 --shots 44 --out .)
  [ -s "$work/shot-44.png" ] || { echo "package.sh: the installed show wrote no shot" >&2; exit 1; }
  apt-get remove --purge -y -qq bralmond >/dev/null
  for left in /usr/bin/bralmond /usr/bin/bralmond-datagen /usr/share/bralmond /usr/share/doc/bralmond \
              /usr/share/applications/bralmond.desktop /usr/share/man/man6/bralmond.6.gz; do
    [ ! -e "$left" ] || { echo "package.sh: $left is left after removing the package" >&2; exit 1; }
  done
  echo "installed with apt, played, removed: nothing left"
fi
