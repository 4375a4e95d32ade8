#!/usr/bin/env bash
# Builds the Debian package (orvex-agent_<version>_<arch>.deb) into build-deb/ from a clean
# copy of the source, checks it with lintian, verifies its systemd unit and lists its files.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/deps.sh --package

out=$root/build-deb
rm -rf "$out"
mkdir -p "$out/src"
# The tracked and new files, without build folders; dpkg-buildpackage writes its results
# beside the source, so they land in build-deb/.
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git ls-files -z --cached --others --exclude-standard | tar --null --ignore-failed-read -T - -cf - | tar -C "$out/src" -xf -
else
  tar --exclude='./build*' --exclude='./.git' -cf - . | tar -C "$out/src" -xf -
fi

(cd "$out/src" && DEB_BUILD_OPTIONS="parallel=2 ${DEB_BUILD_OPTIONS:-}" dpkg-buildpackage -us -uc -b)

changes=$(ls "$out"/orvex-agent_*.changes)
deb=$(ls "$out"/orvex-agent_*_"$(dpkg --print-architecture)".deb)
echo
echo "== lintian $(basename "$changes")"
lintian --info --display-info "$changes" && echo "lintian: no errors"

echo
echo "== systemd-analyze verify (unit and programs from the package)"
# A root with the package's files and the system's own units; the man page named by
# Documentation= is looked up there too. Any complaint counts as a failure.
rootfs=$out/rootfs
dpkg-deb -x "$deb" "$rootfs"
cp -an /lib/systemd/system/. "$rootfs/lib/systemd/system/"
rc=0
complaints=$(MANPATH="$rootfs/usr/share/man" systemd-analyze verify --root="$rootfs" /lib/systemd/system/orvex-agent.service 2>&1) || rc=$?
if [ "$rc" -ne 0 ] || [ -n "$complaints" ]; then
  echo "$complaints"
  echo "systemd-analyze verify failed"
  exit 1
fi
echo "unit verifies"

echo
echo "== dpkg -c $(basename "$deb")"
dpkg-deb -c "$deb"
echo
echo "Package: $deb"
