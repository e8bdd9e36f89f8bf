#!/usr/bin/env bash
# quicklook: turns what the ground tools write into PNG pictures.
#
#   quicklook ifg [-n INTERFEROGRAM] [-o FILE.png] [-k DIR] [FILE|-]
#       ifgextract output: the two detectors (or the carriage) of one
#       interferogram against sample index, lost lock and status changes
#       marked.  Default: the first interferogram of the input.
#   quicklook hk [-c COLUMN] [-X] [-D DICTIONARY -g GROUP] [-o FILE.png] [-k DIR] [FILE|-]...
#       hkdump or hkrawdump output: the group's values (or the one value
#       column COLUMN, counted from 1) against record number; several
#       files make one trend, each file's start marked.  -X: the generic
#       word was written in hexadecimal (hkdump -X, hkrawdump -X).  With a
#       channel dictionary and the group the lines hold (hkdump's option
#       letter, or 12:N or 4:N for generic channel N as hkdump or
#       hkrawdump read it from column 12 or 4), the curves are the values the
#       dictionary names, calibrated, labelled with name and units (the
#       dictionary read by hkmonitor -l: beside quicklook, on PATH, or
#       named by $HKMONITOR).
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
       quicklook hk [-c COLUMN] [-X] [-D DICTIONARY -g GROUP] [-o FILE.png] [-k DIR] [FILE|-]...
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
  [ "$status" = ok ] || { echo "quicklook: ${name:+$name: }$fields" >&2; return 1; }
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
      case $(basename "$f") in input | input.*) continue ;; esac
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

# The hkmonitor that lists dictionaries: $HKMONITOR, the one beside
# quicklook, or the one on PATH.
monitor_program() {
  local candidate
  for candidate in "${HKMONITOR:-}" "$(dirname "$(readlink -f "$0")")/hkmonitor" \
    "$(command -v hkmonitor || true)"; do
    [ -n "$candidate" ] && [ -x "$candidate" ] && { echo "$candidate"; return; }
  done
  echo "quicklook: -D needs hkmonitor to read the dictionary: not found beside quicklook or on PATH (or set HKMONITOR)" >&2
  exit 2
}

# The labels and calibrations of the values on hk lines from a dictionary:
# sets names (one gnuplot word per value, "name (units)") and calibration
# (an expression in i, the value, and x, its count).  The dictionary's
# entries for the group in the column of the text are found by their place
# on the line: after hkdump's time prefix, or first on hkrawdump's.  A
# group's column follows from the lines (hkrawdump's words or hkdump's
# values); a generic channel's is given with it (-g 12:N or 4:N), as one
# word on a line does not tell which program wrote it.
dictionary_labels() {
  local dictionary=$1 group=$2 kind=$3 values=$4 listing m column number="" first=4
  m=$(monitor_program) || exit 2
  listing=$("$m" -D "$dictionary" -l) || exit 1
  column=12
  [ "$kind" = "raw words" ] && { column=4; first=0; }
  case $group in
    f) group=fast_sap ;; s) group=slow_sap ;; p) group=pressure ;; m) group=mask_temperature ;;
    v) group=voltage_monitors ;; x) group=auxiliary_detector ;;
    *) column=${group%%:*} number=${group#*:} group=generic first=0
       [ "$values" -eq 1 ] || die "-g $column:$number names one generic channel, but the lines hold $values values" ;;
  esac
  local labels
  labels=$(awk -F '\t' -v column="$column" -v group="$group" -v number="$number" -v first="$first" \
    -v values="$values" '
      !/^#/ && $3 == column && $4 == group && (number == "" || $5 == number) {
        i = $7 - first + 1
        if (i >= 1 && i <= values) { label[i] = $1 " (" $2 ")"; formula[i] = $8 }
      }
      END {
        names = ""; calibration = "x"
        for (i = values; i >= 1; i--) {
          if (!(i in label)) label[i] = "value " i
          gsub(/"/, "", label[i])
          names = "\"" label[i] "\"" (i < values ? " " : "") names
          if (i in formula) calibration = "i == " i " ? (" formula[i] ") : " calibration
        }
        print names; print calibration
      }' <<<"$listing")
  names=$(sed -n 1p <<<"$labels")
  calibration=$(sed -n 2p <<<"$labels")
}

plot_hk() {
  local column=0 dictionary="" group="" hexwords=0 opt
  output=hk.png
  while getopts ':c:D:g:o:k:X' opt; do
    case $opt in
      k) keep=$OPTARG ;;
      c) is_count "$OPTARG" && [ "$OPTARG" -ge 1 ] || die "-c wants a column number from 1, not '$OPTARG'"
         column=$OPTARG ;;
      D) dictionary=$OPTARG ;;
      g) [[ $OPTARG =~ ^-?[0-9]+$ ]] &&
           die "-g $OPTARG: say which column generic channel $OPTARG was read from: -g 12:$OPTARG (hkdump) or -g 4:$OPTARG (hkrawdump)"
         [[ $OPTARG =~ ^([fspmvx]|(12|4):-?[0-9]+)$ ]] ||
           die "-g wants a group letter (f s p m v x) or COLUMN:CHANNEL (12:N or 4:N), not '$OPTARG'"
         group=$OPTARG ;;
      X) hexwords=1 ;;
      o) output=$OPTARG ;;
      *) usage ;;
    esac
  done
  shift $((OPTIND - 1))
  { [ -n "$dictionary" ] && [ -z "$group" ]; } && die "-D wants -g: the group the lines hold"
  { [ -z "$dictionary" ] && [ -n "$group" ]; } && die "-g goes with -D"
  [ $# -ge 1 ] || set -- -
  # Each file copied and checked; the names for the title and messages.
  local source names_list="" file=0 inputs=()
  for source in "$@"; do
    file=$((file + 1))
    take_input "$source" "$work/input.$file"
    inputs+=("$work/input.$file")
    names_list+="${names_list:+$'\n'}$source_name"
  done
  [ $file -eq 1 ] || source_name=$(paste -sd, <<<"$names_list" | sed 's/,/, /g')

  local fields values kind first last lines files name_for_messages=$source_name
  [ $file -eq 1 ] || name_for_messages=""
  fields=$(check_text "$name_for_messages" hk.awk -F '\t' -v column="$column" -v hexwords="$hexwords" -v data="$work/data" \
    -v starts="$work/starts" -v names="$names_list" "${inputs[@]}") || exit 1
  IFS='|' read -r values kind first last lines files <<<"$fields"

  # Each file after the first starts at a dashed line, named at the top.
  local boundaries="" x number
  while IFS=$'\t' read -r x number; do
    [ "$number" -gt 1 ] || continue
    boundaries+="set arrow from $x - 1.0/6, graph 0 to $x - 1.0/6, graph 1 nohead dt 2 lc rgb 'gray40'; "
    boundaries+="set label $(gp_quote "$(sed -n "${number}p" <<<"$names_list")") at $x, graph 0.98 left font ',8' noenhanced; "
  done <"$work/starts"

  local names="" calibration="x"
  [ -z "$dictionary" ] || dictionary_labels "$dictionary" "$group" "$kind" "$values"
  draw hk.gp "data=$(gp_quote "$work/data")" "source_name=$(gp_quote "$source_name")" \
    "kind=$(gp_quote "$kind")" "values=$values" "column=$column" \
    "first_record=$first" "last_record=$last" "lines=$lines" "files=$files" \
    "names=$(gp_quote "$names")" "calibration=$(gp_quote "$calibration")" \
    "boundaries=$(gp_quote "$boundaries")"
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
