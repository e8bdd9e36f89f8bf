# Timing helpers of the benchmark scripts, sourced by them.

# Wall time of one run of a command, output and errors thrown away, in
# microseconds.  A failing status is not a failure here: the scripts check
# what the programs write before they time them.
elapsed_us() {
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1 || true
  end=$(date +%s%N)
  echo $(((end - start) / 1000))
}

# The median of the numbers on standard input, one per line.
median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
