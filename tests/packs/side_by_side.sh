#!/usr/bin/env bash
# Installs two packs, each without a window, into one folder and one hive, and
# checks that both pack files are exact copies of their installers, that the
# hive holds both records, that each pack file carries its own card sheet, and
# that the dictionary beside an executable translates what --translate prints.
set -euo pipefail
tessaline=$1 kestrel=$2 kestrel_bmp=$3 resources=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export WENLORA_REGISTRY="$work/system.reg"
fail() { echo "FAIL: $*" >&2; exit 1; }

"$tessaline" --install "$work/packs" > "$work/out1.txt"
"$kestrel" --install "$work/packs" > "$work/out2.txt"

cmp "$tessaline" "$work/packs/Tessaline.wpk" || fail "Tessaline.wpk is not a copy of its installer"
cmp "$kestrel" "$work/packs/Kestrel.wpk" || fail "Kestrel.wpk is not a copy of its installer"
grep -qx "Pack installation finished" "$work/out2.txt" || fail "no completion text"

expect() { grep -qxF "$1" "$WENLORA_REGISTRY" || fail "hive lacks $1"; }
expect "\"Pack1\"=\"$work/packs/Tessaline.wpk\""
expect '"Comm1"="Tessaline"'
expect '"Cir1"="Тесселин"'
expect "\"Pack2\"=\"$work/packs/Kestrel.wpk\""
expect '"Comm2"="Kestrel"'
expect '"Cir2"="Пустельга"'

# Each installed pack carries its sheet where an outside reader finds it.
if command -v objcopy >/dev/null; then
  objcopy --dump-section .rsrc.PACK="$work/t.dib" "$work/packs/Tessaline.wpk" "$work/t.elf"
  cmp "$work/t.dib" "$resources/pack.bmp" || fail "Tessaline.wpk carries another sheet"
  objcopy --dump-section .rsrc.PACK="$work/k.dib" "$work/packs/Kestrel.wpk" "$work/k.elf"
  # The PNG became a bitmap without file header, of the picture's size, at 8
  # bits per pixel (it has 72 colours); kestrel.bmp is the same picture.
  u32() { od -An -tu4 -j "$2" -N 4 "$1" | tr -d ' '; }
  [ "$(u32 "$work/k.dib" 0)" = 40 ] || fail "Kestrel's sheet has a file header"
  [ "$(u32 "$work/k.dib" 4)" = "$(u32 "$kestrel_bmp" 18)" ] || fail "Kestrel's sheet is another width"
  [ "$(u32 "$work/k.dib" 8)" = "$(u32 "$kestrel_bmp" 22)" ] || fail "Kestrel's sheet is another height"
  [ "$(od -An -tu2 -j 14 -N 2 "$work/k.dib" | tr -d ' ')" = 8 ] || fail "Kestrel's sheet is not 8 bits"
  # The identity the pack carries.
  objcopy --dump-section .rsrc.IDENTITY="$work/k.id" "$work/packs/Kestrel.wpk" "$work/k.elf"
  [ "$(cat "$work/k.id")" = "$(printf 'Number=2\nCyrillicTitle=Пустельга\nTitle=Kestrel')" ] ||
    fail "Kestrel's identity: $(cat "$work/k.id")"
fi

# A dictionary beside the executable is the one --translate reads.
cp "$kestrel" "$work/kestrel"
cp "$resources/tessaline-de.dic" "$work/kestrel.dic"
[ "$("$work/kestrel" --translate "Registry error 5")" = "Registrierungsfehler 5" ] ||
  fail "the dictionary beside the executable was not used"
[ "$("$work/kestrel" --dictionary "$resources/tessaline.dic" --translate "Registry error:")" = "Ошибка реестра:" ] ||
  fail "--dictionary was not used"
status=0
"$tessaline" --dictionary /nonexistent.dic --translate "Registry error 5" >"$work/out.txt" 2>/dev/null ||
  status=$?
[ "$status" = 2 ] && [ ! -s "$work/out.txt" ] || fail "a missing dictionary named was not refused"
echo "two packs installed side by side"
