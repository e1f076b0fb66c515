#!/usr/bin/env bash
# Builds the .deb of a fully built tree with CPack and checks its file list
# and its scan server unit. Usage: packaging/check-deb.sh BUILD_DIR
# Needs the programs of that tree built (scripts/test builds everything first).
set -euo pipefail
build=$(cd "${1:?usage: check-deb.sh BUILD_DIR}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/*.deb)
dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|' >"$work/files"

expected=(
    /usr/share/applications/vex-tempora.desktop
    /usr/share/mime/packages/vex-tempora.xml
    /usr/share/icons/hicolor/scalable/apps/vex-tempora.svg
    /usr/lib/systemd/user/vexserv.service
    /usr/share/vex-tempora/help/index.html
    /usr/share/vex-tempora/help/skorowidz.html
)
for size in 16 22 24 32 48 64 128 256; do
    expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/vex-tempora.png")
done
for page in "$(dirname "$0")"/help/*.html; do
    expected+=("/usr/share/vex-tempora/help/$(basename "$page")")
done
# The programs this tree builds and installs.
for program in vex-tempora vexserv vexscan tempora; do
    if grep -rqs --include=cmake_install.cmake "/bin/$program\"" "$build"; then
        expected+=("/usr/bin/$program")
    fi
done

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
# The package enables the server's user unit for every session.
dpkg-deb -I "$deb" postinst | grep -q 'systemctl --global enable vexserv.service' ||
    { echo "the .deb does not enable the scan server for sessions"; missing=1; }

# The scanner's engine is a dependency; its signature updater a recommendation.
control=$(dpkg-deb -f "$deb" Depends Recommends)
grep -q 'libclamav12' <<<"$control" || { echo "the .deb does not depend on libclamav12"; missing=1; }
grep -q 'clamav-freshclam' <<<"$control" || { echo "the .deb does not recommend clamav-freshclam"; missing=1; }

[ "$missing" = 0 ] || exit 1
echo "$(basename "$deb"): $(wc -l <"$work/files") entries, all expected files present"
