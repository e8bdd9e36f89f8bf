#!/usr/bin/env bash
# ifgtools installed as Python users install things, from this checkout and
# without the network: a wheel made by `python3 -m build --wheel
# --no-isolation`, and `pip install --no-build-isolation --no-index` into a
# fresh virtual environment that sees Debian's NumPy (--system-site-packages);
# the module is then imported and used from outside the tree.  Neither writes
# into the checkout.  Skipped (status 77) without venv, pip, setuptools, wheel
# or build for the interpreter.
#
#   pip_install_test.sh SOURCE_DIR PYTHON TLMSYNTH IFGEXTRACT
set -uo pipefail
source_dir=${1:?} python=${2:?} tlmsynth=${3:?} ifgextract=${4:?}
. "$source_dir/tests/support/shell_checks.sh" pip_install_test
unset PYTHONPATH

for module in venv:python3-venv ensurepip:python3-venv pip:python3-pip setuptools:python3-setuptools \
              wheel:python3-wheel build:python3-build; do
  if ! "$python" -c "import ${module%%:*}" 2>/dev/null; then
    echo "SKIP: $python cannot import ${module%%:*} (Debian package ${module#*:})"
    exit 77
  fi
done

# What setuptools would leave in the checkout: its build folders and egg-info.
leftovers() {
  find "$source_dir" -maxdepth 3 \( -name '*.egg-info' -o -name 'lib.linux*' -o -name 'temp.linux*' \
    -o -name 'bdist.linux*' -o -path "$source_dir/dist" \) -newer "$tmp/stamp" -print
}
touch "$tmp/stamp"
git_status() { git -C "$source_dir" status --porcelain 2>/dev/null; }
status_before=$(git_status)

start "python3 -m build --wheel --no-isolation"
if "$python" -m build --wheel --no-isolation --outdir "$tmp/dist" "$source_dir" >"$tmp/build.log" 2>&1; then
  files=$("$python" -m zipfile -l "$tmp"/dist/ifgtools-*.whl | awk 'NR > 1 { print $1 }' | grep -v dist-info/ | sort)
  want=$(printf 'ifgtools/%s\n' __init__.py _ifgtools.pyi _product_files.py _results.py archive.py dictionary.py py.typed | sort)
  so=$(grep -c '^ifgtools/_ifgtools\..*\.so$' <<<"$files")
  [ "$(grep -v '\.so$' <<<"$files")" = "$want" ] && [ "$so" = 1 ] ||
    fail "the wheel holds: $(echo $files)"
else
  fail "build failed: $(tail -5 "$tmp/build.log")"
fi

start "pip install --no-build-isolation --no-index . into a venv"
"$python" -m venv --system-site-packages "$tmp/venv"
venv_python=$tmp/venv/bin/python
if (cd "$source_dir" && "$venv_python" -m pip install --no-build-isolation --no-index --no-cache-dir \
      --disable-pip-version-check . >"$tmp/pip.log" 2>&1); then
  "$tlmsynth" -n 6 -s 5,7 -t 100 -o "$tmp/data.tlm"
  lines=$("$ifgextract" -F "$tmp/data.tlm" 2>/dev/null | grep -c '^ ')
  got=$("$venv_python" - "$tmp/venv" "$tmp/data.tlm" <<'PY'
import pathlib, sys, ifgtools
package = pathlib.Path(ifgtools.__file__).parent
assert package.is_relative_to(sys.argv[1]), package
assert (package / "py.typed").exists() and (package / "_ifgtools.pyi").exists()
run = ifgtools.interferogram_samples(sys.argv[2])
print(len(run.samples), run.last_record, run.end)
PY
  )
  [ "$got" = "$lines 6 truncated" ] || fail "the installed module gave: $got (ifgextract: $lines lines)"
else
  fail "pip install failed: $(tail -5 "$tmp/pip.log")"
fi

start "nothing written into the checkout"
left=$(leftovers)
[ -z "$left" ] || fail "left in the checkout: $left"
[ "$(git_status)" = "$status_before" ] || fail "git status changed: $(git_status)"

finish
