#!/usr/bin/env bash
# Installs what building, testing and the quick-look pictures need on a
# Debian machine, and nothing when it is all there already.
#
# usage: scripts/install-deps.sh [--fuzz]
#   --fuzz  also what the fuzz harnesses need: clang and its sanitizer and
#           libFuzzer runtimes (a recommendation of clang, so named here)
set -euo pipefail
# groff-base and mandoc check the manual pages; gnuplot-nox draws the quick-look pictures;
# parallel runs tlmbatch; time measures the memory of a run in the benchmarks; Debian's
# python3 with NumPy, its headers, pybind11 and pytest build and test the Python module;
# pkg-config builds a program against the installed library in the tests.
packages=(g++ cmake make libgtest-dev libbenchmark-dev groff-base mandoc gnuplot-nox parallel time
  python3 python3-dev python3-numpy python3-pytest pybind11-dev pkg-config)
# venv, pip, setuptools, wheel and build install the module as Python users do (pyproject.toml).
packages+=(python3-venv python3-pip python3-setuptools python3-wheel python3-build)
# The archive programs: the netCDF and HDF5 libraries, OpenSSL's libcrypto (SHA-256) and
# libdeflate; ncdump for their tests; xarray, dask and the netCDF module read the products.
packages+=(libnetcdf-dev libhdf5-dev libssl-dev libdeflate-dev netcdf-bin)
packages+=(python3-netcdf4 python3-xarray python3-dask python3-distributed)
# toml++ reads the channel dictionary (hkmonitor, tlm2nc -D, the module).
packages+=(libtomlplusplus-dev)
# dpkg-dev (dpkg-shlibdeps) and lintian make and check the Debian package.
packages+=(dpkg-dev lintian)
case ${1:-} in
  --fuzz) packages+=(clang libclang-rt-dev) ;;
  "") ;;
  *) echo "usage: scripts/install-deps.sh [--fuzz]" >&2; exit 2 ;;
esac
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
echo "installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
