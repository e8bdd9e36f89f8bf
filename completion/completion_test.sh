#!/usr/bin/env bash
# Loads the completion into this bare bash (no bash-completion package) and
# checks what it offers on a table of command lines, that it is registered
# for every program, and that the options it offers for each program are
# those of the program's manual page.
#
#   completion_test.sh COMPLETION_FILE SOURCE_DIR
set -uo pipefail

completion=${1:?} src=${2:?}
# shellcheck source=ground-tools.bash
. "$completion" || exit 1
# shellcheck source=../man/page_options.sh
. "$src/man/page_options.sh"

# shellcheck source=../tests/support/shell_checks.sh
. "$src/tests/support/shell_checks.sh" completion
mkdir "logs dir" out
touch run1.tlm "run 2.tlm" notes.txt


# What is offered for a command line typed up to its end (a trailing blank
# starts an empty word): the offers sorted and joined by commas.
offers() {
  local line=$1
  read -r -a COMP_WORDS <<<"$line"
  [[ $line != *" " ]] || COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE=$line COMP_POINT=${#line}
  COMPREPLY=()
  _tlm_complete "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]:-}"
  [ ${#COMPREPLY[@]} -eq 0 ] || printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd, -
}

# command line|what it offers
while IFS='|' read -r line want; do
  cases=$((cases + 1))
  got=$(offers "$line")
  [ "$got" = "$want" ] || fail "'$line' offers '$got', not '$want'"
done <<'EOF'
ifgextract -|-F,-c,-h
ifgextract -c |-F,-c,-h
ifgextract -F r|run 2.tlm,run1.tlm
hkdump -|-F,-X,-f,-g,-h,-m,-p,-s,-v,-x
hkrawdump -p -|-F,-X,-h
hkdump -X -g 52 -|-F,-X,-h
hkdump -g |
hkdump -m -F |logs dir,notes.txt,out,run 2.tlm,run1.tlm
hkmonitor -|-D,-F,-f,-h,-i,-l
hkmonitor -D n|notes.txt
hkmonitor -D station.toml -f -i |
quicklook hk -|-D,-X,-c,-g,-k,-o
quicklook hk -D notes.txt -g |
retrieve |
retrieve -|
tlmsynth -o n|notes.txt
tlmsynth -n |
detsynth -F plain -|-F,-c,-f,-h,-n,-o,-p,-r,-s
detsynth -o n|notes.txt
quicklook |hk,ifg,retrieve
quicklook i|ifg
quicklook ifg -|-k,-n,-o
quicklook hk -c 2 n|notes.txt
quicklook ifg -k l|logs dir
quicklook retrieve |-d,-k,-o
quicklook retrieve -d |logs dir,out
tlmbatch |det2nc,hkdump,hkrawdump,ifgextract,tlm2nc
tlmbatch -j 2 -o |logs dir,out
tlmbatch -j 2 -o out hk|hkdump,hkrawdump
tlmbatch hkdump -|--,-X,-f,-g,-m,-p,-s,-v,-x
tlmbatch hkdump -p -|--,-X
tlmbatch hkdump -p |--
tlmbatch hkdump -g |
tlmbatch hkdump -p -- r|run 2.tlm,run1.tlm
tlmbatch ifgextract r|run 2.tlm,run1.tlm
tlmbatch /opt/ground/bin/ifgextract -|--,-c
tlmbatch tlm2nc -|--,-D,-d,-z
tlm2nc -|-D,-F,-d,-h,-o,-z
tlm2nc -D n|notes.txt
tlm2nc -d |
tlm2nc -F run1.tlm -o n|notes.txt
nc2tlm -F r|run 2.tlm,run1.tlm
det2nc -|-F,-h,-o
EOF

for program in ifgextract hkdump hkrawdump hkmonitor retrieve tlmsynth detsynth quicklook tlmbatch \
  tlm2nc nc2tlm det2nc; do
  cases=$((cases + 1))
  [[ $(complete -p "$program" 2>/dev/null) == *"-F _tlm_complete "* ]] || fail "no completion for $program"
done

# The options offered on an empty command line (for quicklook, after each
# picture) are the letters the page documents.
letters() { tr ',' '\n' | sed -n 's/^-\([A-Za-z]\)$/\1/p' | LC_ALL=C sort -u; }
for program in ifgextract hkdump hkrawdump hkmonitor tlmsynth detsynth quicklook tlmbatch tlm2nc \
  nc2tlm det2nc; do
  cases=$((cases + 1))
  if [ "$program" = quicklook ]; then
    offered=$({ offers "quicklook ifg -"; offers "quicklook hk -"; offers "quicklook retrieve -"; } | letters)
  else
    offered=$(offers "$program -" | letters)
  fi
  documented=$(documented_options "$src/man/$program.1" | LC_ALL=C sort -u)
  [ "$offered" = "$documented" ] ||
    fail "$program: offered $(tr '\n' ' ' <<<"$offered")but its page documents $(tr '\n' ' ' <<<"$documented")"
done

finish
