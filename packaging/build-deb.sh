#!/usr/bin/env bash
# Builds the source package and the .deb the way Debian builds packages:
# dpkg-buildpackage -us -uc on a copy of the tree's files (those under
# version control and new ones not ignored), with the upstream tarball made
# from the same files without debian/. The tests are not run nor built there
# (DEB_BUILD_OPTIONS=nocheck): scripts/test runs them on its own builds.
# Usage: packaging/build-deb.sh OUT_DIR; the .dsc, .deb and .changes land in
# OUT_DIR. The same OUT_DIR on every run lets ccache find its earlier work.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "${1:?usage: build-deb.sh OUT_DIR}"
out=$(cd "$1" && pwd)
version=$(dpkg-parsechangelog -l "$root/debian/changelog" -SVersion)
upstream=${version%-*}
name=vex-tempora-$upstream

rm -rf "${out:?}/$name" "$out"/vex-tempora_*
mkdir "$out/$name"
git -C "$root" ls-files -z --cached --others --exclude-standard |
    (cd "$root" && tar --null -T - --ignore-failed-read -cf -) | tar -C "$out/$name" -xf -
tar -C "$out" --exclude="$name/debian" --sort=name --owner=0 --group=0 --numeric-owner \
    -czf "$out/vex-tempora_$upstream.orig.tar.gz" "$name"

export CCACHE_BASEDIR=$out/$name
if ! (cd "$out/$name" &&
    DEB_BUILD_OPTIONS="nocheck parallel=${JOBS:-2}" dpkg-buildpackage -us -uc) >"$out/build.log" 2>&1; then
    tail -n 40 "$out/build.log"
    exit 1
fi
ls "$out"/vex-tempora_"$version"_*.changes
