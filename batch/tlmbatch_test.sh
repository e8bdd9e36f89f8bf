#!/usr/bin/env bash
# End-to-end tests of tlmbatch over a folder of generated telemetry: two
# whole files (one with a blank in its name), a truncated one and one that
# may not be read.  Each output is compared with the tool run directly on
# the same file, and the summary, the job log and the exit status with what
# the direct runs said; the products of the archive programs are read back.
# Run as nobody when started by root, since root reads any file.
#
#   tlmbatch_test.sh TLMBATCH TLMSYNTH IFGEXTRACT HKDUMP HKRAWDUMP TLM2NC NC2TLM DET2NC DETSYNTH
set -uo pipefail

tlmbatch=${1:?} tlmsynth=${2:?} ifgextract=${3:?} hkdump=${4:?} hkrawdump=${5:?}
tlm2nc=${6:?} nc2tlm=${7:?} det2nc=${8:?} detsynth=${9:?}
from_source_tree=$(cd "$(dirname "$0")/.." && pwd)/scripts/tlmbatch.sh
command -v parallel >/dev/null || { echo "GNU parallel is not installed: skipped"; exit 77; }

# shellcheck source=../tests/support/shell_checks.sh
. "$(dirname "$0")/../tests/support/shell_checks.sh" tlmbatch


# The start of a command run as the tester: nobody when this is root, with
# a home of its own for GNU parallel.
as_tester=(env HOME="$tmp")
[ "$(id -u)" -ne 0 ] || as_tester=(setpriv --reuid=65534 --regid=65534 --clear-groups "${as_tester[@]}")

mkdir campaign
"$tlmsynth" -n 5 -r 1 -o "campaign/run 1.tlm"
"$tlmsynth" -n 7 -k 3 -s 5x8,7x4 -r 2 -o campaign/run2.tlm
"$tlmsynth" -n 4 -t 6000 -o campaign/tail.tlm
"$tlmsynth" -n 3 -o campaign/locked.tlm
[ "$(id -u)" -ne 0 ] || chown -R 65534:65534 "$tmp"
chmod 000 campaign/locked.tlm
if ! "${as_tester[@]}" "$ifgextract" -h 2>/dev/null; then
  echo "nobody may not run the programs of this build: skipped"
  exit 77
fi
files=("campaign/run 1.tlm" campaign/run2.tlm campaign/tail.tlm campaign/locked.tlm)

# Checks a finished run of TOOL [OPTION...] over the four files against the
# tool run directly: each output (NAME, or NAME.failed when the tool ended
# badly, nothing left as NAME.partial), one summary line per bad file, and
# the exit status of each file in the job log.
#   check_run OUTPUT-FOLDER|"" SUFFIX JOBLOG STATUS SUMMARY-FILE TOOL [OPTION...]
check_run() {
  local folder=$1 suffix=$2 joblog=$3 status=$4 summary=$5
  shift 5
  [ "$status" -eq 1 ] || fail "exit status $status, not 1"
  local file output want_status want_message line bad=0
  for file in "${files[@]}"; do
    output=${folder:-campaign}/$(basename "$file")$suffix
    "${as_tester[@]}" "$@" -F "$file" >expected 2>messages
    want_status=$?
    want_message=$(tail -n 1 messages)
    [ ! -e "$output.partial" ] || fail "$output.partial left behind"
    if [ "$want_status" -eq 0 ]; then
      cmp -s expected "$output" || fail "$output is not what $* writes for $file"
      [ ! -e "$output.failed" ] || fail "$output.failed beside a complete output"
    else
      bad=$((bad + 1))
      cmp -s expected "$output.failed" || fail "$output.failed is not what $* writes for $file"
      [ ! -e "$output" ] || fail "$output written for a file that ended badly"
      line="  $file: status $want_status: $want_message (output kept as $output.failed)"
      grep -qxF -- "$line" "$summary" || fail "summary lacks '$line':"$'\n'"$(cat "$summary")"
    fi
    # The job log: tab-separated, exit status in column 7, command last.
    awk -F '\t' -v file="$file" -v want="$want_status" '
      NR > 1 && index($9, file) { found = 1; if ($7 != want) exit 1 }
      END { exit !found }' "$joblog" || fail "job log has no line with status $want_status for $file"
  done
  [ "$bad" -eq 2 ] || fail "$bad files ended badly when run directly, not 2"
  grep -q "^tlmbatch: 4 files, 2 ended well, 2 ended badly; job log $joblog\$" "$summary" ||
    fail "summary head: $(head -1 "$summary")"
  [ "$(wc -l <"$joblog")" -eq 5 ] || fail "job log has not 4 jobs"
}

