#!/usr/bin/env bash
# quicklook: turns what the ground tools write into PNG pictures.
#
#   quicklook ifg [-n INTERFEROGRAM] [-o FILE.png] [-k DIR] [FILE|-]
#       ifgextract output: the two detectors (or the carriage) of one
#       interferogram against sample index, lost lock and status changes
#       marked.  Default: the first interferogram of the input.
#   quicklook hk [-c COLUMN] [-o FILE.png] [-k DIR] [FILE|-]
#       hkdump or hkrawdump output: the group's values (or the one value
#       column COLUMN, counted from 1) against record number.
#   quicklook retrieve [-d DIR] [-o FILE.png] [-k DIR]
#       interferogram.dat and spectrum.dat of DIR (default .) as two panels.
#
# Text input comes from FILE, or from standard input when FILE is - or
# missing.  The picture is 1000x600 pixels; it goes to ifg.png, hk.png or
# retrieve.png unless -o names another file.  -k DIR keeps the gnuplot
# script (plot.gp) and the data it draws in DIR, to redraw it by hand.
# Exit status: 0 picture written, 1 the input is not what the picture wants
# (one line on standard error says why), 2 usage error or gnuplot missing
# or failing.
#
# This script takes the command line and the input and runs the rest: the
# awk programs that check the text and make the data (shapes.awk holds the
# tools' line shapes), and the gnuplot script of each picture.  They lie
# beside it in the source tree, under share/interferometer-ground/quicklook
# when installed.
set -euo pipefail

readonly WIDTH=1000 HEIGHT=600

usage() {
  cat >&2 <<'EOF'
usage: quicklook ifg [-n INTERFEROGRAM] [-o FILE.png] [-k DIR] [FILE|-]
       quicklook hk [-c COLUMN] [-o FILE.png] [-k DIR] [FILE|-]
       quicklook retrieve [-d DIR] [-o FILE.png] [-k DIR]
EOF
  exit 2
}

die() {
  echo "quicklook: $*" >&2
  exit 1
}

is_count() { [[ $1 =~ ^[0-9]+$ ]]; }

