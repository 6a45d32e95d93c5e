"""Builds the extension zolt._zolt with the project's own CMake build, for
pip install --no-build-isolation . (pyproject.toml holds the rest)."""

import os
import re
import shutil
import subprocess
import sys
import sysconfig
import tempfile

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = os.path.dirname(os.path.abspath(__file__))


def version():
    """The version is set once, in CMakeLists.txt."""
    with open(os.path.join(HERE, "CMakeLists.txt"), encoding="utf-8") as cmake:
        return re.search(r"project\(decode VERSION ([0-9.]+)", cmake.read()).group(1)


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        built = tempfile.mkdtemp(prefix="zolt-build-")
        try:
            subprocess.run(["cmake", "-S", HERE, "-B", built, "-DCMAKE_BUILD_TYPE=Release", "-DDECODE_TESTS=OFF",
                            f"-DPython_EXECUTABLE={sys.executable}"], check=True)
            subprocess.run(["cmake", "--build", built, "-j2", "--target", "_zolt"], check=True)
            target = self.get_ext_fullpath(ext.name)
            os.makedirs(os.path.dirname(target), exist_ok=True)
            module = "_zolt" + sysconfig.get_config_var("EXT_SUFFIX")
            shutil.copyfile(os.path.join(built, "python", "zolt", module), target)
        finally:
            shutil.rmtree(built, ignore_errors=True)


# Setuptools' own work goes beside CMake's build folders, not into them.
WORK = "build-python"
os.makedirs(os.path.join(HERE, WORK), exist_ok=True)
setup(version=version(), ext_modules=[Extension("zolt._zolt", sources=[])], cmdclass={"build_ext": CMakeBuild},
      options={"build": {"build_base": WORK}, "egg_info": {"egg_base": WORK}})
