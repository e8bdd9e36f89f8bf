#!/usr/bin/env bash
# End-to-end tests of quicklook: pictures from generated telemetry
# and from the text forms of the tools, checked as PNG files of the promised
# size, the notices placed where they occur, and inputs that are not what a
# picture wants refused with a message and a non-zero status.
#
#   quicklook_test.sh ifg|hk|retrieve QUICKLOOK TLMSYNTH IFGEXTRACT [HKDUMP HKRAWDUMP RETRIEVE HKMONITOR]
#
# Programs given as "" are not built yet; the cases that need them are left
# out, the cases on hand-written text still run.
set -uo pipefail

part=${1:?} quicklook=${2:?} tlmsynth=${3:?} ifgextract=${4:?}
hkdump=${5:-} hkrawdump=${6:-} retrieve=${7:-} hkmonitor=${8:-}

command -v gnuplot >/dev/null || { echo "gnuplot is not installed: skipped"; exit 77; }

# shellcheck source=support/shell_checks.sh
. "$(dirname "$0")/support/shell_checks.sh" "quicklook_$part"


# A PNG file: the eight signature bytes, then the IHDR chunk whose first
# eight data bytes are the width and height, big-endian.
expect_png() {
  local file=$1 width=${2:-1000} height=${3:-600}
  [ -s "$file" ] || { fail "no picture $file"; return; }
  local -a b
  read -r -a b <<<"$(od -An -v -tu1 -N24 "$file" | tr -s ' \n' '  ')"
  local signature="${b[*]:0:8}"
  [ "$signature" = "137 80 78 71 13 10 26 10" ] || { fail "$file: not a PNG signature: $signature"; return; }
  [ "${b[*]:12:4}" = "73 72 68 82" ] || { fail "$file: no IHDR chunk first"; return; }
  local w=$(((b[16] << 24) | (b[17] << 16) | (b[18] << 8) | b[19]))
  local h=$(((b[20] << 24) | (b[21] << 16) | (b[22] << 8) | b[23]))
  [ "$w" -eq "$width" ] && [ "$h" -eq "$height" ] || fail "$file: ${w}x$h, not ${width}x$height"
}

# A run that must be refused: non-zero status, a "quicklook: " line that
# holds the expected words, and no picture.
expect_refusal() {
  local words=$1
  shift
  rm -f refused.png
  local err status
  err=$("$@" 2>&1 >/dev/null)
  status=$?
  [ "$status" -ne 0 ] || fail "accepted: $*"
  grep -q "^quicklook: .*$words" <<<"$err" || fail "message '$err' does not say '$words'"
  [ ! -e refused.png ] || fail "a picture was left behind"
}

# What a kept picture shows, drawn again as text on gnuplot's dumb
# terminal, so that its titles and key can be read.
drawn() {
  sed -e 's/^set terminal .*/set terminal dumb size 160,40/' -e '/^set output/d' "$1/plot.gp" |
    gnuplot 2>/dev/null
}

# The key entries of a kept picture, one per line: on the drawing each
# title is followed by a seven-character sample of its line.
key_entries() {
  drawn "$1" | grep -oE '[[:alpha:]][[:alnum:] _()]*[[:alnum:])] [^ [:alnum:]]{3}[^ ][^ [:alnum:]]{3}' |
    sed -E 's/ .{7}$//'
}

# The same lines, compared as text.
expect_file() {
  local file=$1 want=$2
  [ "$(cat "$file" 2>/dev/null)" = "$want" ] ||
    fail "$file holds:"$'\n'"$(cat "$file" 2>/dev/null)"$'\n'"expected:"$'\n'"$want"
}

