# ifgextract text, in one pass: checks every line, picks the interferogram
# (the one asked for in `wanted`, or the first one met), writes its samples
# as "index <TAB> values" to the file `data` and its notices as
# "index <TAB> kind" to the file `notes`, and answers with the mode
# (detectors or carriage), the interferogram number, its sample count and
# the indices of its lost lock and its status changed notices (blank-
# separated lists).  A notice belongs to the sample line after it.

blank_line($0) || ifg_record_line($0) { next }

ifg_notice($0) { pending[npending++] = substr($0, 2); next }

ifg_sample_line($0) {
  if (fields == 0) fields = NF
  else if (NF != fields) refuse("line " NR " has " NF " fields where earlier sample lines have " fields)
  number = $3 + 0
  if (!(number in seen)) { seen[number] = 1; order[nseen++] = number }
  if (chosen == "") chosen = (wanted == "") ? number : wanted + 0
  if (number == chosen) {
    for (i = 0; i < npending; i++) {
      print n + 0 "\t" pending[i] > notes
      at[pending[i]] = at[pending[i]] " " n + 0
    }
    if (NF == 6) print n + 0 "\t" $5 "\t" $6 > data
    else print n + 0 "\t" $5 > data
    n++
  }
  npending = 0
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
  answer((fields == 6 ? "detectors" : "carriage") "|" chosen "|" n "|" \
         at["lost lock"] "|" at["status changed"])
}
