#!/usr/bin/env bash
# tlmbatch: runs one of the raw-data tools (ifgextract, hkdump, hkrawdump)
# or of the archive programs (tlm2nc, det2nc) over many files through GNU
# parallel, on this machine or spread over several, each file's text or
# product into an output file of its own.
#
#   tlmbatch [-rt] [-j JOBS] [-o DIR] [-s SUFFIX] [-l JOBLOG] [-S LOGINFILE]
#            [-a LIST] TOOL [TOOL-OPTION... --] [FILE...]
#
# An output file is never left looking complete when it is not: the tool
# writes NAME.partial, which becomes NAME when the tool ends well (status
# 0) and NAME.failed when it does not; a job stopped midway removes it.
# So NAME is there only when it is complete, and a run with -r skips the
# files whose NAME is there already.  The summary at the end lists the
# files that ended badly with the tool's status and end message.  Exit
# status: 0 every file ended well, 1 some ended badly, 2 usage or setup
# error (nothing run), 3 some files were not run; stopped by a signal,
# tlmbatch ends by that signal after its summary.
set -uo pipefail

# The tools that tlmbatch runs, one a line: the name; its options as a
# getopt string (a letter followed by : takes a value), less -F, which
# tlmbatch gives with each file, -h, and -o of a program that writes a
# product; how its end message starts when the input ends inside a record
# (for -t; an archive program makes a whole product of such a file); and,
# for a program that writes a product of its own rather than text on
# standard output, the suffix of its products.
tool_table='
ifgextract|c|Byte mismatch reading|
hkdump|Xfspmvxg:|Mismatch data|
hkrawdump|Xfspmvxg:|Mismatch data|
tlm2nc|d:z:D:||.nc
det2nc|||.nc
'
tool_names=$(awk -F '|' 'NF { printf "%s%s", n++ ? ", " : "", $1 }' <<<"$tool_table")

usage() {
  cat <<EOF
usage: tlmbatch [-rt] [-j JOBS] [-o DIR] [-s SUFFIX] [-l JOBLOG] [-S LOGINFILE]
                [-a LIST] TOOL [TOOL-OPTION... --] [FILE...]
  TOOL: one of $tool_names, by name (from PATH) or path;
  its options stand before --, the input files after it or in LIST.
  -r            resume: skip the files whose complete output is there already
  -t            a file that ends inside a record (cut short) ends well: its
                output holds every whole record
  -j JOBS       jobs at once on each machine (default: one per core)
  -o DIR        outputs into DIR (default: beside each input)
  -s SUFFIX     output name: input name + SUFFIX (default: .TOOL-OPTIONS.txt,
                .nc for tlm2nc and det2nc)
  -l JOBLOG     GNU parallel's job log, added to (default: tlmbatch.joblog in DIR or .)
  -S LOGINFILE  spread the files over the machines of a GNU parallel login file
  -a LIST       input file names, one per line (- for standard input)
EOF
}

fail() {
  echo "tlmbatch: $*" >&2
  exit 2
}

# One file, run as a job of GNU parallel, here or on another machine, so it
# uses nothing but its arguments: SEQUENCE FOLDER CUT PRODUCT TOOL
# [OPTION...] INPUT OUTPUT, the names taken from FOLDER (where tlmbatch was
# started); CUT, when not empty, is how the tool's end message starts for an
# input that ends inside a record, which then ends well; PRODUCT, when not
# empty, says that the tool writes the file named with -o (whole or not at
# all) instead of standard output.  Prints one result line,
# "sequence <TAB> status <TAB> cut <TAB> end message" (the last line the
# tool wrote on standard error; cut is 1 for a file cut short that ended
# well, else 0), and ends with the tool's status (0 for a file cut short
# that ended well, 1 when the output cannot be written).
tlmbatch_job() {
  local seq=$1 folder=$2 cut=$3 product=$4 tool=$5 input=${*: -2:1} output=${*: -1}
  local -a options=("${@:6:$#-7}")
  local partial=$output.partial message status was_cut=0
  trap 'rm -f -- "$partial"; exit 143' TERM
  trap 'rm -f -- "$partial"; exit 130' INT
  if ! cd -- "$folder" 2>/dev/null; then
    message="cannot enter $folder"
    status=1
  elif ! message=$( (: >"$partial") 2>&1); then
    message="cannot write $partial: ${message##*: }"
    status=1
  else
    if [ -n "$product" ]; then
      message=$("$tool" "${options[@]}" -F "$input" -o "$partial" 2>&1 >/dev/null)
    else
      message=$("$tool" "${options[@]}" -F "$input" 2>&1 >"$partial")
    fi
    status=$?
    message=${message##*$'\n'}
    if [ "$status" -ne 0 ] && [ -n "$cut" ] && [[ $message == "$cut at record "* ]]; then
      status=0 was_cut=1
    fi
    # A whole output reaches the disk before it takes its name, so that a
    # run resumed after a machine went down does not pass over an output
    # whose name outlived its data.  (The products are written through by
    # the programs themselves.)
    if [ "$status" -eq 0 ] && [ -z "$product" ] && ! sync -- "$partial" 2>/dev/null; then
      message="cannot write $partial to the disk"
      status=1
    fi
    local target=$output
    [ "$status" -eq 0 ] || target=$output.failed
    if [ -n "$product" ] && [ "$status" -ne 0 ]; then
      rm -f -- "$partial"  # the program made no product: nothing to keep
    elif ! mv -f -- "$partial" "$target" 2>/dev/null; then
      rm -f -- "$partial"
      message="cannot rename $partial to $target"
      [ "$status" -ne 0 ] || status=1
    fi
    # A complete output supersedes the failed one of an earlier run.
    [ "$status" -ne 0 ] || rm -f -- "$output.failed"
  fi
  message=${message##*$'\n'}
  printf '%s\t%s\t%s\t%s\n' "$seq" "$status" "$was_cut" "${message//$'\t'/ }"
  return "$status"
}

jobs="" outdir="" suffix="" joblog="" loginfile="" list="" resume="" accept_cut=""
while getopts ':j:o:s:l:S:a:rth' opt; do
  case $opt in
    r) resume=yes ;;
    t) accept_cut=yes ;;
    j) jobs=$OPTARG ;;
    o) outdir=$OPTARG ;;
    s) suffix=$OPTARG ;;
    l) joblog=$OPTARG ;;
    S) loginfile=$OPTARG ;;
    a) list=$OPTARG ;;
    h) usage; exit 0 ;;
    :) fail "-$OPTARG wants a value (tlmbatch -h shows the usage)" ;;
    *) fail "unknown option -$OPTARG (tlmbatch -h shows the usage)" ;;
  esac
