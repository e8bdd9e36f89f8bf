# What the shell tests share, sourced after their arguments are taken:
#   . tests/support/shell_checks.sh NAME
# makes a scratch folder $tmp (removed at exit) and changes into it, and
# counts cases (start "what") and failures (fail "why"); finish prints the
# one summary line and gives the test's exit status.
shell_check_name=${1:?}
tmp=$(mktemp -d "${TMPDIR:-/tmp}/$shell_check_name.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
cd "$tmp" || exit 1

failures=0 cases=0 current=""
start() {
  current=$1
  cases=$((cases + 1))
}
fail() {
  echo "FAIL${current:+ [$current]}: $*" >&2
  failures=$((failures + 1))
}
finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures failure(s) in $cases case(s)" >&2
    exit 1
  fi
  echo "$shell_check_name: $cases case(s) passed"
}
