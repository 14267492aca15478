#!/usr/bin/env bash
# Runs --list, --verify and --uninstall of the real executables: two packs
# installed side by side, one checked, damaged and removed, the other and its
# file untouched; a pack that is asked to remove the running program itself.
set -euo pipefail
tessaline=$1 kestrel=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export WENLORA_REGISTRY="$work/system.reg"
fail() { echo "FAIL: $*" >&2; exit 1; }
packs=$work/packs
# verify_fails PROGRAM TEXT: --verify exits 1 saying TEXT.
verify_fails() { local out; if out=$("$1" --verify); then return 1; fi; [ "$out" = "$2" ]; }

[ "$("$tessaline" --list)" = "$(printf 'number\ttitle\tcyrillic title\tpath\tstate')" ] ||
  fail "an empty hive lists something"
verify_fails "$tessaline" "not installed" || fail "--verify of nothing"

"$tessaline" --install "$packs" >/dev/null
"$kestrel" --install "$packs" >/dev/null
expected=$(printf 'number\ttitle\tcyrillic title\tpath\tstate\n1\tTessaline\tТесселин\t%s\tok\n2\tKestrel\tПустельга\t%s\tok' \
  "$packs/Tessaline.wpk" "$packs/Kestrel.wpk")
[ "$("$kestrel" --list)" = "$expected" ] || fail "--list: $("$kestrel" --list)"
"$tessaline" --list --json | grep -q '"state": "ok"' || fail "--list --json"
[ "$("$tessaline" --verify)" = "ok: $packs/Tessaline.wpk" ] || fail "--verify of an intact pack"

cp "$packs/Kestrel.wpk" "$work/kestrel.before"
cp "$WENLORA_REGISTRY" "$work/hive.before"
"$tessaline" --uninstall > "$work/out.txt"
grep -qx "uninstalled: $packs/Tessaline.wpk" "$work/out.txt" || fail "no uninstall text"
[ -e "$packs/Tessaline.wpk" ] && fail "Tessaline.wpk is still there"
cmp -s "$packs/Kestrel.wpk" "$work/kestrel.before" || fail "Kestrel.wpk changed"
grep -v -e '"Pack1"=' -e '"Comm1"=' -e '"Cir1"=' "$work/hive.before" | cmp -s - "$WENLORA_REGISTRY" ||
  fail "the hive changed beyond Tessaline's values"
verify_fails "$tessaline" "not installed" || fail "--verify after uninstall"
[ "$("$tessaline" --uninstall)" = "not installed" ] || fail "a second uninstall"
[ "$("$kestrel" --verify)" = "ok: $packs/Kestrel.wpk" ] || fail "Kestrel was damaged"

# The running program is never removed, even when the record names it.
"$kestrel" --uninstall >/dev/null
"$kestrel" --install "$work/self" >/dev/null
if "$work/self/Kestrel.wpk" --uninstall 2>"$work/err.txt"; then fail "the running program was removed"; fi
grep -q "it is the running program" "$work/err.txt" || fail "no reason: $(cat "$work/err.txt")"
[ -e "$work/self/Kestrel.wpk" ] || fail "the running program is gone"
"$work/self/Kestrel.wpk" --uninstall --force 2>/dev/null >/dev/null || fail "--force"
[ -e "$work/self/Kestrel.wpk" ] || fail "--force removed the running program"
verify_fails "$kestrel" "not installed" || fail "the record is still there"

# Output that cannot be written is a failure, whatever the command did.
"$tessaline" --install "$packs" >/dev/null
for args in "--list" "--list --json" "--verify" "--help" "--version" "--translate x" "--uninstall"; do
  # shellcheck disable=SC2086
  if "$tessaline" $args >/dev/full 2>"$work/err.txt"; then fail "$args on a full disk succeeded"; fi
  grep -q "the output could not be written" "$work/err.txt" || fail "$args: $(cat "$work/err.txt")"
done
if "$tessaline" --install "$packs" >/dev/full 2>/dev/null; then fail "--install on a full disk succeeded"; fi

# A hive that cannot be read.
printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora\\Pack]\nbroken\n' > "$WENLORA_REGISTRY"
if "$tessaline" --list >/dev/null 2>&1; then fail "--list of a damaged hive succeeded"; fi
echo "list, verify and uninstall of real packs"
