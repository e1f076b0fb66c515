#!/usr/bin/env bash
# Checks the .deb: its file list, its scan server unit, the hardening of its
# programs, what its maintainer scripts do on install, upgrade and purge, and
# lintian's verdict (any error or warning fails unless debian/lintian-overrides,
# which the package carries, lists it with a reason).
# Usage: packaging/check-deb.sh FILE.changes  (dpkg-buildpackage's result, see
#        build-deb.sh: lintian then judges the source package too)
#    or: packaging/check-deb.sh BUILD_DIR     (a fully built tree, packed with CPack)
set -euo pipefail
target=${1:?usage: check-deb.sh FILE.changes | BUILD_DIR}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [[ $target == *.changes ]]; then
    lint=$target
    deb=$(ls "$(dirname "$target")"/vex-tempora_*.deb)
    build=
else
    build=$(cd "$target" && pwd)
    cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1 ||
        { cat "$work/cpack.log"; exit 1; }
    deb=$(ls "$work"/*.deb)
    lint=$deb
fi
dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|' >"$work/files"

expected=(
    /usr/share/applications/org.example.VexTempora.desktop
    /usr/share/mime/packages/vex-tempora.xml
    /usr/share/icons/hicolor/scalable/apps/org.example.VexTempora.svg
    /usr/lib/systemd/user/vexserv.service
    /usr/share/vex-tempora/help/index.html
    /usr/share/vex-tempora/help/skorowidz.html
    /usr/share/doc/vex-tempora/copyright
    /usr/share/doc/vex-tempora/changelog.Debian.gz
    /usr/share/bash-completion/completions/tempora
    /usr/share/metainfo/org.example.VexTempora.metainfo.xml
)
for page in vex-tempora vexserv vexscan tempora; do
    expected+=("/usr/share/man/man1/$page.1.gz" "/usr/share/man/pl/man1/$page.1.gz")
done
for size in 16 22 24 32 48 64 128 256; do
    expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/org.example.VexTempora.png")
done
for page in "$(dirname "$0")"/help/*.html; do
    expected+=("/usr/share/vex-tempora/help/$(basename "$page")")
done
# The programs this tree builds and installs (all four in a package built
# from the sources); the scanner's window and notice modules in the package's
# private library folder.
for program in vex-tempora vexserv vexscan tempora; do
    if [ -z "$build" ] || grep -rqs --include=cmake_install.cmake "/bin/$program\"" "$build"; then
        expected+=("/usr/bin/$program")
    fi
done
modules=()
if [[ " ${expected[*]} " == *" /usr/bin/vexscan "* ]]; then
    triplet=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
    modules=("/usr/lib/$triplet/vex-tempora/vexscan-window.so"
        "/usr/lib/$triplet/vex-tempora/vexscan-notice.so")
    expected+=("${modules[@]}")
fi

missing=0
for file in "${expected[@]}"; do
    if ! grep -qx "$file" "$work/files"; then
        echo "missing from the .deb: $file"
        missing=1
    fi
done
# Databases are the target system's business (its triggers rebuild them).
if grep -q '^/usr/share/mime/mime.cache$\|^/usr/share/applications/mimeinfo.cache$' "$work/files"; then
    echo "the .deb carries a generated desktop database"
    missing=1
fi
unit=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/lib/systemd/user/vexserv.service)
grep -qx 'ExecStart=/usr/bin/vexserv' <<<"$unit" || { echo "unit does not start /usr/bin/vexserv"; missing=1; }
grep -qx 'ExecStartPre=/usr/bin/vexserv --install' <<<"$unit" || { echo "unit lacks the install step"; missing=1; }

# Hardening: position-independent, full RELRO with immediate binding, stack
# protector and fortified calls in every program; the same in the modules but
# fortified calls, which a module without a fortifiable call cannot show.
dpkg-deb -x "$deb" "$work/root"
for binary in "$work"/root/usr/bin/* "${modules[@]/#/$work/root}"; do
    name=$(basename "$binary")
    header=$(readelf -h -d -l -W "$binary")
    symbols=$(readelf --dyn-syms -W "$binary")
    grep -q 'Type: *DYN' <<<"$header" || { echo "$name is not position-independent"; missing=1; }
    grep -q 'GNU_RELRO' <<<"$header" || { echo "$name lacks RELRO"; missing=1; }
    grep -q 'BIND_NOW\|FLAGS.*NOW' <<<"$header" || { echo "$name lacks immediate binding"; missing=1; }
    grep -q '__stack_chk_fail' <<<"$symbols" || { echo "$name lacks the stack protector"; missing=1; }
    if [[ $binary == */usr/bin/* ]]; then
        grep -q '__[a-z_]*_chk@' <<<"$symbols" || { echo "$name lacks fortified calls"; missing=1; }
    fi
done

# The maintainer scripts, run on the unpacked tree as dpkg would: the first
# installation enables the user unit for every session; an upgrade keeps an
# administrator's "systemctl --global disable"; purge leaves nothing behind.
dpkg-deb -e "$deb" "$work/control"
wants="$work/root/etc/systemd/user/default.target.wants/vexserv.service"
maint() { # <script> <args...>
    local script=$1
    shift
    DPKG_ROOT="$work/root" DPKG_MAINTSCRIPT_PACKAGE=vex-tempora DPKG_MAINTSCRIPT_NAME="$script" \
        sh "$work/control/$script" "$@"
}
maint postinst configure
[ -L "$wants" ] || { echo "first installation does not enable the user unit"; missing=1; }
rm -f "$wants" # the administrator disables it
maint postinst configure "$(dpkg-deb -f "$deb" Version)"
[ ! -e "$wants" ] && [ ! -L "$wants" ] || { echo "an upgrade re-enabled the user unit"; missing=1; }
shm="$work/root/dev/shm"
mkdir -p "$shm"
touch "$shm/sem.vex.1000.0123456789abcdef.TemporaServer" "$shm/vex.1000.0123456789abcdef.TemporaClient.all" \
    "$shm/sem.other"
maint postrm purge
if [ -n "$(find "$work/root/etc/systemd" "$work/root/var/lib/systemd" -type f -o -type l 2>/dev/null)" ]; then
    echo "purge left systemd state behind"
    missing=1
fi
[ "$(ls "$shm")" = sem.other ] || { echo "purge did not remove exactly the events: $(ls "$shm")"; missing=1; }

# lintian: errors and warnings fail. The package's own overrides (shipped
# where lintian finds them) must each give a reason in the comment above.
overrides="$(dirname "$0")/../debian/lintian-overrides"
if ! awk '/^#/ { reason = 1; next } /^[[:space:]]*$/ { reason = 0; next }
          { if (!reason) { print "override without a reason: " $0; bad = 1 } reason = 0 }
          END { exit bad }' "$overrides"; then
    missing=1
fi
lintian --show-overrides --no-tag-display-limit "$lint" >"$work/lintian" 2>&1 || true
if grep -q '^[EW]: ' "$work/lintian"; then
    sed -n 's/^\([EW]: .*\)/lintian: \1/p' "$work/lintian"
    missing=1
fi
echo "lintian: $(grep -c '^[EW]: ' "$work/lintian" || true) errors and warnings," \
    "$(grep -c '^O: ' "$work/lintian" || true) overridden"

# The scanner's engine is a dependency; its signature updater a recommendation.
control=$(dpkg-deb -f "$deb" Depends Recommends)
grep -q 'libclamav12' <<<"$control" || { echo "the .deb does not depend on libclamav12"; missing=1; }
grep -q 'clamav-freshclam' <<<"$control" || { echo "the .deb does not recommend clamav-freshclam"; missing=1; }

[ "$missing" = 0 ] || exit 1
echo "$(basename "$deb"): $(wc -l <"$work/files") entries, all expected files present"
