#!/bin/sh
# A real Git repository for the Windows tests, made by Git itself, which the
# Windows trees do not have.
set -e
root=$1
rm -rf "$root"
git init -q "$root"
cd "$root"
printf '*.log\nbuild/\n!keep.log\n' > .gitignore
printf '*.tmp\n' >> .git/info/exclude
mkdir -p build sub/out .hg
printf a > a.txt
printf b > b.log
printf k > keep.log
printf t > c.tmp
printf x > build/x.txt
printf 'out/\n' > sub/.gitignore
printf s > sub/s.txt
printf o > sub/out/o.txt
printf h > .hg/h.txt