start "one machine, outputs beside the inputs, nothing on standard error"
"${as_tester[@]}" "$tlmbatch" "$ifgextract" -- "${files[@]}" >summary 2>errors
check_run "" .ifgextract.txt tlmbatch.joblog $? summary "$ifgextract"
[ ! -s errors ] || fail "standard error not empty: $(cat errors)"

start "a login file naming this machine with two jobs, an output folder, group options"
printf '2/:\n' >logins
"${as_tester[@]}" "$tlmbatch" -S logins -o out -l jobs.log "$hkdump" -g 52 -X -- "${files[@]}" >summary 2>errors
check_run out .hkdump-g52-X.txt jobs.log $? summary "$hkdump" -g 52 -X
[ "$(cut -f2 jobs.log | sort -u | tr '\n' ' ')" = ": Host " ] || fail "jobs not all run here"

start "machines reached through ssh, with a bare environment there"
# GNU parallel logs in with $PARALLEL_SSH; this one runs the command here,
# with nothing of this environment: the job must travel with it.
cat >fake-ssh <<'EOF'
#!/bin/sh
while [ $# -gt 0 ]; do case $1 in -l|-p|-o) shift 2 ;; -*) shift ;; *) break ;; esac; done
echo "$1" >>"$HOME/ssh-hosts"
shift
[ "$1" = -- ] && shift
exec env -i HOME="$HOME" SHELL=/bin/bash PATH=/usr/bin:/bin sh -c "$*"
EOF
chmod 755 fake-ssh
printf '1/alpha\n1/beta\n' >remote-logins
"${as_tester[@]}" env PARALLEL_SSH="$tmp/fake-ssh" "$tlmbatch" -S remote-logins -o remote -s .m "$hkrawdump" -m -- \
  "${files[@]}" >summary 2>errors
check_run remote .m remote/tlmbatch.joblog $? summary "$hkrawdump" -m
[ "$(sort -u ssh-hosts 2>/dev/null | tr '\n' ' ')" = "alpha beta " ] || fail "hosts logged in to: $(sort -u ssh-hosts)"
[ ! -s errors ] || fail "standard error not empty: $(cat errors)"

start "archive programs: a product per file, NAME.nc whatever the options, whole or none"
printf '[[channel]]\nname = "bus"\ndescription = "Bus"\nunits = "V"\ncolumn = 12\ngroup = "%s"\nnumber = 68\nform = "top 12"\n' \
  voltage_monitors >station.toml
"${as_tester[@]}" "$tlmbatch" -o products "$tlm2nc" -d 2026-03-14 -D station.toml -- "${files[@]}" >summary 2>errors
[ $? -eq 1 ] || fail "status not 1"
diff - summary <<EOF || fail "summary"
tlmbatch: 4 files, 3 ended well, 1 ended badly; job log products/tlmbatch.joblog
  campaign/locked.tlm: status 1: tlm2nc: campaign/locked.tlm: Permission denied (no output)
EOF
for file in "${files[@]::3}"; do  # the truncated tail.tlm included: its product is whole
  product=products/$(basename "$file").nc
  "$nc2tlm" -F "$product" | cmp -s - "$file" || fail "$product does not give $file back"
  ncdump -h "$product" >header
  grep -q 'seconds since 2026-03-14' header || fail "$product: not dated by -d"
  grep -q 'double bus(line)' header || fail "$product: no value named by -D"
done
[ "$(ls products | tr '\n' ' ')" = "run 1.tlm.nc run2.tlm.nc tail.tlm.nc tlmbatch.joblog " ] ||
  fail "products: $(ls products)"
"${as_tester[@]}" mkdir detections
"${as_tester[@]}" "$detsynth" -n 2 -o detections/all.det
"${as_tester[@]}" cp campaign/run2.tlm detections/
"${as_tester[@]}" "$tlmbatch" "$det2nc" -- detections/all.det detections/run2.tlm >summary 2>errors
[ $? -eq 1 ] || fail "det2nc: status not 1"
ncdump -h detections/all.det.nc >header
grep -q 'entry = UNLIMITED ; // (2 currently)' header || fail "all.det.nc: not 2 entries"
LC_ALL=C grep -aq "^  detections/run2.tlm: status 1: det2nc: detections/run2.tlm:1: bad integer .* (no output)$" summary ||
  fail "det2nc summary: $(cat summary)"
[ "$(ls detections | tr '\n' ' ')" = "all.det all.det.nc run2.tlm " ] || fail "det2nc left: $(ls detections)"

start "an earlier output is replaced only by a complete one; names from standard input"
cp campaign/run2.tlm.ifgextract.txt earlier
head -c 20000 campaign/run2.tlm >cut && "${as_tester[@]}" cp cut campaign/run2.tlm
"${as_tester[@]}" "$tlmsynth" -n 4 -o campaign/tail.tlm
"${as_tester[@]}" "$tlmbatch" -a - "$ifgextract" <<<$'campaign/run2.tlm\ncampaign/tail.tlm' >summary 2>&1
[ $? -eq 1 ] || fail "status not 1"
cmp -s earlier campaign/run2.tlm.ifgextract.txt || fail "the complete output of the earlier run was touched"
[ -e campaign/run2.tlm.ifgextract.txt.failed ] || fail "no .failed output for run2.tlm"
[ -e campaign/tail.tlm.ifgextract.txt ] && [ ! -e campaign/tail.tlm.ifgextract.txt.failed ] ||
  fail "tail.tlm, whole now: the complete output does not replace the failed one"

start "an output that cannot be written"
mkdir shut
cp campaign/run2.tlm shut/
chmod 555 shut
"${as_tester[@]}" "$tlmbatch" "$ifgextract" shut/run2.tlm >summary 2>&1
[ $? -eq 1 ] || fail "status not 1"
grep -qxF "  shut/run2.tlm: status 1: cannot write shut/run2.tlm.ifgextract.txt.partial: Permission denied (no output)" summary ||
  fail "summary: $(cat summary)"

start "usage and setup errors: status 2, nothing run"
while IFS='|' read -r words message; do
  rm -rf none
  # shellcheck disable=SC2086
  "${as_tester[@]}" "$tlmbatch" -o none $words >summary 2>errors
  status=$?
  [ "$status" -eq 2 ] || fail "tlmbatch $words: status $status"
  grep -q -- "$message" errors || fail "tlmbatch $words: message '$(cat errors)' does not say '$message'"
  [ -z "$(ls none 2>/dev/null)" ] || fail "tlmbatch $words: wrote $(ls none)"
done <<EOF
cat -- campaign/run2.tlm|not one of the tools tlmbatch runs
$hkdump -p campaign/run2.tlm|options go before --
$hkdump -F x -p -- campaign/run2.tlm|gives the tool its -F
$hkdump -- campaign/run2.tlm|hkdump does not run
$ifgextract --|no input files given
-q $ifgextract campaign/run2.tlm|unknown option -q
-s a/b $ifgextract campaign/run2.tlm|holds no /
$ifgextract campaign/run2.tlm campaign/../campaign/run2.tlm|would both be written
$ifgextract -C -- campaign/run2.tlm|-C: not an option of ifgextract
$hkdump -Xh -- campaign/run2.tlm|-h: tlmbatch gives the tool its -F
$hkdump -p stray -- campaign/run2.tlm|stray: not an option of hkdump
$hkdump -p -g -- campaign/run2.tlm|-g: hkdump's option wants a value
$tlm2nc -o x.nc -- campaign/run2.tlm|-o: tlmbatch names each product itself
$tlm2nc -z 12 -- campaign/run2.tlm|tlm2nc -z 12 does not run
$det2nc -d 2026-03-14 -- detections/all.det|-d: not an option of det2nc
EOF

start "resumed from the source tree: files done before skipped, a cut file ended well, the job log added to"
"${as_tester[@]}" mkdir later
"${as_tester[@]}" "$tlmsynth" -n 3 -o later/a.tlm
"${as_tester[@]}" "$tlmsynth" -n 3 -t 500 -o later/b.tlm
"${as_tester[@]}" "$tlmsynth" -n 2 -o later/c.tlm
chmod 000 later/c.tlm
later=(later/a.tlm later/b.tlm later/c.tlm)
"${as_tester[@]}" "$from_source_tree" -t -o resumed "$hkdump" -p -- "${later[@]}" >summary 2>errors
[ $? -eq 1 ] || fail "first run: status not 1"
"${as_tester[@]}" "$hkdump" -p -F later/b.tlm >expected 2>/dev/null
cmp -s expected resumed/b.tlm.hkdump-p.txt || fail "the cut file's output is not every whole record"
diff - summary <<EOF || fail "first run's summary"
tlmbatch: 3 files, 2 ended well (1 cut short), 1 ended badly; job log resumed/tlmbatch.joblog
  later/b.tlm: cut short: Mismatch data at record 4 (every whole record in resumed/b.tlm.hkdump-p.txt)
  later/c.tlm: status 1: later/c.tlm: Permission denied (output kept as resumed/c.tlm.hkdump-p.txt.failed)
EOF
# As if the run had stopped before a.tlm; the skipped output stays as it is.
rm resumed/a.tlm.hkdump-p.txt
echo kept >resumed/b.tlm.hkdump-p.txt
chmod 644 later/c.tlm
"${as_tester[@]}" "$from_source_tree" -r -o resumed "$hkdump" -p -- "${later[@]}" >summary 2>errors
[ $? -eq 0 ] || fail "resumed run: status not 0"
[ "$(cat summary)" = "tlmbatch: 3 files, 2 ended well, 0 ended badly, 1 done before; job log resumed/tlmbatch.joblog" ] ||
  fail "resumed run's summary: $(cat summary)"
[ "$(cat resumed/b.tlm.hkdump-p.txt)" = kept ] || fail "a file done before was run again"
for name in a c; do
  "${as_tester[@]}" "$hkdump" -p -F later/$name.tlm >expected 2>/dev/null
  cmp -s expected resumed/$name.tlm.hkdump-p.txt || fail "$name.tlm not run on resuming"
done
[ ! -e resumed/c.tlm.hkdump-p.txt.failed ] || fail "the failed output of c.tlm is left beside its complete one"
# One heading, then the jobs of both runs (in the order they ended).
[ "$(head -1 resumed/tlmbatch.joblog | cut -f7)" = Exitval ] &&
  [ "$(tail -n +2 resumed/tlmbatch.joblog | cut -f7 | sort | tr '\n' ' ')" = "0 0 0 0 1 " ] ||
  fail "job log: $(cat resumed/tlmbatch.joblog)"

start "a run stopped midway leaves no output that looks complete"
mkdir -p slow
cat >slow/ifgextract <<'EOF'
#!/bin/sh
# Stands in for a tool that takes long: one line, then a wait.
[ "$2" = /dev/null ] && exit 0
echo "    2 0     1 0  2814 -2057"
exec sleep 20
EOF
chmod 755 slow/ifgextract
"${as_tester[@]}" "$tlmbatch" -j 2 "$tmp/slow/ifgextract" -- "${files[@]}" >summary 2>errors &
batch=$!
for _ in $(seq 100); do
  [ "$(ls campaign/*.partial 2>/dev/null | wc -l)" -eq 2 ] && break
  sleep 0.1
done
[ "$(ls campaign/*.partial 2>/dev/null | wc -l)" -eq 2 ] || fail "two jobs did not start"
kill -TERM "$batch"
wait "$batch"
status=$?
[ "$status" -eq 143 ] || fail "status $status, not that of TERM"
leftovers=$(ls campaign | grep -v '\.tlm$\|\.ifgextract\.txt$\|\.ifgextract\.txt\.failed$')
[ -z "$leftovers" ] || fail "left behind: $leftovers"
grep -q "^tlmbatch: 4 files, 0 ended well, 0 ended badly, 4 not run" summary || fail "summary: $(cat summary)"

start "a progress bar on a terminal"
"${as_tester[@]}" script -qec "$(printf '%q ' "$tlmbatch" -o bar "$ifgextract" "${files[@]}")" /dev/null >screen
grep -q '100%' screen || fail "no progress bar: $(tr '\r' '\n' <screen | head -5)"

finish
