#!/usr/bin/env bash
# Installs the Debian package built by `make package` into the system, runs the
# installed program (--version, an unattended install into a scratch folder with
# its own hive), and removes the package again. Needs root.
set -euo pipefail
deb=${1:-$(ls build/release/package/tessaline_*.deb | head -n 1)}
case $deb in /*) ;; *) deb=./$deb ;; esac
work=$(mktemp -d)
cleanup() { dpkg -r tessaline >/dev/null 2>&1 || true; rm -rf "$work"; }
trap cleanup EXIT

apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "$deb" >/dev/null
test -x /usr/bin/tessaline
test -f /usr/bin/tessaline.dic
test -f /usr/share/applications/tessaline.desktop
test -f /usr/share/icons/hicolor/32x32/apps/tessaline.png

/usr/bin/tessaline --version
WENLORA_REGISTRY="$work/system.reg" /usr/bin/tessaline --install "$work/packs" > "$work/out.txt"
cmp /usr/bin/tessaline "$work/packs/Tessaline.wpk"
grep -q 'Pack installation finished' "$work/out.txt"
grep -q '"Pack1"="'"$work"'/packs/Tessaline.wpk"' "$work/system.reg"
echo "package: installed, ran and installed a pack from $deb"
