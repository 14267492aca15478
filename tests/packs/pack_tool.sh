#!/usr/bin/env bash
# tessaline-pack as an artist runs it: a pack from a sheet this script draws,
# made from the tessaline program beside the command (also through a link),
# its window showing its own cards and title, installed beside Tessaline into
# a private hive, the same bytes from the same inputs, stripped as a package
# strips it, a program whose identity is missing or damaged, and every
# refusal writing nothing.
set -euo pipefail
pack=$1 tessaline=$2 draw=$3 sanitized=${4:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export WENLORA_REGISTRY="$work/system.reg"
fail() { echo "FAIL: $*" >&2; exit 1; }

"$draw" sheet "$work/heron.png" 639 384 7
make_heron() { "$@" --sheet "$work/heron.png" --title Heron --cyrillic-title Цапля --number 3; }

# The default base is the tessaline beside the command, links resolved.
mkdir "$work/bin"
ln -s "$pack" "$work/bin/tessaline-pack"
make_heron "$work/bin/tessaline-pack" --output "$work/heron"
make_heron "$pack" --output "$work/again"
make_heron "$pack" --base "$tessaline" --output "$work/based"
cmp "$work/heron" "$work/again" || fail "two runs gave different packs"
cmp "$work/heron" "$work/based" || fail "the default base is not $tessaline"
[ -x "$work/heron" ] || fail "the pack is not executable"
[ "$("$work/heron" --version)" = "heron 1.0.0 (pack 3, Heron)" ] ||
  fail "--version: $("$work/heron" --version)"

# Its window shows its own cards (the tiles copy the sheet's pixels) and title.
QT_QPA_PLATFORM=offscreen "$work/heron" --screenshot "$work/window.png" --size 900x600
"$draw" find "$work/window.png" 639 384 7 || fail "the window does not show Heron's cards"
if "$draw" find "$work/window.png" 639 384 8 2>/dev/null; then fail "the finder finds anything"; fi
cp "$work/heron" "$work/Tessaline"
"$work/Tessaline" --version | grep -q "(pack 3, Heron)" || fail "the title follows the file's name"

# Installed beside Tessaline, into one hive.
"$tessaline" --install "$work/packs" >/dev/null
"$work/heron" --install "$work/packs" >/dev/null
cmp "$work/heron" "$work/packs/Heron.wpk" || fail "Heron.wpk is not a copy of the pack"
expect() { grep -qxF "$1" "$WENLORA_REGISTRY" || fail "hive lacks $1"; }
expect "\"Pack1\"=\"$work/packs/Tessaline.wpk\""
expect '"Comm1"="Tessaline"'
expect '"Cir1"="Тесселин"'
expect "\"Pack3\"=\"$work/packs/Heron.wpk\""
expect '"Comm3"="Heron"'
expect '"Cir3"="Цапля"'
"$tessaline" --list | grep -qxF "$(printf '3\tHeron\tЦапля\t%s\tok' "$work/packs/Heron.wpk")" ||
  fail "--list: $("$tessaline" --list)"
[ "$("$work/heron" --verify)" = "ok: $work/packs/Heron.wpk" ] || fail "--verify of Heron"

# Stripped as a package build strips it (strip; dh_strip's options), the pack
# keeps its resources and still runs.
objcopy --dump-section .rsrc.PACK="$work/sheet.dib" "$work/heron" /dev/null
for options in "" "--remove-section=.comment --remove-section=.note --strip-unneeded"; do
  # shellcheck disable=SC2086
  strip $options -o "$work/stripped" "$work/heron"
  objcopy --dump-section .rsrc.PACK="$work/stripped.dib" "$work/stripped" /dev/null
  cmp "$work/sheet.dib" "$work/stripped.dib" || fail "strip $options lost the sheet"
  [ "$("$work/stripped" --version)" = "stripped 1.0.0 (pack 3, Heron)" ] || fail "strip $options"
done

# A program without its identity, or with a damaged one, says so.
objcopy --remove-section=.rsrc.IDENTITY "$work/heron" "$work/nameless"
printf 'Number=3\nTitle=Heron\n' > "$work/damaged.txt"
objcopy --update-section .rsrc.IDENTITY="$work/damaged.txt" "$work/heron" "$work/damaged"
for program in nameless damaged; do
  status=0
  "$work/$program" --version > "$work/out.txt" 2> "$work/err.txt" || status=$?
  [ "$status" = 1 ] && [ ! -s "$work/out.txt" ] || fail "$program: status $status"
  cat "$work/err.txt" >> "$work/errors.txt"
done
grep -qx "$work/nameless: This program carries no pack identity: Resource IDENTITY not found" \
  "$work/errors.txt" || fail "no identity: $(cat "$work/errors.txt")"
grep -qx "$work/damaged: The pack identity is damaged: line 2 is not CyrillicTitle=..." \
  "$work/errors.txt" || fail "damaged identity: $(cat "$work/errors.txt")"

# Refusals: exit status 2, the reason, and no output.
"$draw" bomb "$work/bomb.png"
"$draw" sheet "$work/small.bmp" 8 4 1
printf 'not a picture' > "$work/text.png"
ln -s "$tessaline" "$work/base-link"
refuse() {  # refuse REASON ARGUMENT...: tessaline-pack ARGUMENT... refuses with REASON
  local reason=$1 status=0
  shift
  "$pack" "$@" > "$work/out.txt" 2> "$work/err.txt" || status=$?
  [ "$status" = 2 ] || fail "status $status for: $*"
  grep -qF -- "$reason" "$work/err.txt" || fail "no '$reason' for $*: $(cat "$work/err.txt")"
  [ ! -e "$work/out" ] || fail "an output was written for: $*"
}
args() {  # the arguments of a good pack, with the one option named changed
  local -A given=([--sheet]="$work/heron.png" [--title]=Heron [--cyrillic-title]=Цапля
                  [--number]=3 [--output]="$work/out")
  given[$1]=$2
  for name in "${!given[@]}"; do printf '%s\0%s\0' "$name" "${given[$name]}"; done
}
while IFS='|' read -r option value reason; do
  mapfile -d '' -t list < <(args "$option" "$value")
  refuse "$reason" "${list[@]}"
done <<EOF
--sheet|$work/small.bmp|small.bmp: a 8 x 4 picture cannot hold the 9 x 4 grid
--sheet|$work/bomb.png|bomb.png: a 16384 x 16384 picture is larger than a card sheet may be
--sheet|$work/text.png|text.png: not a card sheet: Bitmap image is not valid
--sheet|$work/absent.png|absent.png: cannot be read: No such file or directory
--title||the title '' cannot be used: it is empty
--title|a/b|the title 'a/b' cannot be used: it holds a "/"
--cyrillic-title||the Cyrillic title '' cannot be used: it is empty
--number|0|the number '0' is not a whole number from 1 to 2147483647
--number|2147483648|the number '2147483648' is not a whole number
--number|-1|the number '-1' is not a whole number
--output|$tessaline|is the base program itself
--output|$work/base-link|is the base program itself
EOF
mapfile -d '' -t list < <(args --number 3)
refuse "unknown argument '--colour'" --colour red
refuse "--output is needed" --sheet "$work/heron.png" --title T --cyrillic-title Т --number 1
refuse "is not a Tessaline program" "${list[@]}" --base "$draw"
refuse "cannot be used: it is not an ELF file" "${list[@]}" --base "$work/heron.png"

# A picture bomb is refused at once, well inside a 1 GiB address space.
if [ -z "$sanitized" ]; then
  mapfile -d '' -t list < <(args --sheet "$work/bomb.png")
  status=0
  (ulimit -v 1048576; exec "$pack" "${list[@]}") 2> "$work/err.txt" || status=$?
  [ "$status" = 2 ] && grep -q "is larger than a card sheet" "$work/err.txt" ||
    fail "the bomb under a memory limit: status $status: $(cat "$work/err.txt")"
fi
echo "tessaline-pack made, showed, installed and refused packs"
