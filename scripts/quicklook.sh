#!/usr/bin/env bash
# quicklook: turns what the ground tools write into PNG pictures.
#
#   quicklook.sh ifg [-n INTERFEROGRAM] [-o FILE.png] [FILE|-]
#       ifgextract output: the two detectors (or the carriage) of one
#       interferogram against sample index, lost lock and status changes
#       marked.  Default: the first interferogram of the input.
#   quicklook.sh hk [-c COLUMN] [-o FILE.png] [FILE|-]
#       hkdump or hkrawdump output: the group's values (or the one value
#       column COLUMN, counted from 1) against record number.
#   quicklook.sh retrieve [-d DIR] [-o FILE.png]
#       interferogram.dat and spectrum.dat of DIR (default .) as two panels.
#
# Text input comes from FILE, or from standard input when FILE is - or
# missing.  The picture is 1000x600 pixels; it goes to ifg.png, hk.png or
# retrieve.png unless -o names another file.  -k DIR keeps the gnuplot
# script (plot.gp) and the data it draws in DIR, to redraw it by hand.  Exit status: 0 picture
# written, 1 the input is not what the mode expects (one line on standard
# error says why), 2 usage error or gnuplot missing or failing.
set -euo pipefail

readonly WIDTH=1000 HEIGHT=600

