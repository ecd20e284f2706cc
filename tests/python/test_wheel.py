"""`pip install .` into a fresh virtual environment, then the host imports from there."""

import os
import re
import subprocess
import sys
import textwrap

import pytest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD_REQUIREMENTS = ("scikit-build-core", "pybind11", "cmake", "ninja")


def pinned_build_requirements():
    """The build tools at the versions the project's own environment pins."""
    pins = {}
    with open(os.path.join(ROOT, "requirements-dev.txt"), encoding="utf-8") as requirements:
        for line in requirements:
            match = re.match(r"([A-Za-z0-9_.-]+)==(\S+)", line)
            if match:
                pins[match.group(1).lower()] = line.strip()
    return [pins[name] for name in BUILD_REQUIREMENTS]


def build_environment():
    # The build tools run uninstrumented, also when this suite runs under the
    # sanitizer build's preloaded runtime, and see none of the host's module dir.
    return {name: value for name, value in os.environ.items() if name not in ("LD_PRELOAD", "PYTHONPATH")}


def run(command, env, timeout):
    result = subprocess.run(command, capture_output=True, text=True, env=env, timeout=timeout)
    assert result.returncode == 0, f"{command} failed:\n{result.stdout}\n{result.stderr}"
    return result.stdout


@pytest.mark.slow
def test_pip_install_puts_module_and_stubs_into_fresh_environment(tmp_path):
    venv = tmp_path / "venv"
    env = build_environment()
    run([sys.executable, "-m", "venv", str(venv)], env, timeout=120)
    python = str(venv / "bin" / "python")
    pip = [python, "-m", "pip", "install", "--quiet", "--disable-pip-version-check"]
    run(pip + pinned_build_requirements(), env, timeout=300)
    run(pip + ["--no-build-isolation", ROOT], env, timeout=600)

    site_packages, suffix = run(
        [python, "-c", "import sysconfig; print(sysconfig.get_path('platlib'), sysconfig.get_config_var('EXT_SUFFIX'))"],
        env, timeout=60).split()
    module = "KelvaraWidgets" + suffix
    installed = sorted(name for name in os.listdir(site_packages) if name.startswith("KelvaraWidgets"))
    assert installed == [module, "KelvaraWidgets.pyi"]

    # The host with the fresh environment as its Python and no module dir of
    # its own must find the installed module, and it must work.
    script = textwrap.dedent("""
        import KelvaraWidgets
        print(KelvaraWidgets.__file__)
        selection = KelvaraWidgets.KelvaraSelection()
        selection.setAvailableItems({"Internal": ["KL-1"]})
        print(selection.selectedItems(), selection.aggregationMode())
        """)
    host = os.readlink("/proc/self/exe")
    host_env = dict(env, KELVARA_HOST_PYTHON=python, KELVARA_MODULE_DIR="")
    lines = run([host, "-c", script], host_env, timeout=120).splitlines()
    assert lines == [os.path.join(site_packages, module), "[] compound"]
