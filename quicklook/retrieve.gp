# retrieve's two files as two panels: the interferogram above, the
# spectrum below; a file without values gives an empty panel that says so.
# Set before: ifg_data, ifg_values, spectrum_data, spectrum_values (files of
# index <TAB> value, and their lengths), folder.
set datafile separator '\t'
set grid
set key top right
set multiplot layout 2,1 title sprintf('Retrieved interferogram and spectrum (%s)', folder) noenhanced
do for [panel = 1:2] {
  what = panel == 1 ? 'interferogram' : 'spectrum'
  file = panel == 1 ? ifg_data : spectrum_data
  count = panel == 1 ? ifg_values : spectrum_values
  set title sprintf('%s (%d values)', what, count) noenhanced
  set xlabel (panel == 1 ? 'sample index' : 'spectral point')
  set ylabel 'value'
  set autoscale
  set autoscale xfix
  if (count > 0) {
    plot file using 1:2 with lines lw 1 lc rgb (panel == 1 ? '#1f4e9c' : '#e07000') title what
  } else {
    set label 1 'no values' at graph 0.5, graph 0.5 center
    set xrange [0:1]
    set yrange [0:1]
    plot NaN title what
    unset label 1
  }
}
unset multiplot
