# Bash completion of the interferometer ground tools: ifgextract, hkdump,
# hkrawdump, hkmonitor, retrieve, tlmsynth, detsynth, quicklook, tlmbatch, tlm2nc,
# nc2tlm and det2nc.  Options, file
# names where a file is wanted, the group options of the dumps (one per
# run), the pictures of quicklook, and tlmbatch's tool with its options.
#
# Self-contained: the bash-completion package loads this file by the name
# of whichever tool is completed first (it is installed under each name),
# and without that package it works once sourced, e.g. from ~/.bashrc:
#   . /usr/share/bash-completion/completions/ifgextract

# The options of a command line: each word is an option, with ":file",
# ":folder" or ":word" when it takes a value of that kind.
_tlm_option_table() {
  case $1 in
    ifgextract) echo "-c -h -F:file" ;;
    hkdump | hkrawdump) echo "-h -X -F:file -f -s -p -m -v -x -g:word" ;;
    hkmonitor) echo "-h -D:file -F:file -f -i:word -l" ;;
    tlmsynth) echo "-h -c -u -g -n:word -s:word -S:word -i:word -k:word -d:word -t:word -r:word -w:word -W:word -T:word -H:word -o:file" ;;
    detsynth) echo "-h -n:word -s:word -c:word -f:word -r:word -p:word -F:word -o:file" ;;
    quicklook-ifg) echo "-n:word -o:file -k:folder" ;;
    quicklook-hk) echo "-c:word -X -D:file -g:word -o:file -k:folder" ;;
    quicklook-retrieve) echo "-d:folder -o:file -k:folder" ;;
    tlmbatch) echo "-h -r -t -j:word -o:folder -s:word -l:file -S:file -a:file" ;;
    tlm2nc) echo "-h -d:word -z:word -D:file -F:file -o:file" ;;
    nc2tlm | det2nc) echo "-h -F:file -o:file" ;;
  esac
}

# The group options of hkdump and hkrawdump: exactly one per run.
_tlm_groups="-f -s -p -m -v -x -g"

_tlm_offer_words() {
  local IFS=$' \t\n'
  # shellcheck disable=SC2207
  COMPREPLY=($(compgen -W "$1" -- "$2"))
}

_tlm_offer_names() {
  compopt -o filenames 2>/dev/null
  mapfile -t COMPREPLY < <(compgen "$1" -- "$2")
}

# The kind of value that option takes in a table (file, folder, word), or
# nothing when it takes none.
_tlm_value_kind() {
  local word
  for word in $1; do
    [[ $word == "$2":* ]] && { echo "${word#*:}"; return; }
  done
}

# Completes the current word among the options of table, the words from
# index `from` on being that command line so far.  Operands are `none`
# (options are offered), `file`, or `folder`.
_tlm_complete_options() {
  local table=$1 from=$2 operands=$3
  local cur=${COMP_WORDS[COMP_CWORD]} prev="" kind
  if ((COMP_CWORD > from)); then prev=${COMP_WORDS[COMP_CWORD - 1]}; fi
  kind=$(_tlm_value_kind "$table" "$prev")
  case $kind in
    file) _tlm_offer_names -f "$cur"; return ;;
    folder) _tlm_offer_names -d "$cur"; return ;;
    word) return ;;
  esac
  if [[ $cur != -* && $operands != none ]]; then
    _tlm_offer_names "-${operands:0:1}" "$cur"
    return
  fi
  local options=" " word group
  for word in $table; do options+="${word%%:*} "; done
  # A dump takes one group: once one is given, none is offered.
  if [[ $table == *" -g:word"* ]]; then
    for word in "${COMP_WORDS[@]:from:COMP_CWORD-from}"; do
      [[ " $_tlm_groups " == *" $word "* ]] || continue
      for group in $_tlm_groups; do options=${options/ $group / }; done
    done
  fi
  _tlm_offer_words "$options" "$cur"
}

_tlm_complete_quicklook() {
  if ((COMP_CWORD == 1)); then
    _tlm_offer_words "ifg hk retrieve" "${COMP_WORDS[1]}"
    return
  fi
  case ${COMP_WORDS[1]} in
    ifg | hk) _tlm_complete_options "$(_tlm_option_table "quicklook-${COMP_WORDS[1]}")" 2 file ;;
    retrieve) _tlm_complete_options "$(_tlm_option_table quicklook-retrieve)" 2 none ;;
  esac
}

# tlmbatch [OPTION...] TOOL [TOOL-OPTION... --] [FILE...]
_tlm_complete_batch() {
  local table i tool=0
  table=$(_tlm_option_table tlmbatch)
  # The tool is the first word that is neither an option nor its value.
  for ((i = 1; i < COMP_CWORD; i++)); do
    case ${COMP_WORDS[i]} in
      -*) if [ -n "$(_tlm_value_kind "$table" "${COMP_WORDS[i]}")" ]; then ((i += 1)); fi ;;
      *) tool=$i; break ;;
    esac
  done
  local cur=${COMP_WORDS[COMP_CWORD]}
  if ((tool == 0)); then
    if [[ $cur == -* || -n $(_tlm_value_kind "$table" "${COMP_WORDS[COMP_CWORD - 1]}") ]]; then
      _tlm_complete_options "$table" 1 none
    elif [[ $cur == */* ]]; then
      _tlm_offer_names -f "$cur"
    else
      _tlm_offer_words "ifgextract hkdump hkrawdump tlm2nc det2nc" "$cur"
    fi
    return
  fi
  # After --, or when the tool was given no options, the words are files.
  local words=("${COMP_WORDS[@]:tool+1:COMP_CWORD-tool-1}") word options=""
  for word in "${words[@]}"; do
    [ "$word" = -- ] && { _tlm_offer_names -f "$cur"; return; }
    [[ $word == -* ]] && options=yes
  done
  if [[ $cur == -* ]]; then
    # The tool's own options, less -F, -h and -o, which tlmbatch does not pass.
    local tool_table
    tool_table=$(_tlm_option_table "${COMP_WORDS[tool]##*/}")
    tool_table=$(tr ' ' '\n' <<<"$tool_table" | grep -v '^-[Fho]' | tr '\n' ' ')
    _tlm_complete_options "$tool_table" $((tool + 1)) none
    COMPREPLY+=(--)
    mapfile -t COMPREPLY < <(compgen -W "${COMPREPLY[*]}" -- "$cur")
  elif [ -n "$options" ]; then
    [ -n "$(_tlm_value_kind "$(_tlm_option_table "${COMP_WORDS[tool]##*/}")" "${COMP_WORDS[COMP_CWORD - 1]}")" ] ||
      _tlm_offer_words -- "$cur"
  else
    _tlm_offer_names -f "$cur"
  fi
}

_tlm_complete() {
  COMPREPLY=()
  case ${COMP_WORDS[0]##*/} in
    retrieve) ;;  # it takes no arguments
    quicklook) _tlm_complete_quicklook ;;
    tlmbatch) _tlm_complete_batch ;;
    *) _tlm_complete_options "$(_tlm_option_table "${COMP_WORDS[0]##*/}")" 1 none ;;
  esac
}

complete -F _tlm_complete ifgextract hkdump hkrawdump hkmonitor retrieve tlmsynth detsynth quicklook \
  tlmbatch tlm2nc nc2tlm det2nc
