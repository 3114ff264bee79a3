# SPDX-License-Identifier: GPL-3.0-or-later
"""The wheel of zm5520evm for one platform, staged by tools/make_wheel.py:
pure Python over the C library beside it, so the library alone fixes the
platform tag (ZM5520EVM_WHEEL_PLATFORM) and any Python 3 takes it."""

import os

from setuptools import setup
from wheel.bdist_wheel import bdist_wheel

PLATFORM = os.environ["ZM5520EVM_WHEEL_PLATFORM"]


class PlatformWheel(bdist_wheel):
    # The library makes the wheel a platform's, though no extension is built.
    def get_tag(self):
        return "py3", "none", PLATFORM


setup(
    name="zm5520evm",
    version=os.environ["ZM5520EVM_VERSION"],
    description="The ZM5520/1 evaluation module from Python",
    license="GPL-3.0-or-later",
    python_requires=">=3.9",
    install_requires=["numpy"],
    packages=["zm5520evm"],
    package_data={"zm5520evm": ["*.pyi", "py.typed", "*.so.*", "*.dll"]},
    cmdclass={"bdist_wheel": PlatformWheel},
    zip_safe=False,
)
