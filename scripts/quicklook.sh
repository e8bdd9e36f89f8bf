#!/usr/bin/env bash
# The quick-look pictures from the source tree: quicklook/quicklook.sh,
# installed as the program quicklook (see quicklook -h or its manual page).
exec "$(dirname "$0")/../quicklook/quicklook.sh" "$@"
