#!/usr/bin/env bash
# Installs the build into a fresh prefix and builds a program outside the
# tree against the installed tlmframe, once through its CMake package and
# once through pkg-config, then runs both builds on a generated file.
#
#   installed_library_test.sh BUILD_DIR WORK_DIR TLMSYNTH EXAMPLE_DIR [CXXFLAGS]
set -euo pipefail
build=${1:?} work=${2:?} tlmsynth=${3:?} example=${4:?} cxxflags=${5:-}
prefix=$work/prefix
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
for f in include/tlmframe/record.h include/tlmframe/record_reader.h include/tlmframe/record_framer.h \
         include/tlmframe/format/channels.h; do
  [ -f "$prefix/$f" ] || { echo "FAIL: $f not installed" >&2; exit 1; }
done

# Sync rows 5, 6 and none in turn, two records and 100 bytes of a third.
"$tlmsynth" -n 2 -s 5,6,-1 -t 100 -o "$work/data.tlm"
expected='record 1: sync rows 5 6 -1, interferogram 1
record 2: sync rows 5 6 -1, interferogram 1
then 100 bytes of a cut record'

cmake -S "$example" -B "$work/with-cmake" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$cxxflags" >/dev/null
cmake --build "$work/with-cmake" >/dev/null
[ "$("$work/with-cmake/syncscan" "$work/data.tlm")" = "$expected" ] ||
  { echo "FAIL: the program built with find_package printed otherwise" >&2; exit 1; }

libdir=$(dirname "$(find "$prefix" -name tlmframe.pc)")
# shellcheck disable=SC2046,SC2086  # the flags are words
g++ $cxxflags -o "$work/with-pkg-config" "$example/syncscan.cc" \
  $(PKG_CONFIG_PATH=$libdir pkg-config --cflags --libs tlmframe)
[ "$("$work/with-pkg-config" "$work/data.tlm")" = "$expected" ] ||
  { echo "FAIL: the program built with pkg-config printed otherwise" >&2; exit 1; }
echo "installed tlmframe: built with its CMake package and with pkg-config, both run"
