# The line shapes of the tools' text: the one place where quicklook says
# what a line written by ifgextract, hkdump, hkrawdump or retrieve looks
# like, and how each picture's program answers.  Loaded before the
# program of each picture.

# The answer: one line, "ok|" and the fields of what was found, or
# "refused|" and why the input is not what the picture wants.  A field may
# be empty; only the reason, always last, may hold a "|".
function answer(fields) { print "ok|" fields }
function refuse(why) { print "refused|" why; refused = 1; exit 0 }

function blank_line(line) { return line ~ /^[[:space:]]*$/ }

# ifgextract: the number of the record just printed, alone on its line.
function ifg_record_line(line) { return line ~ /^[0-9]+$/ }

# ifgextract: a notice between the sample lines; its kind is the text
# after the "#".
function ifg_notice(line) { return line ~ /^#(lost lock|status changed)$/ }

# ifgextract: record, subframe, interferogram number, status bit (0 or 20
# hex), then two detector values or one carriage position.
function ifg_sample_line(line) {
  return line ~ /^ *-?[0-9]+ [0-2] +[0-9]+ (0|20)( +-?[0-9]+)( +-?[0-9]+)?$/
}

# hkrawdump's mask temperature group: the offset line before its words.
function hk_offset_line(line) { return line ~ /^ait affset -?[0-9]+$/ }

# hkdump and hkrawdump, split at tabs: the first field is the sync-row word
# (hexadecimal), the record number and the subframe; hkdump then has the
# interferogram number and the time of day (four fields), hkrawdump goes
# straight to its values (two fields).
function hk_prefix(field) { return field ~ /^[0-9a-f]+ +[0-9]+ [0-2]$/ }
function hk_field_count(count) { return count == 2 || count == 4 }
# One value of a group: decimal (hkdump) or a hexadecimal word.
function hk_value(word) { return word ~ /^(-?[0-9]+|[0-9a-f]+)$/ }

# retrieve's value files: one real per line, with an E or D exponent.
function retrieve_value(word) {
  return word ~ /^[-+]?([0-9]+\.?[0-9]*|\.[0-9]+)([eEdD][-+]?[0-9]+)?$/
}
