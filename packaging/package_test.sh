#!/usr/bin/env bash
# Makes the Debian package from the build with cpack, checks its file list
# and control fields, unpacks it (dpkg-deb -x) and runs what it holds from
# the unpacked tree: the programs, quicklook, tlmbatch and the Python
# module; then lintian must find no error and no warning
# but the accepted one below.
#
#   package_test.sh BUILD_DIR WORK_DIR PYTHON|"" DETECTION_FILE
# PYTHON is the interpreter the module was built for, "" when the build has
# no module.  The package and its unpacked tree stay in WORK_DIR when a
# check fails.
set -uo pipefail

build=${1:?} work=${2:?} python=${3?} detection=${4:?}
for tool in cpack dpkg-deb dpkg-shlibdeps lintian; do
  command -v "$tool" >/dev/null ||
    { echo "$tool is not installed (scripts/install-deps.sh installs it): skipped"; exit 77; }
done

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

rm -rf "$work"
mkdir -p "$work"
umask 002  # a group-writable umask must not show in the package
if ! out=$(cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" 2>&1); then
  echo "$out" >&2
  echo "FAIL: cpack failed" >&2
  exit 1
fi
debs=("$work"/out/interferometer-ground_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: no single package made: ${debs[*]}" >&2; exit 1; }
deb=${debs[0]}

# Every file of the package, no more and no less (the extension's name
# carries the Python version and machine it was built for).
expected=$work/expected-files
{
  for program in det2nc detsynth hkdump hkmonitor hkrawdump ifgextract nc2tlm quicklook retrieve tlm2nc \
    tlmbatch tlmsynth; do
    echo "usr/bin/$program"
    echo "usr/share/bash-completion/completions/$program"
    echo "usr/share/man/man1/$program.1.gz"
  done
  printf 'usr/include/tlmframe/%s\n' format/channels.h record.h record_framer.h record_reader.h
  printf 'usr/lib/cmake/tlmframe/%s\n' tlmframeConfig.cmake tlmframeConfigVersion.cmake \
    tlmframeTargets-release.cmake tlmframeTargets.cmake
  echo usr/lib/libtlmframe.a
  echo usr/lib/pkgconfig/tlmframe.pc
  if [ -n "$python" ]; then
    printf 'usr/lib/python3/dist-packages/ifgtools/%s\n' __init__.py _product_files.py _results.py archive.py dictionary.py
    printf 'usr/lib/python3/dist-packages/ifgtools/%s\n' _ifgtools.pyi py.typed
    echo 'usr/lib/python3/dist-packages/ifgtools/_ifgtools.*.so'
  fi
  printf 'usr/share/doc/interferometer-ground/%s\n' README.md changelog.gz copyright
  echo usr/share/interferometer-ground/dictionary/default.toml
  printf 'usr/share/interferometer-ground/quicklook/%s\n' hk.awk hk.gp ifg.awk ifg.gp retrieve.gp \
    shapes.awk values.awk
} | sort >"$expected"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $6 }' |
  sed 's/_ifgtools\..*\.so$/_ifgtools.*.so/' | sort >"$work/files"
diff -u "$expected" "$work/files" >&2 || fail "the package's files differ from the list (- expected, + packed)"

field() { dpkg-deb -f "$deb" "$1"; }
depends=$(field Depends)
wanted=(libc6 libstdc++6 "bash (>= " parallel libnetcdf libhdf5 libdeflate0 libssl)
[ -n "$python" ] && wanted+=("python3 (>= 3." "python3 (<< 3.")
for dependency in "${wanted[@]}"; do
  [[ ", $depends" == *", $dependency"* ]] || fail "Depends lacks $dependency: $depends"
done
[ "$(field Recommends)" = "gnuplot-nox, python3-numpy, bash-completion, python3-xarray, python3-netcdf4, python3-dask, python3-distributed" ] ||
  fail "Recommends: $(field Recommends)"
# The changelog's latest entry is this version.
version=$(field Version)
dpkg-deb --fsys-tarfile "$deb" | tar -xOf - ./usr/share/doc/interferometer-ground/changelog.gz | gzip -dc |
  head -1 | grep -qF "interferometer-ground ($version)" || fail "the changelog has no entry for $version"

# From the unpacked tree: each program on a generated file.
root=$work/root
dpkg-deb -x "$deb" "$root"
bin=$root/usr/bin
cd "$work" || exit 1
"$bin/tlmsynth" -n 4 -o data.tlm || fail "tlmsynth does not run"
for run in ifgextract "hkdump -p" "hkrawdump -p"; do
  read -ra words <<<"$run"
  "$bin/${words[0]}" "${words[@]:1}" -F data.tlm >"out.${run// /}" 2>/dev/null && [ -s "out.${run// /}" ] ||
    fail "$run does not run"
done
"$bin/tlm2nc" -F data.tlm && "$bin/nc2tlm" -F data.tlm.nc | cmp -s - data.tlm || fail "tlm2nc and nc2tlm do not run"
"$bin/det2nc" -F "$detection" -o all.nc && [ -s all.nc ] || fail "det2nc does not run"
mkdir retrieved && cp "$detection" retrieved/all.det
(cd retrieved && echo 101 | "$bin/retrieve" >/dev/null) && [ -s retrieved/spectrum.dat ] || fail "retrieve does not run"
"$bin/detsynth" -n 2 -f 7 -o made.det && [ "$(head -1 made.det)" = "1 2 7" ] || fail "detsynth does not run"
# The shipped dictionary, with a limit added, checks the file.
shipped=$root/usr/share/interferometer-ground/dictionary/default.toml
sed '/^name = "voltage_monitor_1"$/a red_high = 0' "$shipped" >limited.toml
"$bin/hkmonitor" -D limited.toml -F data.tlm >limits.txt 2>/dev/null
[ $? -eq 2 ] && grep -q "RED" limits.txt || fail "hkmonitor does not check the shipped dictionary"
"$bin/tlm2nc" -D "$shipped" -F data.tlm -o named.nc && [ -s named.nc ] ||
  fail "tlm2nc does not name the shipped dictionary's values"
if command -v parallel >/dev/null; then
  PATH=$bin:$PATH "$bin/tlmbatch" -o batch hkdump -p -- data.tlm >/dev/null &&
    cmp -s batch/data.tlm.hkdump-p.txt out.hkdump-p || fail "tlmbatch does not run hkdump"
fi
if command -v gnuplot >/dev/null; then
  "$bin/quicklook" ifg -o ifg.png out.ifgextract && [ -s ifg.png ] || fail "quicklook draws no picture"
fi
if [ -n "$python" ]; then
  # The module from the unpacked tree gives as many samples as ifgextract
  # prints sample lines (six numbers).
  samples=$(PYTHONPATH=$root/usr/lib/python3/dist-packages PYTHONDONTWRITEBYTECODE=1 "$python" -c '
import sys, ifgtools
assert ifgtools.__file__.startswith(sys.argv[1]), ifgtools.__file__
print(len(ifgtools.interferogram_samples("data.tlm").samples))' "$root")
  [ "$samples" = "$(awk 'NF == 6' out.ifgextract | wc -l)" ] || fail "the module from the package does not read data.tlm ($samples)"
fi

# The one warning left: the pkg-config file lies in /usr/lib/pkgconfig,
# which the native pkg-config reads but a cross-compiling one does not; the
# multiarch folder comes with a build configured for the prefix /usr.
lintian --fail-on error,warning --suppress-tags pkg-config-unavailable-for-cross-compilation "$deb" ||
  fail "lintian finds errors or warnings"

[ "$failures" -eq 0 ] || exit 1
rm -rf "$work"
echo "package $(basename "$deb"): files, fields and lintian clean; the unpacked programs run"
