# One group of housekeeping channels against record number (subframes at
# thirds; counted on from file to file when there are several): every
# value of the lines, or the one in `column`.
# Set before: data (x <TAB> values), source_name, kind (hkdump, hkdump mask
# temperature, raw words or generic channel), values (per line), column (0
# for all), first_record, last_record, lines, files; names (one word per
# value, "" for the defaults), calibration (an expression in i, the value,
# and x, its count: "x" draws the counts) and boundaries (commands marking
# where each file after the first starts).
set datafile separator '\t'
set key outside right top vertical
set grid
set xlabel (files > 1 ? 'record number, counted on from file to file (subframes at thirds)' \
                      : 'record number (subframes at thirds)')
set ylabel (names ne '' ? 'calibrated value' : kind[1:6] eq 'hkdump' ? 'engineering value' : 'word value')
shown = column == 0 ? sprintf('all %d values', values) : sprintf('value %d of %d', column, values)
if (files > 1) {
  set title sprintf('Housekeeping (%s), %s, %d files, %d lines (%s)', \
                    kind, shown, files, lines, source_name) noenhanced
} else {
  set title sprintf('Housekeeping (%s), %s, records %d to %d, %d lines (%s)', \
                    kind, shown, first_record, last_record, lines, source_name) noenhanced
}
eval boundaries

# The mask temperature frame names its channels; other groups are told
# apart by the option given to hkdump, which the text does not show, unless
# a dictionary names them.
mask_temperature_names = '"ch 8" "ch 9" "ch 19" "ch 4" "ch 5" "ch 6" "ch 7" "ch 53 flag"'
name(i) = names ne '' ? word(names, i) : \
          kind eq 'hkdump mask temperature' ? word(mask_temperature_names, i) : sprintf('value %d', i)
calibrated(i, x) = @calibration
from = column == 0 ? 1 : column
to = column == 0 ? values : column
plot for [i = from:to] data using 1:(calibrated(i, column(i + 1))) \
     with linespoints pt 7 ps 0.4 title name(i) noenhanced
