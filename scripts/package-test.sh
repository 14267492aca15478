#!/usr/bin/env bash
# Checks the Debian package built by `make package` as Debian would (lintian,
# desktop-file-validate, appstreamcli validate), installs it into the system,
# runs the installed programs (--version, the dictionary beside the real
# program, an unattended install into a scratch folder with its own hive, and
# tessaline-pack making a pack from a picture this script makes, and that
# pack's install), then removes the package and checks that nothing it owned
# is left. Needs root.
set -euo pipefail
deb=${1:-$(ls build/release/package/tessaline_*.deb | head -n 1)}
case $deb in /*) ;; *) deb=./$deb ;; esac
work=$(mktemp -d)
cleanup() { dpkg --purge tessaline >/dev/null 2>&1 || true; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Debian's checks. lintian warns that it runs as root; only its findings count.
lintian --fail-on error,warning "$deb" 2> >(grep -v 'running with root privileges' >&2)
dpkg-deb -x "$deb" "$work/contents"
desktop-file-validate "$work/contents/usr/share/applications/tessaline.desktop"
appstreamcli validate --no-net "$work/contents/usr/share/metainfo/org.tessaline.Tessaline.metainfo.xml"

apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "$deb" >/dev/null
dpkg-query -L tessaline > "$work/owned.txt"
[ "$(readlink /usr/bin/tessaline)" = ../lib/tessaline/tessaline ] || fail "/usr/bin/tessaline is no link"
for program in /usr/lib/tessaline/tessaline /usr/bin/tessaline-pack; do
  file -L "$program" | grep -q ', stripped' || fail "$program is not stripped"
done
for owned in /usr/lib/tessaline/tessaline.dic /usr/share/tessaline/tessaline-de.dic \
             /usr/share/icons/hicolor/32x32/apps/tessaline.png \
             /usr/share/man/man1/tessaline.1.gz /usr/share/man/man1/tessaline-pack.1.gz \
             /usr/share/doc/tessaline/copyright /usr/share/doc/tessaline/changelog.Debian.gz; do
  test -f "$owned" || fail "$owned is missing"
done
if find /usr/bin -name 'tessaline*' ! -type l ! -perm -u+x | grep -q .; then
  fail "a data file in /usr/bin"
fi

/usr/bin/tessaline --version
# The dictionary is found beside the real program, through the link.
[ "$(/usr/bin/tessaline --translate 'Registry error 5')" = "Ошибка реестра 5" ] ||
  fail "the dictionary beside /usr/lib/tessaline/tessaline was not used"
export WENLORA_REGISTRY="$work/system.reg"
/usr/bin/tessaline --install "$work/packs" > "$work/out.txt"
cmp /usr/lib/tessaline/tessaline "$work/packs/Tessaline.wpk"
grep -q 'Pack installation finished' "$work/out.txt"
grep -q '"Pack1"="'"$work"'/packs/Tessaline.wpk"' "$WENLORA_REGISTRY"

# A pack from a picture of the sheet's size (the window's own screenshot),
# made from the installed program, which tessaline-pack finds by itself.
/usr/bin/tessaline --screenshot "$work/sheet.png" --size 639x384
tessaline-pack --sheet "$work/sheet.png" --title Plover --cyrillic-title Зуёк --number 4 \
  --output "$work/plover"
[ "$("$work/plover" --version)" = "plover 1.0.0 (pack 4, Plover)" ] || fail "the pack's identity"
"$work/plover" --install "$work/packs" >/dev/null
cmp "$work/plover" "$work/packs/Plover.wpk"
grep -qxF '"Comm4"="Plover"' "$WENLORA_REGISTRY" || fail "the pack's record"
grep -qxF '"Cir4"="Зуёк"' "$WENLORA_REGISTRY" || fail "the pack's record"
grep -qxF '"Comm1"="Tessaline"' "$WENLORA_REGISTRY" || fail "Tessaline's record went"

dpkg --purge tessaline >/dev/null
while IFS= read -r path; do
  [ -d "$path" ] && continue  # folders the system shares stay
  if [ -e "$path" ] || [ -L "$path" ]; then fail "$path is left after removal"; fi
done < "$work/owned.txt"
for folder in /usr/lib/tessaline /usr/share/tessaline /usr/share/doc/tessaline; do
  [ ! -e "$folder" ] || fail "$folder is left after removal"
done
echo "package: checked, installed, ran, made and installed a pack, and removed $deb"
