# One interferogram against sample index: the two detectors, or the
# carriage, with each notice a dashed vertical line where it stands.
# Set before: data (index <TAB> values), source_name, interferogram,
# samples, mode ("detectors" or "carriage"), lost_lock_at and
# status_changed_at (sample indices, blank-separated).
set datafile separator '\t'
set key outside top center horizontal
set grid
set autoscale xfix
set xlabel 'sample index'
detectors = mode eq 'detectors'
if (detectors) {
  set title sprintf('Interferogram %d, two detectors, %d samples (%s)', interferogram, samples, source_name) noenhanced
  set ylabel 'gain-normalised value'
} else {
  set title sprintf('Interferogram %d, carriage, %d samples (%s)', interferogram, samples, source_name) noenhanced
  set ylabel 'carriage position'
  set yrange [0:4095]
}

lost_lock_colour = '#c00000'
status_changed_colour = '#008000'
do for [at in lost_lock_at] {
  set arrow from at + 0, graph 0 to at + 0, graph 1 nohead lc rgb lost_lock_colour dt 2 lw 1.5
  set label 'lost lock' at at + 0, graph 0.98 right rotate by 90 offset -1.2,0 front tc rgb lost_lock_colour font ',8'
}
do for [at in status_changed_at] {
  set arrow from at + 0, graph 0 to at + 0, graph 1 nohead lc rgb status_changed_colour dt 2 lw 1.5
  set label 'status changed' at at + 0, graph 0.98 right rotate by 90 offset -1.2,0 front tc rgb status_changed_colour font ',8'
}

# A loop over nothing leaves its curve out: the second detector in carriage
# mode, a notice's key entry when it does not occur.
plot data using 1:2 with lines lw 1 lc rgb '#1f4e9c' title (detectors ? 'detector 1' : 'carriage'), \
     for [i = 1:detectors] data using 1:3 with lines lw 1 lc rgb '#e07000' title 'detector 2', \
     for [i = 1:(lost_lock_at ne '')] NaN with lines dt 2 lc rgb lost_lock_colour title 'lost lock', \
     for [i = 1:(status_changed_at ne '')] NaN with lines dt 2 lc rgb status_changed_colour title 'status changed'
