#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks that every program, its
# manual page and its completion land where the README says, that each
# installed page renders for `man -l`, and that the installed scripts run
# from the install tree: quicklook finds its awk and gnuplot files, tlmbatch
# runs the installed tools.
#
#   check_install.sh BUILD_DIR PREFIX BINDIR MAN1DIR COMPLETIONDIR PROGRAM...
set -uo pipefail

build=${1:?} prefix=${2:?} bindir=${3:?} man1=${4:?} completions=${5:?}
shift 5
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
  [ -f "$prefix/$completions/$program" ] || fail "$completions/$program not installed"
  file=$prefix/$man1/$program.1
  if [ ! -f "$file" ]; then
    fail "$man1/$program.1 not installed"
    continue
  fi
  # A page that is installed must render to its NAME line.
  groff -man -Tascii "$file" 2>/dev/null | grep -qE "^ +$program +- " || fail "$man1/$program.1 does not render"
done
# The installed programs run from the install tree.
bin=$prefix/$bindir
"$bin/ifgextract" -h 2>&1 | grep -q carriage || fail "installed ifgextract does not run"
"$bin/tlmsynth" -n 3 -t 100 -o "$prefix/cut.tlm" || fail "installed tlmsynth does not run"
"$bin/tlm2nc" -F "$prefix/cut.tlm" && "$bin/nc2tlm" -F "$prefix/cut.tlm.nc" | cmp -s - "$prefix/cut.tlm" ||
  fail "installed tlm2nc and nc2tlm do not run"
if command -v parallel >/dev/null; then
  PATH=$bin:$PATH "$bin/tlmbatch" ifgextract "$prefix/cut.tlm" >/dev/null
  [ $? -eq 1 ] && [ -s "$prefix/cut.tlm.ifgextract.txt.failed" ] || fail "installed tlmbatch does not run ifgextract"
fi
if command -v gnuplot >/dev/null; then
  "$bin/ifgextract" -F "$prefix/cut.tlm" >"$prefix/cut.txt" 2>/dev/null
  "$bin/quicklook" ifg -o "$prefix/ifg.png" "$prefix/cut.txt" && [ -s "$prefix/ifg.png" ] ||
    fail "installed quicklook draws no picture"
fi

rm -rf "$prefix"
[ "$failures" -eq 0 ] || exit 1
echo "install tree: $# programs with their pages and completion in place"