test_ifg() {
  "$tlmsynth" -n 12 -k 4 -S 5 -s 5x21,6x9,-1x3,5 -o run.tlm || { fail "tlmsynth failed"; return; }

  start "two detectors through a pipe, first interferogram"
  "$ifgextract" -F run.tlm 2>/dev/null | "$quicklook" ifg -o ifg.png -k kept || fail "status $?"
  expect_png ifg.png
  # Interferogram 1 spans records 1 to 4; record 1 is not decoded, so its
  # samples are those of records 2 to 4 (431 + 8 * 432 at most).
  local n
  n=$(wc -l <kept/data)
  [ "$n" -gt 3000 ] && [ "$n" -le 3887 ] || fail "$n samples of interferogram 1"
  drawn kept | grep -q "Interferogram 1, two detectors" || fail "no title naming interferogram 1"

  start "chosen interferogram from a file, with its lost lock and status changes"
  "$ifgextract" -F run.tlm >run.txt 2>/dev/null
  "$quicklook" ifg -n 2 -o ifg2.png -k kept2 run.txt || fail "status $?"
  expect_png ifg2.png
  # Interferogram 2 spans records 5 to 8, about 1296 samples each.  The
  # status bit flips with record 6 and the sync row moves with record 8:
  # the notices stand after about one and three records of samples.
  local notes
  notes=$(awk -F '\t' '{ printf "%s:%s,", $2, ($1 > 1100 && $1 <= 1296) ? "r6" : ($1 > 3400 && $1 <= 3888) ? "r8" : $1 }' kept2/notes)
  [ "$notes" = "status changed:r6,lost lock:r8," ] || fail "notices of interferogram 2: $notes"
  [ "$(key_entries kept2 | tr '\n' ,)" = "detector 1,detector 2,lost lock,status changed," ] ||
    fail "key of interferogram 2: $(key_entries kept2 | tr '\n' ,)"

  start "carriage from standard input named as -"
  "$ifgextract" -c -F run.tlm 2>/dev/null | "$quicklook" ifg -n 3 -o carriage.png -k kept3 - || fail "status $?"
  expect_png carriage.png
  drawn kept3 | grep -q "Interferogram 3, carriage" || fail "no title naming the carriage"
  [ "$(key_entries kept3 | grep -v '^lost lock$\|^status changed$')" = carriage ] ||
    fail "key of the carriage: $(key_entries kept3 | tr '\n' ,)"
  [ "$(awk -F '\t' 'NF != 2' kept3/data | wc -l)" -eq 0 ] || fail "carriage data is not index and value"

  start "notices on hand-written lines land on the sample index where they stand"
  cat >notes.txt <<'EOF'
1
#status changed
    2 0     7 0    10    20
    2 0     7 0    11    21
#lost lock
    2 1     7 0    12    22
    2 1     8 0    13    23
#status changed
    2 2     8 20   14    24
#lost lock
    2 2     7 20   15    25
2
EOF
  "$quicklook" ifg -o notes.png -k kept4 notes.txt || fail "status $?"
  expect_png notes.png
  expect_file kept4/data $'0\t10\t20\n1\t11\t21\n2\t12\t22\n3\t15\t25'
  expect_file kept4/notes $'0\tstatus changed\n2\tlost lock\n3\tlost lock'

  start "refusals"
  expect_refusal "empty" "$quicklook" ifg -o refused.png /dev/null
  printf '\n  \n' >blank.txt
  expect_refusal "empty" "$quicklook" ifg -o refused.png blank.txt
  expect_refusal "binary" "$quicklook" ifg -o refused.png run.tlm
  printf '1\n2\n' >numbers.txt
  expect_refusal "no ifgextract sample lines" "$quicklook" ifg -o refused.png numbers.txt
  printf '146f     1 0\t   1\t12  0  0\t2174 2000 546 513\n' >hk.txt
  expect_refusal "line 1 is not ifgextract output" "$quicklook" ifg -o refused.png hk.txt
  printf '    2 0     1 0   10    20\n    2 0     1 0   10\n' >mixed.txt
  expect_refusal "line 2 has 5 fields" "$quicklook" ifg -o refused.png mixed.txt
  expect_refusal "interferogram 99 is not in the input" "$quicklook" ifg -n 99 -o refused.png run.txt
  expect_refusal "cannot read" "$quicklook" ifg -o refused.png no-such-file
  expect_refusal "wants an interferogram number" "$quicklook" ifg -n x -o refused.png run.txt
  "$quicklook" ifg -q run.txt >/dev/null 2>&1
  [ $? -eq 2 ] || fail "an unknown option is not a usage error"
  "$quicklook" picture >/dev/null 2>&1
  [ $? -eq 2 ] || fail "an unknown picture is not a usage error"
}

