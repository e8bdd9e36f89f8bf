# One value file of retrieve (interferogram.dat or spectrum.dat): copies
# each value as "index <TAB> value" to the file `copy`, D exponents turned
# into E, and answers with the number of values.

/^[ \t]*$/ { next }
{
  value = $0
  gsub(/^[ \t]+|[ \t\r]+$/, "", value)
  if (!retrieve_value(value)) {
    refuse("line " NR " is not a number: " substr(value, 1, 40))
  }
  gsub(/[dD]/, "e", value)
  print n + 0 "\t" value > copy
  n++
}
END { if (!refused) answer(n + 0) }
