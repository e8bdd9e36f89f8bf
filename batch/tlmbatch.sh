#!/usr/bin/env bash
# tlmbatch: runs one of the raw-data tools (ifgextract, hkdump, hkrawdump)
# over many telemetry files through GNU parallel, on this machine or spread
# over several, each file's text into an output file of its own.
#
#   tlmbatch [-j JOBS] [-o DIR] [-s SUFFIX] [-l JOBLOG] [-S LOGINFILE] [-a LIST]
#            TOOL [TOOL-OPTION... --] [FILE...]
#
# An output file is never left looking complete when it is not: the tool
# writes NAME.partial, which becomes NAME when the tool ends well (status
# 0) and NAME.failed when it does not; a job stopped midway removes it.
# The summary at the end lists the files that ended badly with the tool's
# status and end message.  Exit status: 0 every file ended well, 1 some
# ended badly, 2 usage or setup error (nothing run), 3 some files were not
# run; stopped by a signal, tlmbatch ends by that signal after its summary.
set -uo pipefail

usage() {
  cat <<'EOF'
usage: tlmbatch [-j JOBS] [-o DIR] [-s SUFFIX] [-l JOBLOG] [-S LOGINFILE] [-a LIST]
                TOOL [TOOL-OPTION... --] [FILE...]
  TOOL: ifgextract, hkdump or hkrawdump, by name (from PATH) or path; its
  options stand before --, the telemetry files after it or in LIST.
  -j JOBS       jobs at once on each machine (default: one per core)
  -o DIR        outputs into DIR (default: beside each input)
  -s SUFFIX     output name: input name + SUFFIX (default: .TOOL-OPTIONS.txt)
  -l JOBLOG     GNU parallel's job log (default: tlmbatch.joblog in DIR or .)
  -S LOGINFILE  spread the files over the machines of a GNU parallel login file
  -a LIST       telemetry file names, one per line (- for standard input)
EOF
}

fail() {
  echo "tlmbatch: $*" >&2
  exit 2
}

# One file, run as a job of GNU parallel, here or on another machine, so it
# uses nothing but its arguments: SEQUENCE FOLDER TOOL [OPTION...] INPUT
# OUTPUT, the names taken from FOLDER (where tlmbatch was started).
# Prints one result line, "sequence <TAB> status <TAB> end message" (the
# last line the tool wrote on standard error), and ends with the tool's
# status (1 when the output cannot be written).
tlmbatch_job() {
  local seq=$1 folder=$2 tool=$3 input=${*: -2:1} output=${*: -1}
  local -a options=("${@:4:$#-5}")
  local partial=$output.partial message status
  trap 'rm -f -- "$partial"; exit 143' TERM
  trap 'rm -f -- "$partial"; exit 130' INT
  if ! cd -- "$folder" 2>/dev/null; then
    message="cannot enter $folder"
    status=1
  elif ! message=$( (: >"$partial") 2>&1); then
    message="cannot write $partial: ${message##*: }"
    status=1
  else
    message=$("$tool" "${options[@]}" -F "$input" 2>&1 >"$partial")
    status=$?
    local target=$output
    [ "$status" -eq 0 ] || target=$output.failed
    if ! mv -f -- "$partial" "$target" 2>/dev/null; then
      rm -f -- "$partial"
      message="cannot rename $partial to $target"
      [ "$status" -ne 0 ] || status=1
    fi
    # A complete output supersedes the failed one of an earlier run.
    [ "$status" -ne 0 ] || rm -f -- "$output.failed"
  fi
  message=${message##*$'\n'}
  printf '%s\t%s\t%s\n' "$seq" "$status" "${message//$'\t'/ }"
  return "$status"
}

jobs="" outdir="" suffix="" joblog="" loginfile="" list=""
while getopts ':j:o:s:l:S:a:h' opt; do
  case $opt in
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
case $tool_name in
  ifgextract | hkdump | hkrawdump) ;;
  *) fail "'$tool' is not one of the raw-data tools (ifgextract, hkdump, hkrawdump)" ;;
esac
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
for word in "${options[@]}"; do
  [[ $word != -*[Fh]* ]] || fail "$word: tlmbatch gives the tool its -F file itself; -h is not for a run"
done
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
[ ${#inputs[@]} -gt 0 ] || fail "no telemetry files given"

# The options are tried once on an empty input, so that a wrong one stops
# the run before it starts rather than fails every file.
if ! check=$("$tool" "${options[@]}" -F /dev/null 2>&1 >/dev/null); then
  fail "$tool_name${options[*]+ ${options[*]}} does not run:"$'\n'"$check"
fi

if [ -z "$suffix" ]; then
  suffix=.$tool_name$(printf '%s' "${options[@]}" | tr -c 'A-Za-z0-9_.+-' _).txt
fi
[[ $suffix != */* ]] || fail "-s $suffix: a suffix holds no /"
if [ -n "$outdir" ]; then
  mkdir -p -- "$outdir" 2>/dev/null && [ -w "$outdir" ] || fail "$outdir: cannot write into that folder"
fi
joblog=${joblog:-${outdir:+$outdir/}tlmbatch.joblog}

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

work=$(mktemp -d "${TMPDIR:-/tmp}/tlmbatch.XXXXXX") || fail "cannot make a temporary folder"
trap 'rm -rf "$work"' EXIT
printf '%s\0' "${inputs[@]}" >"$work/inputs"
printf '%s\0' "${outputs[@]}" >"$work/outputs"

# --will-cite: the citation notice would stop the first run on a terminal.
args=(--will-cite --null --joblog "$joblog")
[ -z "$jobs" ] || args+=(-j "$jobs")
[ -z "$loginfile" ] || args+=(--sshloginfile "$loginfile" --env tlmbatch_job)
[ ! -t 2 ] || args+=(--bar)
command=(tlmbatch_job '{#}' "$(printf '%q' "$PWD")" "$(printf '%q' "$tool")")
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

declare -A status_of message_of
while IFS=$'\t' read -r seq status message; do
  status_of[$seq]=$status
  message_of[$seq]=$message
done <"$work/results"

bad=0 not_done=0 report=()
for i in "${!inputs[@]}"; do
  seq=$((i + 1))
  if [ -z "${status_of[$seq]:-}" ]; then
    not_done=$((not_done + 1))
    report+=("${inputs[i]}: not run")
  elif [ "${status_of[$seq]}" -ne 0 ]; then
    bad=$((bad + 1))
    kept="output kept as ${outputs[i]}.failed"
    [ -e "${outputs[i]}.failed" ] || kept="no output"
    report+=("${inputs[i]}: status ${status_of[$seq]}: ${message_of[$seq]} ($kept)")
  fi
done
line="tlmbatch: ${#inputs[@]} files, $((${#inputs[@]} - bad - not_done)) ended well, $bad ended badly"
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
