#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks that every program and
# every manual page lands where the README says, and that each installed page
# renders for `man -l`.
#
#   check_install.sh BUILD_DIR PREFIX BINDIR MAN1DIR PROGRAM...
set -uo pipefail

build=${1:?} prefix=${2:?} bindir=${3:?} man1=${4:?}
shift 4
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

rm -rf "$prefix"
if ! out=$(cmake --install "$build" --prefix "$prefix" 2>&1); then
  echo "$out" >&2
  echo "FAIL: cmake --install failed" >&2
  exit 1
fi

for program in "$@"; do
  [ -x "$prefix/$bindir/$program" ] || fail "$bindir/$program not installed"
done
for page in hkdump hkrawdump ifgextract retrieve tlmsynth; do
  file=$prefix/$man1/$page.1
  if [ ! -f "$file" ]; then
    fail "$man1/$page.1 not installed"
    continue
  fi
  # A page that is installed must render to its NAME line.
  groff -man -Tascii "$file" 2>/dev/null | grep -qE "^ +$page +- " || fail "$man1/$page.1 does not render"
done
# An installed program runs from the install tree.
"$prefix/$bindir/ifgextract" -h 2>&1 | grep -q carriage || fail "installed ifgextract does not run"

rm -rf "$prefix"
[ "$failures" -eq 0 ] || exit 1
echo "install tree: $# programs and 5 pages in place"
