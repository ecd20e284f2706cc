"""Shared fixtures for the suites that run inside kelvara-host."""

import gc
import os
import subprocess
import textwrap

import pytest
from hypothesis import settings

kelvarahost = pytest.importorskip("kelvarahost", reason="these tests run inside kelvara-host")

# The test scripts choose this profile (--hypothesis-profile=reproducible):
# every run tries the same examples and none is replayed from an earlier run,
# so a property fails for every run of a commit or for none.
settings.register_profile("reproducible", derandomize=True, database=None)


@pytest.fixture(autouse=True)
def host_checks():
    """Fail a test that leaves a window behind or whose call_later callback raised."""
    yield
    gc.collect()
    kelvarahost.process_events()
    kelvarahost.raise_pending_error()
    assert kelvarahost.top_levels() == [], "a dialog outlived its test"


@pytest.fixture
def new_host():
    """Run a script in a fresh host process (this very binary) and return the result."""
    def run(source):
        host = os.readlink("/proc/self/exe")
        return subprocess.run([host, "-c", textwrap.dedent(source)], capture_output=True, text=True, timeout=120)
    return run