# Text for a gnuplot string in double quotes.
gp_quote() {
  local s=${1//\\/\\\\}
  s=${s//\"/\\\"}
  printf '"%s"' "$s"
}

# The folder of the awk programs and gnuplot scripts.
library_folder() {
  local here folder
  here=$(dirname "$(readlink -f "$0")")
  for folder in "$here" "$here/../share/interferometer-ground/quicklook"; do
    [ -f "$folder/shapes.awk" ] && { echo "$folder"; return; }
  done
  echo "quicklook: no shapes.awk beside $here or in $here/../share/interferometer-ground/quicklook" >&2
  exit 2
}

# Copies the text input (a file, or standard input for -) into the work
# folder, so that it can be read more than once, and names it in
# source_name; refuses an empty or binary input.
take_input() {
  local source=$1 copy=$2
  if [ "$source" = - ]; then
    source_name="standard input"
    cat >"$copy"
  else
    source_name=$source
    [ -r "$source" ] || die "$source: cannot read it"
    [ -f "$source" ] || [ -p "$source" ] || [ -c "$source" ] || die "$source: not a file"
    cat -- "$source" >"$copy"
  fi
  grep -q '[^[:space:]]' "$copy" || die "$source_name: input is empty"
  # Raw telemetry (or any other binary file) is not the tools' text.
  if LC_ALL=C grep -qa '[^[:print:][:space:]]' "$copy"; then
    die "$source_name: input is binary, not the text of a tool (raw telemetry goes through ifgextract or hkdump first)"
  fi
}

# Runs an awk program of the library on a file, with the line shapes
# loaded: prints the fields of its answer, or says why it refused (status 1).
check_text() {
  local name=$1 program=$2 reply status fields
  shift 2
  reply=$(awk -f "$library/shapes.awk" -f "$library/$program" "$@")
  IFS='|' read -r status fields <<<"$reply"
  [ "$status" = ok ] || { echo "quicklook: $name: $fields" >&2; return 1; }
  echo "$fields"
}

# The set terminal line: pngcairo when this gnuplot has it, png otherwise.
terminal_line() {
  if echo 'set terminal pngcairo' | gnuplot >/dev/null 2>&1; then
    echo "set terminal pngcairo size $WIDTH,$HEIGHT enhanced font 'sans,10'"
  else
    echo "set terminal png size $WIDTH,$HEIGHT"
  fi
}

# Draws the picture into $output with a gnuplot script of the library.
# plot.gp holds the terminal, the output, the values given as NAME=VALUE
# (gnuplot expressions) and the script, so that a kept copy redraws alone.
draw() {
  local script=$1 value log
  shift
  {
    terminal_line
    echo "set output $(gp_quote "$output")"
    for value in "$@"; do echo "${value%%=*} = ${value#*=}"; done
    cat "$library/$script"
  } >"$work/plot.gp"
  if ! log=$(gnuplot "$work/plot.gp" 2>&1); then
    echo "quicklook: gnuplot failed:" >&2
    echo "$log" >&2
    rm -f "$output"
    exit 2
  fi
  [ -s "$output" ] || { echo "quicklook: gnuplot wrote no picture to $output" >&2; exit 2; }
  if [ -n "$keep" ]; then
    mkdir -p "$keep"
    local f
    for f in "$work"/*; do
      [ "$(basename "$f")" = input ] && continue
      sed "s|$work/|$keep/|g" "$f" >"$keep/$(basename "$f")"
    done
  fi
}

plot_ifg() {
  local wanted="" opt
  output=ifg.png
  while getopts ':n:o:k:' opt; do
    case $opt in
      k) keep=$OPTARG ;;
      n) is_count "$OPTARG" || die "-n wants an interferogram number, not '$OPTARG'"; wanted=$OPTARG ;;
      o) output=$OPTARG ;;
      *) usage ;;
    esac
  done
  shift $((OPTIND - 1))
  [ $# -le 1 ] || usage
  take_input "${1:--}" "$work/input"

  local fields mode number samples lost_lock_at status_changed_at
  fields=$(check_text "$source_name" ifg.awk -v wanted="$wanted" -v data="$work/data" \
    -v notes="$work/notes" "$work/input") || exit 1
  IFS='|' read -r mode number samples lost_lock_at status_changed_at <<<"$fields"
  touch "$work/notes"
  draw ifg.gp "data=$(gp_quote "$work/data")" "source_name=$(gp_quote "$source_name")" \
    "interferogram=$number" "samples=$samples" "mode=$(gp_quote "$mode")" \
    "lost_lock_at=$(gp_quote "$lost_lock_at")" "status_changed_at=$(gp_quote "$status_changed_at")"
}

plot_hk() {
  local column=0 opt
  output=hk.png
  while getopts ':c:o:k:' opt; do
    case $opt in
      k) keep=$OPTARG ;;
      c) is_count "$OPTARG" && [ "$OPTARG" -ge 1 ] || die "-c wants a column number from 1, not '$OPTARG'"
         column=$OPTARG ;;
      o) output=$OPTARG ;;
      *) usage ;;
    esac
  done
  shift $((OPTIND - 1))
  [ $# -le 1 ] || usage
  take_input "${1:--}" "$work/input"

  local fields values kind first last lines
  fields=$(check_text "$source_name" hk.awk -F '\t' -v column="$column" -v data="$work/data" \
    "$work/input") || exit 1
  IFS='|' read -r values kind first last lines <<<"$fields"
  draw hk.gp "data=$(gp_quote "$work/data")" "source_name=$(gp_quote "$source_name")" \
    "kind=$(gp_quote "$kind")" "values=$values" "column=$column" \
    "first_record=$first" "last_record=$last" "lines=$lines"
}

plot_retrieve() {
  local dir=. opt
  output=retrieve.png
  while getopts ':d:o:k:' opt; do
    case $opt in
      k) keep=$OPTARG ;;
      d) dir=$OPTARG ;;
      o) output=$OPTARG ;;
      *) usage ;;
    esac
  done
  shift $((OPTIND - 1))
  [ $# -eq 0 ] || usage
  [ -d "$dir" ] || die "$dir: not a folder"

  local file ifg spectrum
  for file in interferogram.dat spectrum.dat; do
    [ -e "$dir/$file" ] || die "$dir/$file: no such file (run retrieve in that folder first)"
    [ -r "$dir/$file" ] || die "$dir/$file: cannot read it"
  done
  ifg=$(check_text "$dir/interferogram.dat" values.awk -v copy="$work/ifg" "$dir/interferogram.dat") || exit 1
  spectrum=$(check_text "$dir/spectrum.dat" values.awk -v copy="$work/spectrum" "$dir/spectrum.dat") || exit 1
  [ "$ifg" -gt 0 ] || [ "$spectrum" -gt 0 ] || die "$dir: interferogram.dat and spectrum.dat hold no values"
  draw retrieve.gp "ifg_data=$(gp_quote "$work/ifg")" "ifg_values=$ifg" \
    "spectrum_data=$(gp_quote "$work/spectrum")" "spectrum_values=$spectrum" "folder=$(gp_quote "$dir")"
}

[ $# -ge 1 ] || usage
picture=$1
shift
case $picture in
  ifg | hk | retrieve) ;;
  -h | --help) usage ;;
  *) echo "quicklook: unknown picture '$picture' (ifg, hk or retrieve)" >&2; usage ;;
esac
command -v gnuplot >/dev/null || { echo "quicklook: gnuplot is not installed (Debian package gnuplot-nox)" >&2; exit 2; }
library=$(library_folder)

keep="" output="" source_name=""
work=$(mktemp -d "${TMPDIR:-/tmp}/quicklook.XXXXXX")
trap 'rm -rf "$work"' EXIT

"plot_$picture" "$@"
