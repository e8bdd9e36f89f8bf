#!/usr/bin/env bash
# Campaign runs from the source tree: batch/tlmbatch.sh, installed as the
# program tlmbatch (see tlmbatch -h or its manual page).
exec "$(dirname "$0")/../batch/tlmbatch.sh" "$@"
