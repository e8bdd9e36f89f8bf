#!/usr/bin/env bash
# Checks the manual pages: each renders without a single warning (groff, and
# mandoc when it is installed), carries the sections an operator looks for,
# and documents exactly the options its program accepts.
#
#   check_pages.sh SOURCE_DIR
#
# The option strings are taken from the programs' sources where they stand
# in one place, so a new option without its page entry fails here.
set -uo pipefail

src=${1:?usage: check_pages.sh SOURCE_DIR}
pages=$src/man
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# The getopt string of a program: the first string literal on the line that
# matches pattern in file.
option_string() {
  local file=$1 pattern=$2 line
  line=$(grep -m1 -E "$pattern" "$file") || return 1
  sed -E 's/^[^"]*"([^"]*)".*$/\1/' <<<"$line"
}

# The option letters of a shell script: those of every getopts string in it.
getopts_letters() {
  grep -oE "getopts '[^']*'" "$1" | sed -E "s/^getopts '(.*)'$/\1/" | tr -d ':\n'
}

# shellcheck source=page_options.sh
. "$(dirname "$0")/page_options.sh"

letters_of() { tr -d ':' <<<"$1" | fold -w1 | sort -u; }

check_page() {
  local name=$1 options=$2 page=$pages/$1.1 out
  if [ ! -f "$page" ]; then
    fail "$name: no page $page"
    return
  fi

  out=$(groff -man -ww -z -Tutf8 "$page" 2>&1)
  [ -z "$out" ] || fail "$name: groff warns:"$'\n'"$out"
  if command -v mandoc >/dev/null; then
    out=$(mandoc -T lint -W warning "$page" 2>&1)
    [ -z "$out" ] || fail "$name: mandoc warns:"$'\n'"$out"
  fi

  grep -q "^\.TH $(tr a-z A-Z <<<"$name") 1 " "$page" || fail "$name: title is not '$name' in section 1"
  local section
  for section in NAME SYNOPSIS DESCRIPTION OUTPUT FILES "EXIT STATUS" EXAMPLES "SEE ALSO"; do
    grep -q "^\.SH \"\?$section\"\?\$" "$page" || fail "$name: no $section section"
  done

  local documented wanted
  documented=$(documented_options "$page")
  wanted=$(letters_of "$options")
  local missing extra
  missing=$(comm -23 <(echo "$wanted" | sed '/^$/d') <(echo "$documented" | sed '/^$/d'))
  extra=$(comm -13 <(echo "$wanted" | sed '/^$/d') <(echo "$documented" | sed '/^$/d'))
  [ -z "$missing" ] || fail "$name: options accepted but not documented: $(tr "\n" " " <<<"$missing")"
  [ -z "$extra" ] || fail "$name: options documented but not accepted: $(tr "\n" " " <<<"$extra")"
  # Each option also stands in the synopsis.
  local letter synopsis
  synopsis=$(awk '/^\.SH SYNOPSIS/ { s = 1; next } /^\.SH / { s = 0 } s' "$page")
  for letter in $wanted; do
    grep -qE -- "\\\\-$letter([^A-Za-z]|\$)" <<<"$synopsis" || fail "$name: -$letter is not in the synopsis"
  done
}

ifgextract_options=$(option_string "$src/ifgextract/extract.cc" 'getopt\(') ||
  fail "ifgextract: no getopt call found in its source"
tlmsynth_options=$(option_string "$src/tlmsynth/synth_options.cc" 'getopt\(') ||
  fail "tlmsynth: no getopt call found in its source"
tlm2nc_options=$(option_string "$src/archive/tlm2nc.cc" 'getopt\(') ||
  fail "tlm2nc: no getopt call found in its source"
# nc2tlm and det2nc share one command line: -h, -F and -o.
nc2tlm_options=$(option_string "$src/archive/archive_command_line.cc" 'getopt\(') ||
  fail "nc2tlm, det2nc: no getopt call found in archive/archive_command_line.cc"
det2nc_options=$nc2tlm_options
# hkdump and hkrawdump share one command line.
hkdump_options="hF:g:Xfspmvx"
# Their help text (the kHelp literal, a "\tX" line per option) lists the
# same options; their tests take the text itself from -h.
help_letters=$(awk '/kHelp\[\] =/ { inside = 1 } inside { print } inside && /;$/ { exit }' \
  "$src/hkdump/dump_options.cc" | sed -nE 's/^[^"]*"\\t([A-Za-z])[:\\ ].*$/\1/p' | sort -u)
[ "$help_letters" = "$(letters_of "$hkdump_options")" ] ||
  fail "hkdump: the help text lists $(tr '\n' ' ' <<<"$help_letters")but the options are $hkdump_options"

check_page ifgextract "$ifgextract_options"
check_page tlmsynth "$tlmsynth_options"
check_page detsynth "$(option_string "$src/detsynth/main.cc" 'getopt\(')"
check_page hkdump "$hkdump_options"
check_page hkrawdump "$hkdump_options"
check_page retrieve ""
check_page quicklook "$(getopts_letters "$src/quicklook/quicklook.sh")"
check_page tlmbatch "$(getopts_letters "$src/batch/tlmbatch.sh")"
check_page hkmonitor "$(option_string "$src/monitor/monitor_options.cc" 'kOptions\[\] =')"
check_page tlm2nc "$tlm2nc_options"
check_page nc2tlm "$nc2tlm_options"
check_page det2nc "$det2nc_options"

# Every page in the folder is one of the above.
for page in "$pages"/*.1; do
  case $(basename "$page" .1) in
    ifgextract | tlmsynth | detsynth | hkdump | hkrawdump | retrieve | quicklook | tlmbatch | hkmonitor) ;;
    tlm2nc | nc2tlm | det2nc) ;;
    *) fail "$(basename "$page"): a page that no check covers" ;;
  esac
done

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "manual pages: all checks passed"
