# hkdump or hkrawdump text, in one pass over one file or several: checks
# every line, writes one line per subframe to the file `data` (x = record
# number with the subframes at thirds, counted on from file to file, since
# the records restart in every file; then the group's values, hexadecimal
# words turned into numbers), the start of every file to the file `starts`
# (x <TAB> file number), and answers with the values per line, the kind of
# text, the first and last record, the number of lines and of files.
# `column` (0 for all) is the one value asked for; `hexwords` 1 when a
# generic word was written in hexadecimal (-X), which its text cannot tell
# when no letter happens to be in it; `names` the files' names for the
# messages, separated by newlines.  Run with FS = tab.

function hex(s,    v, i) {
  v = 0
  for (i = 1; i <= length(s); i++) v = v * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1
  return v
}

# Where a line stands, for a message: with several files, in which.
function where() { return (files > 1 ? name[file] ": " : "") "line " FNR }

BEGIN { files = split(names, name, "\n") }
FNR == 1 {
  # Records restart in every file: this file's go on from the last record
  # of the one before.
  file++
  offset += last_here
  last_here = 0
  started[file] = 0
}
blank_line($0) { next }
hk_offset_line($0) { raw = 1; next }
!hk_prefix($1) || !hk_field_count(NF) {
  refuse(where() " is not hkdump or hkrawdump output: " substr($0, 1, 60))
}
{
  split($1, prefix, / +/)
  values = $NF
  if (gsub(/\|/, " ", values)) framed = 1              # the mask temperature frame
  nv = split(values, v, / +/)
  k = 0
  for (i = 1; i <= nv; i++) if (v[i] != "") value[++k] = v[i]
  if (k == 0) refuse(where() " holds no values")
  if (count == 0) { count = k; form = NF }
  else if (k != count || NF != form) refuse(where() " holds another group than the lines before it")
  for (i = 1; i <= k; i++) {
    if (value[i] ~ /[a-f]/ && !letters) letters = where() ": \"" value[i] "\""
    if (value[i] ~ /^-/ && !negative) negative = where() ": \"" value[i] "\""
    if (!hk_value(value[i])) refuse(where() ": \"" value[i] "\" is not a value")
  }
  if (column > k) refuse("column " column " asked for, but the lines hold " k " values")
  x = offset + prefix[2] + prefix[3] / 3
  if (!started[file]) { start_x[file] = x; started[file] = 1 }
  line = x
  for (i = 1; i <= k; i++) line = line "\t" value[i]
  lines[++n] = line
  if (n == 1) first = prefix[2]
  last = prefix[2]
  last_here = prefix[2]
}

END {
  if (refused) exit 0
  if (n == 0) refuse("input has no hkdump or hkrawdump lines")
  # Hexadecimal: hkrawdump's groups (several words, or ait affset lines),
  # and a generic word when -X says so; never guessed from its letters.
  ashex = (form == 2 && (count > 1 || raw || hexwords))
  if (letters && !ashex) refuse(letters " is hexadecimal: give -X if the generic word was written in hexadecimal")
  if (negative && ashex) refuse(negative " is not a hexadecimal word")
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
  for (j = 1; j <= file; j++) if (started[j]) print start_x[j] "\t" j > starts
  kind = form == 4 ? (framed ? "hkdump mask temperature" : "hkdump") : ashex ? "raw words" : "generic channel"
  answer(count "|" kind "|" first "|" last "|" n "|" file)
}
