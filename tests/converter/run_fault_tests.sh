#!/bin/sh
# Prepares real faults on the host, then runs the ConvertWin32Faults cases
# under Wine against them:
#  - a 7 MiB tmpfs holding two files whose converted copies cannot fit (full
#    disk): one large enough to be written on a second thread, one not;
#  - a dangling link planted at the temporary name of a file.
# Without the right to mount, it retries inside a private mount namespace;
# if that fails too it says so and exits 77, which ctest reports as skipped.
# usage: run_fault_tests.sh TEST-EXE WINE-RUN PREFIX
set -u
exe=$1
winerun=$2
prefix=$3

if [ "${PARDWELL_FAULTS_IN_NS:-}" != 1 ]; then
  probe=$(mktemp -d /tmp/pardwell-probe-XXXXXX)
  if mount -t tmpfs -o size=64k tmpfs "$probe" 2>/dev/null; then
    umount "$probe"
  elif unshare -rm true 2>/dev/null; then
    rmdir "$probe"
    # A wineserver outside the namespace would not see the mount: use a
    # prefix of our own, whose server starts inside it.
    echo "mount not permitted; retrying in a private mount namespace"
    PARDWELL_FAULTS_IN_NS=1 exec unshare -rm sh "$0" "$exe" "$winerun" "$prefix-faults"
  else
    rmdir "$probe"
    echo "SKIPPED: neither mount nor 'unshare -rm' is permitted here; the full-disk and" \
      "planted-link faults were NOT tested"
    exit 77
  fi
  rmdir "$probe"
fi

work=$(mktemp -d /tmp/pardwell-faults-XXXXXX)
cleanup() {
  umount "$work/full" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

mkdir "$work/full" "$work/links"
mount -t tmpfs -o size=7m tmpfs "$work/full" || { echo "mount failed"; exit 1; }
# Text with LF breaks: about 4.5 MB, then as much as leaves 64 KiB free, so
# neither CR LF copy fits beside it.
head -c 3300000 /dev/urandom | base64 > "$work/full/big.txt"
free=$(($(stat -f -c '%a * %S' "$work/full")))
head -c $(((free - 65536) * 3 / 4 * 76 / 77)) /dev/urandom | base64 > "$work/full/mid.txt"
cp "$work/full/big.txt" "$work/big.orig"
cp "$work/full/mid.txt" "$work/mid.orig"

printf 'a\nb\n' > "$work/links/a.txt"
ln -s ../victim "$work/links/a.txt.tmp"

# Wine maps / to Z:.
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
out=$(PARDWELL_FULL_DIR=$(winpath "$work/full") PARDWELL_LINK_DIR=$(winpath "$work/links") \
  "$winerun" --prefix "$prefix" "$exe" --gtest_color=no --gtest_filter='ConvertWin32Faults.*' 2>&1)
rc=$?
echo "$out"
status=0
[ "$rc" -eq 0 ] || status=1
if echo "$out" | grep -q 'SKIPPED'; then
  echo "FAIL: fault cases skipped although their folders were prepared"
  status=1
fi
echo "$out" | grep -q '\[  PASSED  \] 2 tests' || { echo "FAIL: expected 2 fault cases to pass"; status=1; }
# What only the host can see: the link is still there, its target was never
# created, the full disk holds just the original.
[ -L "$work/links/a.txt.tmp" ] || { echo "FAIL: planted link removed"; status=1; }
[ ! -e "$work/victim" ] || { echo "FAIL: written through the planted link"; status=1; }
for f in big mid; do
  cmp -s "$work/full/$f.txt" "$work/$f.orig" || { echo "FAIL: original $f.txt changed on the full disk"; status=1; }
done
[ "$(ls -A "$work/full" | tr '\n' ' ')" = "big.txt mid.txt " ] || { echo "FAIL: side files left on the full disk: $(ls -A "$work/full")"; status=1; }
exit $status
