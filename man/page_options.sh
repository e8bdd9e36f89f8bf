# The option letters that a manual page documents: the tag lines after .TP
# in its Options subsection that start with .B, .BI or .BR and \-letter.
# Sourced by the page checks and by the completion test, which hold the
# programs and their completion to the pages.
documented_options() {
  awk '/^\.SS Options/ { inside = 1; next }
       /^\.S[HS] / { inside = 0 }
       inside && previous == ".TP" { print }
       { previous = $0 }' "$1" |
    sed -nE 's/^\.B[IR]? \\-([A-Za-z])( .*)?$/\1/p' | sort -u
}