test_hk() {
  start "hkdump groups written by hand: pressure, framed mask temperature, generic in hex"
  cat >pressure.txt <<'EOF'
146f     1 0	   1	12  0  0	2174 2000 546 513
146f     1 1	   1	12  0  0	2171 2003 544 514
146f     1 2	   1	12  0  1	2176 2003 545 514
146f     2 0	   1	12  0  2	2170 2001 546 513
EOF
  "$quicklook" hk -o pressure.png -k kp pressure.txt || fail "status $?"
  expect_png pressure.png
  # x is the record number with the subframes at thirds.
  [ "$(cut -f1 kp/data | tr '\n' ' ')" = "1 1.33333 1.66667 2 " ] || fail "x values $(cut -f1 kp/data | tr '\n' ' ')"
  [ "$(key_entries kp | tr '\n' ,)" = "value 1,value 2,value 3,value 4," ] ||
    fail "not four values in the key: $(key_entries kp | tr '\n' ,)"

  cat >mask.txt <<'EOF'
146f     1 0	   1	12  0  0	| 1875 1886 |  493 | 1842 1850 | 1856 1870 |  1 |
146f     1 1	   1	12  0  0	| 1875 1888 |  493 | 1841 1852 | 1854 1866 |  0 |
EOF
  "$quicklook" hk -c 8 -o mask.png -k km mask.txt || fail "status $?"
  expect_png mask.png
  expect_file km/data $'1\t1875\t1886\t493\t1842\t1850\t1856\t1870\t1\n1.33333\t1875\t1888\t493\t1841\t1852\t1854\t1866\t0'
  [ "$(key_entries km)" = "ch 53 flag" ] || fail "-c 8 is not channel 53 alone: $(key_entries km | tr '\n' ,)"

  # A generic word's base is given (-X), never guessed from its letters.
  printf '146f     1 0\tc3\n146f     1 1\t100\n' >generic.txt
  "$quicklook" hk -X -o generic.png -k kg generic.txt || fail "status $?"
  expect_file kg/data $'1\t195\n1.33333\t256'
  printf '146f     1 0\t105\n' >hexdigits.txt
  "$quicklook" hk -X -o generic.png -k kx hexdigits.txt || fail "status $?"
  expect_file kx/data $'1\t261'
  "$quicklook" hk -o generic.png -k kd hexdigits.txt || fail "status $?"
  expect_file kd/data $'1\t105'

  start "hkrawdump words and ait affset lines written by hand"
  cat >raw.txt <<'EOF'
ait affset 388
146f     1 0	a08 a09 a13 a04 a05 a06 a07 a35
146f     1 1	a08 a09 a13 a04 a05 a06 a07 a35
ait affset 404
146f     1 2	a08 a09 a13 a04 a05 a06 a07 0
EOF
  "$quicklook" hk -o raw.png -k kr raw.txt || fail "status $?"
  expect_png raw.png
  [ "$(cut -f2,9 kr/data | tr '\t\n' ', ')" = "2568,2613 2568,2613 2568,0 " ] ||
    fail "hexadecimal words read as $(cut -f2,9 kr/data | tr '\t\n' ', ')"

  if [ -n "$hkdump" ] && [ -n "$hkrawdump" ]; then
    start "every group of generated telemetry through hkdump and hkrawdump"
    "$tlmsynth" -n 6 -s 5x7,6x4,-1x2 -o hk.tlm || fail "tlmsynth failed"
    local group
    for group in -f -s -p -m -v -x "-g 52"; do
      # shellcheck disable=SC2086
      "$hkdump" $group -F hk.tlm 2>/dev/null | "$quicklook" hk -o "e$group.png" || fail "hkdump $group: status $?"
      expect_png "e$group.png"
      # shellcheck disable=SC2086
      "$hkrawdump" $group -F hk.tlm 2>/dev/null | "$quicklook" hk -o "r$group.png" || fail "hkrawdump $group: status $?"
      expect_png "r$group.png"
    done
  else
    echo "hkdump and hkrawdump are not built: generated-telemetry case left out"
  fi

  start "several files: one trend, records counted on, each file's start marked"
  printf '146f     1 0\t   1\t12  0  0\t2174 2000 546 513\n146f     2 1\t   1\t12  0  1\t2175 2000 546 513\n' >second.txt
  "$quicklook" hk -o trend.png -k kt pressure.txt second.txt || fail "status $?"
  expect_png trend.png
  [ "$(cut -f1 kt/data | tr '\n' ' ')" = "1 1.33333 1.66667 2 3 4.33333 " ] || fail "x values $(cut -f1 kt/data | tr '\n' ' ')"
  expect_file kt/starts $'1\t1\n3\t2'
  drawn kt | grep -q "2 files, 6 lines (pressure.txt, second.txt)" || fail "no title naming both files"
  drawn kt | grep -q "second.txt" || fail "the second file's start is not named"

  start "a dictionary names the values and calibrates them"
  cat >station.toml <<'EOF'
[[channel]]
name = "gauge_b"
description = "second gauge"
units = "kPa"
column = 12
group = "pressure"
number = 22
form = "top 12"
polynomial = [1.0, 0.5]
[[channel]]
name = "gauge_d"
description = "fourth gauge"
units = "Pa"
column = 12
group = "pressure"
number = 28
form = "top 10"
table = [[0, 0.0], [1000, 10.0]]
[[channel]]
name = "gauge_a_word"
description = "first gauge, raw"
units = "count"
column = 4
group = "pressure"
number = 41
form = "raw"
EOF
  if [ -n "$hkmonitor" ]; then
    HKMONITOR=$hkmonitor "$quicklook" hk -D station.toml -g p -o named.png -k kn pressure.txt || fail "status $?"
    expect_png named.png
    [ "$(key_entries kn | tr '\n' ,)" = "value 1,gauge_b (kPa),value 3,gauge_d (Pa)," ] ||
      fail "key with the dictionary: $(key_entries kn | tr '\n' ,)"
    # The curves are calibrated: value 2 is 1 + 0.5 x, value 4 x / 100;
    # the others are drawn as they are.
    local printed
    printed=$(grep -E '^calibration =|^calibrated' kn/plot.gp |
      cat - <(echo 'print calibrated(2, 2000), calibrated(4, 513), calibrated(1, 2174)') | gnuplot 2>&1)
    [ "$printed" = "1001.0 5.13 2174" ] || fail "calibrated values: $printed"
    # hkrawdump's words take the dictionary's column 4 entries.
    printf '146f     1 0\t842 7d0 222 201\n' >rawp.txt
    HKMONITOR=$hkmonitor "$quicklook" hk -D station.toml -g p -o raw-named.png -k krn rawp.txt || fail "status $?"
    [ "$(key_entries krn | head -1)" = "gauge_a_word (count)" ] || fail "raw key: $(key_entries krn | tr '\n' ,)"
    # A generic channel's entry is the one of the column given with it.
    cat >>station.toml <<'EOF'
[[channel]]
name = "eng5"
description = "generic channel 5, engineering word"
units = "V"
column = 12
group = "generic"
number = 5
form = "raw"
[[channel]]
name = "raw5"
description = "generic channel 5, raw word"
units = "count"
column = 4
group = "generic"
number = 5
form = "raw"
EOF
    local g
    for g in "12:5 eng5 (V)" "4:5 raw5 (count)"; do
      HKMONITOR=$hkmonitor "$quicklook" hk -D station.toml -g "${g%% *}" -o generic.png -k kgn hexdigits.txt ||
        fail "-g ${g%% *}: status $?"
      [ "$(key_entries kgn)" = "${g#* }" ] || fail "-g ${g%% *} key: $(key_entries kgn)"
    done
    expect_refusal "names one generic channel, but the lines hold 4 values" \
      env HKMONITOR="$hkmonitor" "$quicklook" hk -D station.toml -g 12:5 -o refused.png pressure.txt
    # A fault of the dictionary is told as hkmonitor tells it.
    printf '[[channel]]\nname = 3\n' >bad.toml
    local err
    err=$(HKMONITOR=$hkmonitor "$quicklook" hk -D bad.toml -g p -o refused.png pressure.txt 2>&1 >/dev/null)
    [ $? -eq 1 ] && [ "$err" = "hkmonitor: bad.toml:2: channel[1].name: wants a string, not an integer" ] ||
      fail "dictionary fault told as: $err"
    [ ! -e refused.png ] || fail "a picture was left behind"
    # No hkmonitor anywhere is a usage error (2), told once.
    err=$(HKMONITOR="" PATH=/usr/bin:/bin "$quicklook" hk -D station.toml -g p -o refused.png pressure.txt 2>&1 >/dev/null)
    [ $? -eq 2 ] && [ "$err" = "quicklook: -D needs hkmonitor to read the dictionary: not found beside quicklook or on PATH (or set HKMONITOR)" ] ||
      fail "no hkmonitor told as: $err"
  else
    echo "hkmonitor is not built: the dictionary cases left out"
  fi

  start "refusals"
  expect_refusal 'line 1: "c3" is hexadecimal: give -X' "$quicklook" hk -o refused.png generic.txt
  printf '146f     1 0\t-5\n' >negative.txt
  expect_refusal '"-5" is not a hexadecimal word' "$quicklook" hk -X -o refused.png negative.txt
  expect_refusal "-g 12:5 (hkdump) or -g 4:5 (hkrawdump)" "$quicklook" hk -D station.toml -g 5 -o refused.png hexdigits.txt
  expect_refusal "-g wants a group letter" "$quicklook" hk -D station.toml -g 8:5 -o refused.png hexdigits.txt
  expect_refusal "-D wants -g" "$quicklook" hk -D station.toml -o refused.png pressure.txt
  expect_refusal "-g goes with -D" "$quicklook" hk -g p -o refused.png pressure.txt
  expect_refusal "-g wants a group letter" "$quicklook" hk -D station.toml -g q -o refused.png pressure.txt
  expect_refusal "mask.txt: line 1 holds another group" "$quicklook" hk -o refused.png pressure.txt mask.txt
  expect_refusal "empty" "$quicklook" hk -o refused.png /dev/null
  printf '1\n    2 0     1 0   10    20\n' >ifg.txt
  expect_refusal "line 1 is not hkdump or hkrawdump output" "$quicklook" hk -o refused.png ifg.txt
  printf 'ait affset 388\n' >ait.txt
  expect_refusal "no hkdump or hkrawdump lines" "$quicklook" hk -o refused.png ait.txt
  cat pressure.txt mask.txt >both.txt
  expect_refusal "another group" "$quicklook" hk -o refused.png both.txt
  expect_refusal "column 5 asked for, but the lines hold 4 values" "$quicklook" hk -c 5 -o refused.png pressure.txt
  expect_refusal "wants a column number" "$quicklook" hk -c 0 -o refused.png pressure.txt
}

