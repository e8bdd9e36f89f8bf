# hkdump or hkrawdump text, in one pass: checks every line, writes one line
# per subframe to the file `data` (x = record number with the subframes at
# thirds, then the group's values, hexadecimal words turned into numbers)
# and answers with the values per line, the kind of text, the first and
# last record and the number of lines.  `column` (0 for all) is the one
# value asked for.  Run with FS = tab.

function hex(s,    v, i) {
  v = 0
  for (i = 1; i <= length(s); i++) v = v * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1
  return v
}

blank_line($0) { next }
hk_offset_line($0) { raw = 1; next }
!hk_prefix($1) || !hk_field_count(NF) {
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
    if (!hk_value(value[i])) refuse("line " NR ": \"" value[i] "\" is not a value")
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
  # Hexadecimal: hkrawdump lines (several words, or ait affset lines), or a
  # generic word with letters in it.
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
  answer(count "|" kind "|" first "|" last "|" n)
}