done
shift $((OPTIND - 1))
[ $# -ge 1 ] || { usage >&2; exit 2; }

tool=$1
shift
tool_name=$(basename -- "$tool")
tool_row=$(awk -F '|' -v name="$tool_name" '$1 == name' <<<"$tool_table")
[ -n "$tool_row" ] || fail "'$tool' is not one of the tools tlmbatch runs ($tool_names)"
IFS='|' read -r _ tool_options cut_message product_suffix <<<"$tool_row"
if [[ $tool = */* ]]; then
  [[ $tool = /* ]] || tool=$PWD/$tool
  [ -x "$tool" ] || fail "$tool: not an executable program"
else
  command -v "$tool" >/dev/null || fail "$tool: not found on PATH"
fi

# The tool's options stand before --; without --, every word is a file.
options=() inputs=()
if printf '%s\n' "$@" | grep -qx -- '--'; then
  while [ "$1" != -- ]; do options+=("$1"); shift; done
  shift
fi
inputs=("$@")
# The options as the tool's getopt reads them, checked against its own
# option set: a tool may pass over an option it does not know and go on,
# and every file would seem to end well.
OPTIND=1
while [ ${#options[@]} -gt 0 ] && getopts ":${tool_options}Fh${product_suffix:+o}" opt "${options[@]}"; do
  case $opt in
    F | h) fail "-$opt: tlmbatch gives the tool its -F file itself; -h is not for a run" ;;
    o) fail "-o: tlmbatch names each product itself (see -o and -s)" ;;
    :) fail "-$OPTARG: $tool_name's option wants a value" ;;
    \?) fail "-$OPTARG: not an option of $tool_name" ;;
  esac
done
[ "$OPTIND" -gt ${#options[@]} ] ||
  fail "${options[OPTIND - 1]}: not an option of $tool_name (its options go before --, the files after it)"
if [ ${#options[@]} -eq 0 ]; then
  for word in "${inputs[@]}"; do
    [[ $word != -* ]] || fail "$word: the tool's options go before -- and the files after it"
  done
fi
if [ -n "$list" ]; then
  [ "$list" = - ] || [ -r "$list" ] || fail "$list: cannot read the list of files"
  mapfile -t listed < <(cat -- "$list" | sed '/^$/d')
  inputs+=("${listed[@]}")
fi
[ ${#inputs[@]} -gt 0 ] || fail "no input files given"

work=$(mktemp -d "${TMPDIR:-/tmp}/tlmbatch.XXXXXX") || fail "cannot make a temporary folder"
trap 'rm -rf "$work"' EXIT

# The options are tried once on an empty input, so that a wrong one stops
# the run before it starts rather than fails every file.
check_output=()
[ -z "$product_suffix" ] || check_output=(-o "$work/check$product_suffix")
if ! check=$("$tool" "${options[@]}" -F /dev/null "${check_output[@]}" 2>&1 >/dev/null); then
  fail "$tool_name${options[*]+ ${options[*]}} does not run:"$'\n'"$check"
fi

if [ -z "$suffix" ]; then
  suffix=${product_suffix:-.$tool_name$(printf '%s' "${options[@]}" | tr -c 'A-Za-z0-9_.+-' _).txt}
fi
[[ $suffix != */* ]] || fail "-s $suffix: a suffix holds no /"
if [ -n "$outdir" ]; then
  mkdir -p -- "$outdir" 2>/dev/null && [ -w "$outdir" ] || fail "$outdir: cannot write into that folder"
fi
joblog=${joblog:-${outdir:+$outdir/}tlmbatch.joblog}
[[ $joblog != +* ]] || joblog=./$joblog  # a leading + would tell GNU parallel to add to the log

# Every output name; two files that would write one output stop the run.
outputs=()
for input in "${inputs[@]}"; do
  if [ -n "$outdir" ]; then outputs+=("$outdir/${input##*/}$suffix"); else outputs+=("$input$suffix"); fi
done
declare -A writer
mapfile -d '' -t resolved < <(printf '%s\0' "${outputs[@]}" | xargs -0 realpath -m -z --)
for i in "${!outputs[@]}"; do
  earlier=${writer[${resolved[i]}]:-}
  [ -z "$earlier" ] || fail "${inputs[earlier]} and ${inputs[i]} would both be written to ${outputs[i]}"
  writer[${resolved[i]}]=$i
done

# The files to run: all, or with -r those without a complete output.
todo=()
for i in "${!inputs[@]}"; do
  [ -n "$resume" ] && [ -e "${outputs[i]}" ] || todo+=("$i")
done

: >"$work/inputs"
: >"$work/outputs"
for i in "${todo[@]}"; do
  printf '%s\0' "${inputs[i]}" >>"$work/inputs"
  printf '%s\0' "${outputs[i]}" >>"$work/outputs"
done

# --will-cite: the citation notice would stop the first run on a terminal.
# The job log of an earlier run is added to (GNU parallel's +), so that a
# run resumed with -r keeps the record of the first.
args=(--will-cite --null --joblog "$([ ! -s "$joblog" ] || echo +)$joblog")
[ -z "$jobs" ] || args+=(-j "$jobs")
[ -z "$loginfile" ] || args+=(--sshloginfile "$loginfile" --env tlmbatch_job)
[ ! -t 2 ] || args+=(--bar)
cut=""
[ -z "$accept_cut" ] || cut=$cut_message
command=(tlmbatch_job '{#}' "$(printf '%q' "$PWD")" "$(printf '%q' "$cut")"
  "$(printf '%q' "${product_suffix:+yes}")" "$(printf '%q' "$tool")")
for word in "${options[@]}"; do command+=("$(printf '%q' "$word")"); done
command+=('{1}' '{2}')
export -f tlmbatch_job

# A signal is passed on to GNU parallel, which stops the running jobs (INT,
# TERM) or lets them finish (HUP) and starts no more; the summary follows.
stopped_by=""
for signal in INT TERM HUP; do
  trap "stopped_by=$signal; kill -$signal \$parallel_pid 2>/dev/null" "$signal"
done
parallel "${args[@]}" "${command[@]}" :::: "$work/inputs" ::::+ "$work/outputs" >"$work/results" &
parallel_pid=$!
while ! wait "$parallel_pid" && kill -0 "$parallel_pid" 2>/dev/null; do :; done

declare -A status_of cut_of message_of
while IFS=$'\t' read -r seq status was_cut message; do
  status_of[$seq]=$status
  cut_of[$seq]=$was_cut
  message_of[$seq]=$message
done <"$work/results"

bad=0 cut_short=0 not_done=0 report=()
for seq in "${!todo[@]}"; do
  i=${todo[seq]}
  seq=$((seq + 1))
  if [ -z "${status_of[$seq]:-}" ]; then
    not_done=$((not_done + 1))
    report+=("${inputs[i]}: not run")
  elif [ "${status_of[$seq]}" -ne 0 ]; then
    bad=$((bad + 1))
    kept="output kept as ${outputs[i]}.failed"
    [ -e "${outputs[i]}.failed" ] || kept="no output"
    report+=("${inputs[i]}: status ${status_of[$seq]}: ${message_of[$seq]} ($kept)")
  elif [ "${cut_of[$seq]}" -eq 1 ]; then
    cut_short=$((cut_short + 1))
    report+=("${inputs[i]}: cut short: ${message_of[$seq]} (every whole record in ${outputs[i]})")
  fi
done
skipped=$((${#inputs[@]} - ${#todo[@]}))
line="tlmbatch: ${#inputs[@]} files, $((${#todo[@]} - bad - not_done)) ended well"
[ "$cut_short" -eq 0 ] || line+=" ($cut_short cut short)"
line+=", $bad ended badly"
[ "$skipped" -eq 0 ] || line+=", $skipped done before"
[ "$not_done" -eq 0 ] || line+=", $not_done not run"
echo "$line; job log $joblog"
[ ${#report[@]} -eq 0 ] || printf '  %s\n' "${report[@]}"

if [ -n "$stopped_by" ]; then
  rm -rf "$work"
  trap - "$stopped_by" EXIT
  kill -"$stopped_by" $$
fi
[ "$not_done" -eq 0 ] || exit 3
[ "$bad" -eq 0 ] || exit 1
exit 0