test_retrieve() {
  start "interferogram and spectrum written by hand, exponents in every form"
  mkdir -p out
  printf '0.5\n-1\n2.5e-1\n1.0D+00\n1.0d+02\n' >out/interferogram.dat
  seq 1 50 | awk '{ print $1 * $1 / 100 }' >out/spectrum.dat
  "$quicklook" retrieve -d out -o retrieve.png -k kr || fail "status $?"
  expect_png retrieve.png
  expect_file kr/ifg $'0\t0.5\n1\t-1\n2\t2.5e-1\n3\t1.0e+00\n4\t1.0e+02'
  [ "$(wc -l <kr/spectrum)" -eq 50 ] || fail "spectrum values lost"
  drawn kr | grep -q "interferogram (5 values)" && drawn kr | grep -q "spectrum (50 values)" || fail "not two panels"

  start "an empty interferogram file still gives a picture"
  mkdir -p zero
  : >zero/interferogram.dat
  printf '1\n2\n' >zero/spectrum.dat
  "$quicklook" retrieve -d zero -o zero.png || fail "status $?"
  expect_png zero.png

  if [ -n "$retrieve" ] && [ -f "${SAMPLE_DETECTION_FILE:-}" ]; then
    start "retrieve's own files from the sample detection file"
    mkdir -p run
    cp "$SAMPLE_DETECTION_FILE" run/all.det
    local first
    first=$(awk 'NR == 1 { print $3 }' run/all.det)
    (cd run && echo "$first" | "$retrieve" >/dev/null) || fail "retrieve $first: status $?"
    "$quicklook" retrieve -d run -o run.png || fail "status $?"
    expect_png run.png
  else
    echo "retrieve or its sample detection file is not there: its own-files case left out"
  fi

  start "refusals"
  mkdir -p none bad empty
  expect_refusal "no such file" "$quicklook" retrieve -d none -o refused.png
  printf '1\n2\n' >bad/interferogram.dat
  printf '1\nnan\n' >bad/spectrum.dat
  expect_refusal "spectrum.dat: line 2 is not a number" "$quicklook" retrieve -d bad -o refused.png
  : >empty/interferogram.dat
  : >empty/spectrum.dat
  expect_refusal "hold no values" "$quicklook" retrieve -d empty -o refused.png
  expect_refusal "not a folder" "$quicklook" retrieve -d no-such-dir -o refused.png
}

case $part in
  ifg) test_ifg ;;
  hk) test_hk ;;
  retrieve) test_retrieve ;;
  *) echo "unknown part $part" >&2; exit 2 ;;
esac

finish