usage() {
  cat >&2 <<'EOF'
usage: quicklook.sh ifg [-n INTERFEROGRAM] [-o FILE.png] [-k DIR] [FILE|-]
       quicklook.sh hk [-c COLUMN] [-o FILE.png] [-k DIR] [FILE|-]
       quicklook.sh retrieve [-d DIR] [-o FILE.png] [-k DIR]
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

# The set terminal line: pngcairo when this gnuplot has it, png otherwise.
terminal_line() {
  if echo 'set terminal pngcairo' | gnuplot >/dev/null 2>&1; then
    echo "set terminal pngcairo size $WIDTH,$HEIGHT enhanced font 'sans,10'"
  else
    echo "set terminal png size $WIDTH,$HEIGHT"
  fi
}

run_gnuplot() {
  local script=$1 output=$2 log
  if ! log=$(gnuplot "$script" 2>&1); then
    echo "quicklook: gnuplot failed:" >&2
    echo "$log" >&2
    rm -f "$output"
    exit 2
  fi
  [ -s "$output" ] || { echo "quicklook: gnuplot wrote no picture to $output" >&2; exit 2; }
  if [ -n "$keep" ]; then
    # The gnuplot script and its data, for drawing the picture again by hand.
    mkdir -p "$keep"
    local f
    for f in "$work"/*; do
      [ "$(basename "$f")" = input ] && continue
      sed "s|$work/|$keep/|g" "$f" >"$keep/$(basename "$f")"
    done
  fi
}

# Copies the text input (a file or standard input) into the work folder, so
# that it can be read more than once; refuses an empty input.
take_input() {
  local source=$1 copy=$2
  if [ "$source" = - ]; then
    cat >"$copy"
    source="standard input"
  else
    [ -r "$source" ] || die "$source: cannot read it"
    [ -f "$source" ] || [ -p "$source" ] || [ -c "$source" ] || die "$source: not a file"
    cat -- "$source" >"$copy"
  fi
  grep -q '[^[:space:]]' "$copy" || die "$source: input is empty"
  # Raw telemetry (or any other binary file) is not the tools' text.
  if LC_ALL=C grep -qa '[^[:print:][:space:]]' "$copy"; then
    die "$source: input is binary, not the text of a tool (raw telemetry goes through ifgextract or hkdump first)"
  fi
}

# ---- ifgextract ------------------------------------------------------------

plot_ifg() {
  local wanted="" output=ifg.png opt
  OPTIND=1
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
  local source=${1:--} name=${1:-standard input}
  [ "$name" = - ] && name="standard input"
  take_input "$source" "$work/input"

  # One pass: checks every line, picks the interferogram, writes its samples
  # (index, values) and its notices (index, kind), and prints a summary.
  local summary
  summary=$(awk -v wanted="$wanted" -v data="$work/data" -v notes="$work/notes" '
    function refuse(why) { print "refused\t" why; refused = 1; exit 0 }
    /^[[:space:]]*$/ { next }
    /^[0-9]+$/ { next }                                   # record number line
    /^#lost lock$/ || /^#status changed$/ { pending[npending++] = substr($0, 2); next }
    /^ *-?[0-9]+ [0-2] +[0-9]+ (0|20)( +-?[0-9]+)( +-?[0-9]+)?$/ {
      if (fields == 0) fields = NF
      else if (NF != fields) refuse("line " NR " has " NF " fields where earlier sample lines have " fields)
      number = $3 + 0
      if (!(number in seen)) { seen[number] = 1; order[nseen++] = number }
      if (chosen == "") chosen = (wanted == "") ? number : wanted + 0
      if (number == chosen) {
        for (i = 0; i < npending; i++) print n + 0 "\t" pending[i] > notes
        npending = 0
        if (NF == 6) print n + 0 "\t" $5 "\t" $6 > data
        else print n + 0 "\t" $5 > data
        n++
      } else {
        npending = 0
      }
      samples++
      next
    }
    { refuse("line " NR " is not ifgextract output: " substr($0, 1, 60)) }
    END {
      if (refused) exit 0
      if (samples == 0) refuse("input has no ifgextract sample lines")
      if (n == 0) {
        list = ""
        for (i = 0; i < nseen && i < 12; i++) list = list (i ? " " : "") order[i]
        if (nseen > 12) list = list " ..."
        refuse("interferogram " chosen " is not in the input (it holds " list ")")
      }
      print "ok\t" (fields == 6 ? "detectors" : "carriage") "\t" chosen "\t" n
    }' "$work/input")
  local status mode number count
  IFS=$'\t' read -r status mode number count <<<"$summary"
  [ "$status" = ok ] || die "$name: $mode"
  touch "$work/notes"

  {
    terminal_line
    echo "set output $(gp_quote "$output")"
    echo "set datafile separator '\t'"
    echo "set key outside top center horizontal"
    echo "set grid"
    echo "set autoscale xfix"
    echo "set xlabel 'sample index'"
    if [ "$mode" = detectors ]; then
      echo "set title $(gp_quote "Interferogram $number, two detectors, $count samples ($name)") noenhanced"
      echo "set ylabel 'gain-normalised value'"
    else
      echo "set title $(gp_quote "Interferogram $number, carriage, $count samples ($name)") noenhanced"
      echo "set ylabel 'carriage position'"
      echo "set yrange [0:4095]"
    fi
    # The notices: a vertical line at the sample index where each stands.
    awk -F '\t' '{
        colour = ($2 == "lost lock") ? "#c00000" : "#008000"
        printf "set arrow from %d, graph 0 to %d, graph 1 nohead lc rgb \"%s\" dt 2 lw 1.5\n", $1, $1, colour
        printf "set label \"%s\" at %d, graph 0.98 right rotate by 90 offset -1.2,0 front tc rgb \"%s\" font \",8\"\n", $2, $1, colour
      }' "$work/notes"
    local plots
    if [ "$mode" = detectors ]; then
      plots="'$work/data' using 1:2 with lines lw 1 lc rgb '#1f4e9c' title 'detector 1',"
      plots+=" '' using 1:3 with lines lw 1 lc rgb '#e07000' title 'detector 2'"
    else
      plots="'$work/data' using 1:2 with lines lw 1 lc rgb '#1f4e9c' title 'carriage'"
    fi
    grep -q 'lost lock' "$work/notes" && plots+=", NaN with lines dt 2 lc rgb '#c00000' title 'lost lock'"
    grep -q 'status changed' "$work/notes" && plots+=", NaN with lines dt 2 lc rgb '#008000' title 'status changed'"
    echo "plot $plots"
  } >"$work/plot.gp"
  run_gnuplot "$work/plot.gp" "$output"
}

# ---- hkdump / hkrawdump ----------------------------------------------------

plot_hk() {
  local column=0 output=hk.png opt
  OPTIND=1
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
  local source=${1:--} name=${1:-standard input}
  [ "$name" = - ] && name="standard input"
  take_input "$source" "$work/input"

  # Every data line: the prefix (hex word, record, subframe, tab), then for
  # hkdump's groups the interferogram number and time (two tab fields), then
  # the values; hkrawdump's values are hexadecimal words and its mask
  # temperature group adds "ait affset" lines, which are passed over.
  local summary
  summary=$(awk -F '\t' -v column="$column" -v data="$work/data" '
    function refuse(why) { print "refused\t" why; refused = 1; exit 0 }
    function hex(s,    v, i) {
      v = 0
      for (i = 1; i <= length(s); i++) v = v * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1
      return v
    }
    /^[[:space:]]*$/ { next }
    /^ait affset -?[0-9]+$/ { raw = 1; next }
    $1 !~ /^[0-9a-f]+ +[0-9]+ [0-2]$/ || (NF != 2 && NF != 4) {
      refuse("line " NR " is not hkdump or hkrawdump output: " substr($0, 1, 60))
    }
    {
      split($1, prefix, / +/)
      values = $NF
      if (gsub(/\|/, " ", values)) framed = 1              # the mask temperature frame
      nv = split(values, v, / +/)
      k = 0
      for (i = 1; i <= nv; i++) if (v[i] != "") value[++k] = v[i]
      if (k == 0) refuse("line " NR " holds no values")
      if (count == 0) { count = k; form = NF }
      else if (k != count || NF != form) refuse("line " NR " holds another group than the lines before it")
      for (i = 1; i <= k; i++) {
        if (value[i] ~ /[a-f]/) letters = 1
        if (value[i] !~ /^(-?[0-9]+|[0-9a-f]+)$/) refuse("line " NR ": \"" value[i] "\" is not a value")
      }
      if (column > k) refuse("column " column " asked for, but the lines hold " k " values")
      line = prefix[2] + prefix[3] / 3
      for (i = 1; i <= k; i++) line = line "\t" value[i]
      lines[++n] = line
      if (n == 1) first = prefix[2]
      last = prefix[2]
    }
    END {
      if (refused) exit 0
      if (n == 0) refuse("input has no hkdump or hkrawdump lines")
      # Hexadecimal: hkrawdump lines (several words, or ait affset lines),
      # or a generic word with letters in it.
      ashex = (form == 2 && (count > 1 || raw || letters))
      for (j = 1; j <= n; j++) {
        if (ashex) {
          m = split(lines[j], f, "\t")
          out = f[1]
          for (i = 2; i <= m; i++) out = out "\t" hex(f[i])
          print out > data
        } else {
          print lines[j] > data
        }
      }
      kind = form == 4 ? (framed ? "hkdump mask temperature" : "hkdump") : ashex ? "raw words" : "generic channel"
      print "ok\t" count "\t" kind "\t" first "\t" last "\t" n
    }' "$work/input")
  local status count kind first last lines
  IFS=$'\t' read -r status count kind first last lines <<<"$summary"
  [ "$status" = ok ] || die "$name: $count"

  {
    terminal_line
    echo "set output $(gp_quote "$output")"
    echo "set datafile separator '\t'"
    echo "set key outside right top vertical"
    echo "set grid"
    echo "set xlabel 'record number (subframes at thirds)'"
    echo "set ylabel $(gp_quote "$([[ $kind = hkdump* ]] && echo 'engineering value' || echo 'word value')")"
    local what="all $count values"
    [ "$column" -ne 0 ] && what="value $column of $count"
    echo "set title $(gp_quote "Housekeeping ($kind), $what, records $first to $last, $lines lines ($name)") noenhanced"
    # The mask temperature frame names its channels; other groups are told
    # apart by the option given to hkdump, which the text does not show.
    local names=()
    [ "$kind" = "hkdump mask temperature" ] && names=("ch 8" "ch 9" "ch 19" "ch 4" "ch 5" "ch 6" "ch 7" "ch 53 flag")
    local plots="" i from=1 to=$count
    [ "$column" -ne 0 ] && from=$column to=$column
    for ((i = from; i <= to; i++)); do
      plots+="${plots:+, }'$work/data' using 1:$((i + 1)) with linespoints pt 7 ps 0.4 title '${names[i - 1]:-value $i}'"
    done
    echo "plot $plots"
  } >"$work/plot.gp"
  run_gnuplot "$work/plot.gp" "$output"
}

# ---- retrieve --------------------------------------------------------------

# Checks one value file of retrieve and copies it with E exponents; prints
# its number of values.
take_values() {
  local file=$1 copy=$2
  [ -e "$file" ] || die "$file: no such file (run retrieve in that folder first)"
  [ -r "$file" ] || die "$file: cannot read it"
  awk -v copy="$copy" -v name="$file" '
    /^[ \t]*$/ { next }
    {
      value = $0
      gsub(/^[ \t]+|[ \t\r]+$/, "", value)
      if (value !~ /^[-+]?([0-9]+\.?[0-9]*|\.[0-9]+)([eEdD][-+]?[0-9]+)?$/) {
        print "line " NR " is not a number: " substr(value, 1, 40); bad = 1; exit 0
      }
      gsub(/[dD]/, "e", value)
      print n + 0 "\t" value > copy
      n++
    }
    END { if (!bad) print n + 0 }' "$file"
}

plot_retrieve() {
  local dir=. output=retrieve.png opt
  OPTIND=1
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

  local ifg spectrum
  ifg=$(take_values "$dir/interferogram.dat" "$work/ifg") || exit 1
  is_count "$ifg" || die "$dir/interferogram.dat: $ifg"
  spectrum=$(take_values "$dir/spectrum.dat" "$work/spectrum") || exit 1
  is_count "$spectrum" || die "$dir/spectrum.dat: $spectrum"
  [ "$ifg" -gt 0 ] || [ "$spectrum" -gt 0 ] || die "$dir: interferogram.dat and spectrum.dat hold no values"

  panel() {
    local file=$1 count=$2 title=$3 xlabel=$4 ylabel=$5 colour=$6
    echo "set title $(gp_quote "$title ($count values)") noenhanced"
    echo "set xlabel $(gp_quote "$xlabel")"
    echo "set ylabel $(gp_quote "$ylabel")"
    if [ "$count" -gt 0 ]; then
      echo "plot '$file' using 1:2 with lines lw 1 lc rgb '$colour' title $(gp_quote "$title")"
    else
      echo "set label 1 'no values' at graph 0.5, graph 0.5 center"
      echo "set xrange [0:1]"
      echo "set yrange [0:1]"
      echo "plot NaN title $(gp_quote "$title")"
      echo "unset label 1"
      echo "set autoscale"
    fi
  }
  {
    terminal_line
    echo "set output $(gp_quote "$output")"
    echo "set datafile separator '\t'"
    echo "set grid"
    echo "set autoscale xfix"
    echo "set key top right"
    echo "set multiplot layout 2,1 title $(gp_quote "Retrieved interferogram and spectrum ($dir)") noenhanced"
    panel "$work/ifg" "$ifg" interferogram "sample index" "value" '#1f4e9c'
    panel "$work/spectrum" "$spectrum" spectrum "spectral point" "value" '#e07000'
    echo "unset multiplot"
  } >"$work/plot.gp"
  run_gnuplot "$work/plot.gp" "$output"
}

# ---- main ------------------------------------------------------------------

[ $# -ge 1 ] || usage
mode=$1
shift
case $mode in
  ifg | hk | retrieve) ;;
  -h | --help) usage ;;
  *) echo "quicklook: unknown picture '$mode' (ifg, hk or retrieve)" >&2; usage ;;
esac
command -v gnuplot >/dev/null || { echo "quicklook: gnuplot is not installed (Debian package gnuplot-nox)" >&2; exit 2; }

keep=""
work=$(mktemp -d "${TMPDIR:-/tmp}/quicklook.XXXXXX")
trap 'rm -rf "$work"' EXIT

case $mode in
  ifg) plot_ifg "$@" ;;
  hk) plot_hk "$@" ;;
  retrieve) plot_retrieve "$@" ;;
esac
