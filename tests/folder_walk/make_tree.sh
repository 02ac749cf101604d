#!/bin/sh
# Builds the tree the Windows walk test reads, with link loops that Win32 code
# cannot create itself under Wine.
set -e
root=$1
rm -rf "$root"
mkdir -p "$root/sub/deeper" "$root/empty"
printf a > "$root/a.txt"
printf b > "$root/b.doc"
printf c > "$root/sub/c.txt"
printf d > "$root/sub/deeper/d.TXT"
printf h > "$root/sub/.hidden.txt"
ln -s .. "$root/sub/loop"
ln -s ../.. "$root/sub/deeper/up"
ln -s "$root" "$root/self"
ln -s "$root/sub/c.txt" "$root/link.txt"
ln -s "$root/missing" "$root/dangling.txt"
