"""Builds ifgtools for pip and python3 -m build with the project's own CMake
build: CMake configures the checkout for the module alone (no tests,
benchmarks or Debian package) for the interpreter that runs this, builds
the extension and installs the package (the extension, the Python sources,
the stub and py.typed) where setuptools makes the wheel from.  The sources
are listed only in CMake.

Everything setuptools and CMake write goes to a scratch folder outside the
checkout, removed at the end."""

import atexit
import os
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

SOURCE = Path(__file__).resolve().parent
SCRATCH = tempfile.mkdtemp(prefix="ifgtools-build-")
atexit.register(shutil.rmtree, SCRATCH, True)


def project_version():
    """The version of the CMake project, the one version of everything."""
    text = (SOURCE / "CMakeLists.txt").read_text()
    return re.search(r"project\(\w+ VERSION ([0-9.]+)", text).group(1)


class CMakeExtension(Extension):
    """An extension that CMake builds from its own list of sources."""

    def __init__(self, name):
        super().__init__(name, sources=[])


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = Path(self.build_temp).resolve() / "cmake"
        # The package folder's parent: the installed tree's top.
        top = Path(self.get_ext_fullpath(ext.name)).resolve().parent.parent
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL") or str(os.cpu_count() or 1)
        self.cmake("-S", SOURCE, "-B", build, "-DCMAKE_BUILD_TYPE=Release",
                   "-DBUILD_TESTING=OFF", "-DBUILD_BENCHMARKS=OFF", "-DBUILD_DEBIAN_PACKAGE=OFF",
                   f"-DPython_EXECUTABLE={sys.executable}", "-DPYTHON_INSTALL_DIR=.")
        self.cmake("--build", build, "--target", "_ifgtools", "--parallel", jobs)
        self.cmake("--install", build, "--component", "ifgtools", "--prefix", top)

    def cmake(self, *args):
        command = ["cmake", *map(str, args)]
        print(" ".join(command), flush=True)
        subprocess.run(command, check=True)


setup(
    version=project_version(),
    packages=[],
    py_modules=[],
    ext_modules=[CMakeExtension("ifgtools._ifgtools")],
    cmdclass={"build_ext": CMakeBuild},
    options={"build": {"build_base": os.path.join(SCRATCH, "build")},
             "egg_info": {"egg_base": SCRATCH}},
)
